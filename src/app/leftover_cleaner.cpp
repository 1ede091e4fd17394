#include "app/leftover_cleaner.h"

#include "sysinfo/leftover_folders.h"
#include "sysinfo/working_parent.h"

namespace qrx {

const wchar_t kLogLeftoversRemoved[] = L"Removed %d folders of earlier runs, %d scheduled for removal at restart";
const wchar_t kLogCleanerStillRunning[] = L"Leftover cleaner still running after %u ms";
const wchar_t kLogLeftoversNotScheduled[] = L"%d folders of earlier runs could neither be removed nor scheduled for removal";

LeftoverCleaner::LeftoverCleaner(Logger* logger) : shared_(new Shared) {
  shared_->logger = logger;
  thread_ = UniqueHandle(CreateThread(nullptr, 0, &LeftoverCleaner::ThreadProc, shared_.get(), 0, nullptr));
}

LeftoverCleaner::~LeftoverCleaner() {
  if (!stopped_) Stop(kCleanerStopTimeoutMs);
}

bool LeftoverCleaner::Stop(DWORD timeoutMs) {
  stopped_ = true;
  shared_->stop.store(true);
  if (!thread_) return true;
  const DWORD start = GetTickCount();
  if (WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0) return true;
  LogError(shared_->logger, kLogCleanerStillRunning, static_cast<unsigned>(GetTickCount() - start));
  shared_.release();  // still in use by the thread; the process ends it
  return false;
}

bool LeftoverCleaner::WaitForFinish(DWORD timeoutMs) {
  return thread_ && WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI LeftoverCleaner::ThreadProc(LPVOID parameter) {
  Shared* shared = static_cast<Shared*>(parameter);
  // Only the working parent is looked at: nothing in the user's temp folder is deleted on the
  // strength of a marker the user could have written.
  std::wstring parent;
  if (!GetWorkingParent(parent)) return 0;
  const LeftoverCleaning cleaning = CleanLeftoverFolders(parent, FolderOwnerTrusted(parent), &shared->stop);
  LogDebug(shared->logger, kLogLeftoversRemoved, cleaning.removed, cleaning.scheduled);
  if (cleaning.failed > 0) LogError(shared->logger, kLogLeftoversNotScheduled, cleaning.failed);
  return 0;
}

}  // namespace qrx
