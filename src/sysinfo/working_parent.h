// The parent of every working folder of the elevated run: "QRX" in the all-users application data
// folder, owned by Administrators, with a protected DACL for SYSTEM and Administrators only. No
// other process of the user can rename, delete or replace a folder inside it, which the user's own
// temp folder cannot promise (its owner may move any child away, whatever the child's DACL).
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

extern const wchar_t kWorkingParentName[];

// What an existing folder entry is, read from the entry itself (never through a link).
struct FolderFacts {
  bool isDirectory = false;
  bool isReparsePoint = false;
  // Owned by Administrators, SYSTEM or TrustedInstaller.
  bool ownerTrusted = false;
};
using ReadFolderFactsFn = bool (*)(HANDLE folder, FolderFacts& facts);
bool ReadFolderFacts(HANDLE folder, FolderFacts& facts);
// Whether the SID text names Administrators, SYSTEM or TrustedInstaller.
bool IsTrustedOwnerSidText(const wchar_t* sidText);

enum class ParentAction { kUse, kReclaim, kRefuse };
// A link or a file is refused; a folder with a trusted owner is used (and given our DACL again);
// any other folder is re-owned and re-secured before use.
ParentAction DecideWorkingParent(const FolderFacts& facts);

// Creates `folder` with the working-folder descriptor, or takes over the existing one as decided
// above. The facts are read through `readFacts` from the entry held open for the change.
bool PrepareWorkingParentWith(const std::wstring& folder, ReadFolderFactsFn readFacts);
// Replaces `path` with the prepared parent (trailing backslash); false when it cannot be had.
bool GetWorkingParent(std::wstring& path);
// A fresh working folder: GetWorkingParent, then a new uniquely named folder inside it (with
// `markerError` as CreateUniqueTempFolder gives it).
bool CreateWorkingFolder(std::wstring& path, DWORD* markerError = nullptr);
// Whether `path` lies strictly below the working parent (compared on full paths, no ".." left).
bool IsBelowWorkingParent(const std::wstring& path);
// Whether the file system reports the owner of `folder` as a trusted one. Windows keeps the owner
// set at creation; Wine reports its own user for every file, so there it is false.
bool FolderOwnerTrusted(const std::wstring& folder);

}  // namespace qrx
