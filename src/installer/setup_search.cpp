#include "installer/setup_search.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "common/unique_any.h"
#include "installer/install_texts.h"

namespace qrx {

namespace {

// The longest path built in a setup folder is "<folder>\log.txt.xml" or "<folder>\setup.exe".
bool SetupPathsFit(const std::wstring& folder, const std::wstring& fileName) {
  const size_t longest =
      std::max({fileName.size(), std::wstring(kSetupXmlLogName).size(), std::wstring(kSetupLogName).size()});
  return folder.size() + 1 + longest < MAX_PATH;
}

}  // namespace

bool FindSetupFolder(const std::wstring& startFolder, const std::wstring& fileName, std::wstring& setupFolder) {
  if (SetupPathsFit(startFolder, fileName)) {
    const std::wstring candidate = startFolder + L"\\" + fileName;
    if (PathFileExistsW(candidate.c_str())) {
      setupFolder = startFolder;
      return true;
    }
  }

  const std::wstring pattern = startFolder + L"\\*";
  if (pattern.size() >= MAX_PATH) return false;
  WIN32_FIND_DATAW entry = {};
  UniqueFind find(FindFirstFileW(pattern.c_str(), &entry));
  if (!find) return false;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0) continue;
    if (FindSetupFolder(startFolder + L"\\" + entry.cFileName, fileName, setupFolder)) return true;
  } while (FindNextFileW(find.get(), &entry));
  return false;
}

}  // namespace qrx
