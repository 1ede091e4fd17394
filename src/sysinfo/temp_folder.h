// Scratch folders under the user's temp folder.
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

// The temp path length (as GetTempPathW returns it) that still fits our 260-character buffers.
bool TempPathLengthFits(DWORD length);
// The folder name for a candidate number: lower-case hexadecimal, no prefix.
std::wstring TempFolderName(DWORD number);

// Replaces `path` with the user's temp folder (long form, trailing backslash).
bool GetTempFolder(std::wstring& path);
// Creates a new folder named by the tick count inside the existing folder `path`
// and replaces `path` with it (trailing backslash).
bool CreateUniqueTempFolder(std::wstring& path);
// As above with the first candidate number given.
bool CreateUniqueTempFolderFrom(std::wstring& path, DWORD firstCandidate);
// Deletes the folder's files and subfolders, then the folder; true when the folder is gone.
bool DeleteFolderTree(const std::wstring& path);

}  // namespace qrx
