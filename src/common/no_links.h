// File-system steps that never pass through a junction, symbolic link or mount point.
// The elevated process works in folders below the user's temp folder; a link planted there
// would turn its writes and deletions into writes and deletions elsewhere.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_any.h"

namespace qrx {

// The attribute query used by the checks below; tests replace it to present links that Wine
// cannot make. Returns the previous one.
using PathAttributesFunction = DWORD(WINAPI*)(LPCWSTR path);
PathAttributesFunction SetPathAttributesFunction(PathAttributesFunction function);

// The attributes of `path` with a trailing backslash dropped first, so that a final link is
// reported as a link instead of being followed. INVALID_FILE_ATTRIBUTES when it is missing.
DWORD GetPathAttributes(const std::wstring& path);
inline bool IsLinkAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
bool IsLinkPath(const std::wstring& path);

// True when `top` and every existing component of `path` below it are no links. `path` must
// be `top` or lie below it (compared case-insensitively); anything else is false.
bool PathBelowIsLinkFree(const std::wstring& top, const std::wstring& path);

// Creates the folder `path` below the existing folder `top`, one missing component at a time.
// False when a component (`top` included) is a link or a file, or cannot be created.
bool CreateFoldersBelow(const std::wstring& top, const std::wstring& path);

// What opening a file without following links found.
enum class LinkCheck {
  kPlain,     // a plain file with one name, at the path asked for
  kMissing,   // nothing there, or nothing that opens as a file
  kLink,      // the file, the folder it is meant to be in, or a folder above it is a link
  kHardLink,  // the file has more than one name
  kMoved,     // the system names the opened file by another path, or the path is not below the top
};
// The words the refusal log lines use for a check result: "a link", "a hard link", ...
const wchar_t* LinkCheckText(LinkCheck check);

// Opens the existing file `path` below the folder `top` with `access` and `share`, never through
// a final link (FILE_FLAG_OPEN_REPARSE_POINT), and checks what it holds: `top` and every folder
// below it are no links, the file is no link and has one name, and its final path is `path`.
// `file` holds the handle only when the result is kPlain.
LinkCheck OpenLinkFreeFile(const std::wstring& top, const std::wstring& path, DWORD access, DWORD share,
                           UniqueFile& file);
// Whether the system names the open file `path` (full, long forms compared without case).
bool HandleIsAt(HANDLE file, const std::wstring& path);
// Deletes the file held open (with DELETE access) through its handle, so no path is looked up
// again; the name goes when the handle closes.
bool DeleteByHandle(HANDLE file);
// The path the system gives for an open handle (GetFinalPathNameByHandleW, the "\\?\" prefix
// dropped); empty when it cannot say.
std::wstring FinalPathOf(HANDLE file);

}  // namespace qrx
