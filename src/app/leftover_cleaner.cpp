#include "app/leftover_cleaner.h"

#include "sysinfo/leftover_folders.h"
#include "sysinfo/working_parent.h"

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
  // Only the working parent is looked at: nothing in the user's temp folder is deleted on the
  // strength of a marker the user could have written.
  std::wstring parent;
  if (!GetWorkingParent(parent)) return 0;
  const LeftoverCleaning cleaning = CleanLeftoverFolders(parent, FolderOwnerTrusted(parent), &self->stop_);
  LogDebug(self->logger_, kLogLeftoversRemoved, cleaning.removed, cleaning.scheduled);
  return 0;
}

}  // namespace qrx
