// File-system steps that never pass through a junction, symbolic link or mount point.
// The elevated process works in folders below the user's temp folder; a link planted there
// would turn its writes and deletions into writes and deletions elsewhere.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace qrx
