#include "sysinfo/delayed_removal.h"

#include <windows.h>

#include "common/unique_any.h"
#include "sysinfo/working_parent.h"

namespace qrx {

namespace {

bool ScheduleRemoval(const std::wstring& path) {
  return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

}  // namespace

bool ScheduleFolderTreeRemoval(const std::wstring& folder) {
  std::wstring base = folder;
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  // A path the user could redirect before the restart is never handed to the system's delete.
  if (base.empty() || !IsBelowWorkingParent(base)) return false;
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW((base + L"\\*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = base + L"\\" + name;
      const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      // The restart deletes in the order entered: contents before their folder.
      if (directory && !link) {
        ScheduleFolderTreeRemoval(path);
      } else {
        ScheduleRemoval(path);
      }
    } while (FindNextFileW(find.get(), &entry));
  }
  find.Reset();
  return ScheduleRemoval(base);
}

}  // namespace qrx
