#include "sysinfo/temp_folder.h"

#include <shlwapi.h>

#include "common/unique_any.h"

namespace qrx {

bool TempPathLengthFits(DWORD length) { return length < MAX_PATH - 1; }

std::wstring TempFolderName(DWORD number) {
  wchar_t name[16];
  wsprintfW(name, L"%x", number);
  return name;
}

bool GetTempFolder(std::wstring& path) {
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, shortPath);
  if (length == 0 || !TempPathLengthFits(length)) return false;
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

bool CreateUniqueTempFolderFrom(std::wstring& path, DWORD firstCandidate) {
  if (!PathFileExistsW(path.c_str())) return false;
  DWORD candidate = firstCandidate;
  for (;;) {
    wchar_t folder[MAX_PATH] = {};
    if (!PathCombineW(folder, path.c_str(), TempFolderName(candidate).c_str())) return false;
    // Tested before the backslash is added, so that a file of that name counts as taken too.
    const bool taken = PathFileExistsW(folder) != FALSE;
    if (!PathAddBackslashW(folder)) return false;
    if (!taken) {
      CreateDirectoryW(folder, nullptr);
      path = folder;
      return true;
    }
    ++candidate;
  }
}

bool CreateUniqueTempFolder(std::wstring& path) {
  return CreateUniqueTempFolderFrom(path, GetTickCount());
}

bool DeleteFolderTree(const std::wstring& path) {
  std::wstring base = path;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW((base + L"*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (name == L"." || name == L"..") continue;
        // A junction or directory link is removed as a link; its target is not ours to empty.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          RemoveDirectoryW((base + name).c_str());
        } else {
          DeleteFolderTree(base + name);
        }
      } else {
        DeleteFileW((base + name).c_str());
      }
    } while (FindNextFileW(find.get(), &entry));
  }
  find.Reset();
  return RemoveDirectoryW(path.c_str()) != FALSE;
}

}  // namespace qrx
