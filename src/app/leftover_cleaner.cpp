#include "app/leftover_cleaner.h"

#include "sysinfo/leftover_folders.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

const wchar_t kLogLeftoversRemoved[] = L"Removed %d folders of earlier runs, %d scheduled for removal at restart";

LeftoverCleaner::LeftoverCleaner(Logger* logger) : logger_(logger) {
  thread_ = CreateThread(nullptr, 0, &LeftoverCleaner::ThreadProc, this, 0, nullptr);
}

LeftoverCleaner::~LeftoverCleaner() {
  stop_.store(true);
  if (thread_) {
    // One folder at most is still being removed.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

bool LeftoverCleaner::WaitForFinish(DWORD timeoutMs) {
  return thread_ && WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI LeftoverCleaner::ThreadProc(LPVOID parameter) {
  LeftoverCleaner* self = static_cast<LeftoverCleaner*>(parameter);
  std::wstring temp;
  if (!GetTempFolder(temp)) return 0;
  const LeftoverCleaning cleaning = CleanLeftoverFolders(temp, &self->stop_);
  LogDebug(self->logger_, kLogLeftoversRemoved, cleaning.removed, cleaning.scheduled);
  return 0;
}

}  // namespace qrx
