#include "installer/package_signers.h"

#include <windows.h>

#include "common/path_text.h"
#include "common/unique_any.h"

namespace qrx {

const wchar_t kLogPackageSignerRefused[] = L"Package file signature refused, file: %s, reason: %s";

bool NeedsSigner(const std::wstring& name) {
  if (name.size() < 5) return false;
  const wchar_t* extension = name.c_str() + name.size() - 4;
  return _wcsicmp(extension, L".exe") == 0 || _wcsicmp(extension, L".dll") == 0 || _wcsicmp(extension, L".msi") == 0;
}

namespace {

void Collect(const std::wstring& folder, std::vector<std::wstring>& files) {
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L'\\' + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Collect(path, files);
    } else if (NeedsSigner(name)) {
      files.push_back(path);
    }
  } while (FindNextFileW(find.get(), &entry));
}

}  // namespace

std::vector<std::wstring> FilesNeedingSigner(const std::wstring& folder) {
  std::vector<std::wstring> files;
  Collect(WithoutTrailingBackslashes(folder), files);
  return files;
}

}  // namespace qrx
