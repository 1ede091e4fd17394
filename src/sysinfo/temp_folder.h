// Scratch folders under the user's temp folder.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace qrx {

// The temp path length (as GetTempPathW returns it) that still fits our 260-character buffers.
bool TempPathLengthFits(DWORD length);
// The folder name for a candidate number: lower-case hexadecimal, no prefix.
std::wstring TempFolderName(DWORD number);

// The folder creation used for every working folder and their parent; tests replace it to see the
// descriptor passed. Returns the previous one.
using CreateFolderFunction = BOOL(WINAPI*)(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
CreateFolderFunction SetCreateFolderFunction(CreateFolderFunction function);
// Creates the new folder `path` (never an existing one) with the working-folder descriptor.
bool CreateProtectedFolder(const std::wstring& path);

// Replaces `path` with the user's temp folder (long form, trailing backslash).
bool GetTempFolder(std::wstring& path);
// Creates a new folder named by the tick count inside the existing folder `path`, protected
// for administrators and carrying the run's marker, and replaces `path` with it (trailing
// backslash). Existing names are skipped; any other failure leaves `path` unchanged. A marker
// that could not be written does not fail the call: `markerError`, when given, receives the
// system error then (0 when the marker was written), for the caller to log.
bool CreateUniqueTempFolder(std::wstring& path, DWORD* markerError = nullptr);
// As above with the first candidate number given.
bool CreateUniqueTempFolderFrom(std::wstring& path, DWORD firstCandidate, DWORD* markerError = nullptr);
// Deletes the folder's files and subfolders, then the folder; true when the folder is gone.
// Links (junctions, symbolic links, mount points) are removed as links and never entered, the
// folder itself included. An empty path, a drive root and the temp folder itself are refused.
bool DeleteFolderTree(const std::wstring& path);
// As above, deleting the file named `lastFile` directly inside the folder after everything else.
// Once `*stop` is set (looked at before every entry) nothing more is deleted: false, with the
// folder and its `lastFile` still there.
bool DeleteFolderTreeLast(const std::wstring& path, const wchar_t* lastFile,
                          const std::atomic<bool>* stop = nullptr);
// Whether DeleteFolderTree would accept `path` at all.
bool MayDeleteFolderTree(const std::wstring& path);

}  // namespace qrx
