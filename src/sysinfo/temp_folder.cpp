#include "sysinfo/temp_folder.h"

#include <shlwapi.h>

#include "common/hex_text.h"
#include "common/no_links.h"
#include "common/path_text.h"
#include "common/unique_any.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/security_descriptors.h"

namespace qrx {

namespace {

// Long enough for any path the system hands out, including over-long temp paths.
constexpr DWORD kLongPathBuffer = 32768;

CreateFolderFunction g_createFolder = &CreateDirectoryW;

// The temp folder as GetTempPathW gives it; empty when that fails or needs `capacity` characters
// or more.
std::wstring SystemTempPath(DWORD capacity) {
  std::wstring path(capacity, L'\0');
  const DWORD length = GetTempPathW(capacity, &path[0]);
  if (length == 0 || length >= capacity) return std::wstring();
  path.resize(length);
  return path;
}

}  // namespace

CreateFolderFunction SetCreateFolderFunction(CreateFolderFunction function) {
  const CreateFolderFunction previous = g_createFolder;
  g_createFolder = function ? function : &CreateDirectoryW;
  return previous;
}

bool CreateProtectedFolder(const std::wstring& path) {
  // Without its descriptor the folder would inherit what its parent grants.
  SecurityAttributes security(kWorkingFolderSecurity);
  if (!security.get()) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return false;
  }
  return g_createFolder(path.c_str(), security.get()) != FALSE;
}

bool TempPathLengthFits(DWORD length) { return length < MAX_PATH - 1; }

std::wstring TempFolderName(DWORD number) { return HexNumber(number); }

bool GetTempFolder(std::wstring& path) {
  const std::wstring temp = SystemTempPath(MAX_PATH);
  if (temp.empty() || !TempPathLengthFits(static_cast<DWORD>(temp.size()))) return false;
  wchar_t shortPath[MAX_PATH] = {};
  lstrcpynW(shortPath, temp.c_str(), MAX_PATH);
  PathAddBackslashW(shortPath);
  wchar_t longPath[2 * MAX_PATH] = {};
  const DWORD longLength = GetLongPathNameW(shortPath, longPath, 2 * MAX_PATH);
  if (longLength > 0 && longLength < 2 * MAX_PATH) {
    path = longPath;
  } else {
    path = shortPath;
  }
  return true;
}

bool CreateUniqueTempFolderFrom(std::wstring& path, DWORD firstCandidate, DWORD* markerError) {
  if (!PathFileExistsW(path.c_str())) return false;
  for (DWORD candidate = firstCandidate;; ++candidate) {
    wchar_t folder[MAX_PATH] = {};
    if (!PathCombineW(folder, path.c_str(), TempFolderName(candidate).c_str())) return false;
    if (!PathAddBackslashW(folder)) return false;
    // Only a folder this call made is ours: any existing name, be it a folder, a file or a
    // link, moves on to the next candidate.
    if (CreateProtectedFolder(folder)) {
      const bool marked = WriteRunMarker(folder);
      if (markerError) *markerError = marked ? 0 : (GetLastError() ? GetLastError() : ERROR_GEN_FAILURE);
      path = folder;
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
}

bool CreateUniqueTempFolder(std::wstring& path, DWORD* markerError) {
  return CreateUniqueTempFolderFrom(path, GetTickCount(), markerError);
}

namespace {

std::wstring FullPathOf(const std::wstring& path) {
  wchar_t full[kLongPathBuffer];
  const DWORD length = GetFullPathNameW(path.c_str(), kLongPathBuffer, full, nullptr);
  if (length == 0 || length >= kLongPathBuffer) return std::wstring();
  return full;
}

std::wstring LongFormOf(const std::wstring& path) {
  wchar_t longPath[kLongPathBuffer];
  const DWORD length = GetLongPathNameW(path.c_str(), longPath, kLongPathBuffer);
  if (length == 0 || length >= kLongPathBuffer) return path;
  return longPath;
}

// The temp folder in its given and its long form, whatever its length.
bool IsTempFolderItself(const std::wstring& fullPath) {
  const std::wstring temp = SystemTempPath(kLongPathBuffer);
  if (temp.empty()) return false;
  const std::wstring given = WithoutTrailingBackslashes(FullPathOf(temp));
  const std::wstring target = WithoutTrailingBackslashes(fullPath);
  if (_wcsicmp(given.c_str(), target.c_str()) == 0) return true;
  return _wcsicmp(WithoutTrailingBackslashes(LongFormOf(given + L'\\')).c_str(),
                  WithoutTrailingBackslashes(LongFormOf(target + L'\\')).c_str()) == 0;
}

bool DeleteEntries(const std::wstring& base, const wchar_t* lastFile, const std::atomic<bool>* stop);

// True when the entry is gone. A folder that is a link goes as a link; its target is not ours
// to empty.
bool DeleteChild(const std::wstring& path, DWORD attributes, const std::atomic<bool>* stop) {
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (IsLinkAttributes(attributes) || IsLinkPath(path)) {
    return folder ? RemoveDirectoryW(path.c_str()) != FALSE : DeleteFileW(path.c_str()) != FALSE;
  }
  if (folder) {
    if (!DeleteEntries(path + L'\\', nullptr, stop) && stop && stop->load()) return false;
    return RemoveDirectoryW(path.c_str()) != FALSE;
  }
  return DeleteFileW(path.c_str()) != FALSE;
}

// Deletes what `base` (with its trailing backslash) holds; true when all of it went. The file
// `lastFile`, when given, is deleted only after everything else went. A stop leaves the rest.
bool DeleteEntries(const std::wstring& base, const wchar_t* lastFile, const std::atomic<bool>* stop) {
  bool all = true;
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW((base + L"*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      if (lastFile && _wcsicmp(name.c_str(), lastFile) == 0) continue;
      if (stop && stop->load()) return false;
      if (!DeleteChild(base + name, entry.dwFileAttributes, stop)) all = false;
    } while (FindNextFileW(find.get(), &entry));
  }
  find.Reset();
  if (all && lastFile) DeleteFileW((base + lastFile).c_str());
  return all;
}

}  // namespace

bool MayDeleteFolderTree(const std::wstring& path) {
  if (path.empty()) return false;
  // "C:" or "C:x" name places relative to a drive's current folder.
  if (path.size() >= 2 && path[1] == L':' && (path.size() == 2 || path[2] != L'\\')) return false;
  const std::wstring full = FullPathOf(path);
  if (full.empty() || PathIsRootW(full.c_str())) return false;
  // "C:" and "\\server\share" without their last backslash are roots too.
  if (PathIsRootW((WithoutTrailingBackslashes(full) + L'\\').c_str())) return false;
  return !IsTempFolderItself(full);
}

bool DeleteFolderTreeLast(const std::wstring& path, const wchar_t* lastFile, const std::atomic<bool>* stop) {
  if (!MayDeleteFolderTree(path)) return false;
  const std::wstring folder = WithoutTrailingBackslashes(FullPathOf(path));
  const DWORD attributes = GetPathAttributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (IsLinkAttributes(attributes)) {
    // Never entered: the link itself is removed.
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(folder.c_str()) != FALSE
                                                   : DeleteFileW(folder.c_str()) != FALSE;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!DeleteEntries(folder + L'\\', lastFile, stop) && stop && stop->load()) return false;
  return RemoveDirectoryW(folder.c_str()) != FALSE;
}

bool DeleteFolderTree(const std::wstring& path) { return DeleteFolderTreeLast(path, nullptr); }

}  // namespace qrx
