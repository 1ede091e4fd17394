#include "app/run_sequence.h"

#include <objbase.h>
#include <shlwapi.h>

#include <memory>

#include "app/crash_filter.h"
#include "app/host_window.h"
#include "app/install_language.h"
#include "app/leftover_cleaner.h"
#include "app/resume_shortcut.h"
#include "app/startup_steps.h"
#include "bridge/qrx_external.h"
#include "bridge/worker_pool.h"
#include "common/com_ptr.h"
#include "common/scoped_com_init.h"
#include "common/system_dll.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "log/logger.h"
#include "payload/page_files.h"
#include "reporting/analytics.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"
#include "sysinfo/languages.h"
#include "sysinfo/os_facts.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

const wchar_t kProductId[] = L"QRX";
const wchar_t kManagerVersion[] = L"1.0.79.1";
const wchar_t kInstanceMutexName[] = L"QRXDownloadManager";
const wchar_t kHostWindowClass[] = L"HTMLUI";
const wchar_t kResumeShortcutName[] = L"Continue Lumenary R7 Installation.lnk";
const wchar_t kLogStoppingWorkers[] = L"Stopping workers: %d running";
const wchar_t kLogWorkersStopped[] = L"Workers stopped in %u ms";
const wchar_t kLogWorkersStillRunning[] = L"Workers still running after %u ms";

namespace {

const wchar_t kFirstPage[] = L"Load.html";

// A second instance raises the first one's window (restoring it when minimised).
void RaiseFirstInstance() {
  HWND window = FindWindowW(kHostWindowClass, nullptr);
  if (!window) return;
  SetForegroundWindow(window);
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
}

void ShowRefusal() {
  std::wstring text;
  std::wstring caption;
  LoadRefusalTexts(GetUiLanguageIndex(), text, caption);
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void ShowHostWindow(const std::wstring& pagePath, QRXExternal* bridge) {
  RegisterHostClass();
  CreateHostWindow(pagePath, bridge);
}

}  // namespace

void LoadRefusalTexts(int languageIndex, std::wstring& text, std::wstring& caption) {
  text = LoadLocalizedString(kRefusalTextId, languageIndex);
  caption = LoadLocalizedString(kRefusalCaptionId, languageIndex);
  if (text.empty() || caption.empty()) {
    text = LoadLocalizedString(kRefusalTextId, 0);
    caption = LoadLocalizedString(kRefusalCaptionId, 0);
  }
}

bool RunUi(const std::wstring& shortcutName, PageFiles& pages, QRXExternal* bridge,
           downloadmanagercore::WorkerPool& workers) {
  return RunUiStage(shortcutName, pages.loaded(), pages.folder(), bridge, workers, ShowHostWindow);
}

bool StopWorkers(downloadmanagercore::WorkerPool& workers, Logger* logger) {
  LogDebug(logger, kLogStoppingWorkers, static_cast<int>(workers.running()));
  const DWORD start = GetTickCount();
  const bool stopped = workers.StopAndJoin(kWorkerStopTimeoutMs);
  const unsigned elapsed = GetTickCount() - start;
  if (stopped) {
    LogDebug(logger, kLogWorkersStopped, elapsed);
  } else {
    LogError(logger, kLogWorkersStillRunning, elapsed);
  }
  return stopped;
}

bool RunUiStage(const std::wstring& shortcutName, bool pagesLoaded, const std::wstring& pageFolder,
                QRXExternal* bridge, downloadmanagercore::WorkerPool& workers, HostWindowRunner runWindow) {
  Logger* logger = bridge->logger();
  SendAnalytics(bridge->SessionSnapshot(), true);
  LogStartupStep(logger, kStepStartAnalytics);
  bool stopped = true;
  if (pagesLoaded) {
    ScopedComInit com(COINIT_APARTMENTTHREADED);
    const std::wstring shortcut = GetShortcutPath(shortcutName);
    std::wstring copy;
    if (!shortcut.empty() && CopySelfToTemp(copy, logger)) CreateResumeShortcut(copy, shortcut, logger);
    wchar_t pagePath[MAX_PATH] = {};
    PathCombineW(pagePath, pageFolder.c_str(), kFirstPage);
    runWindow(pagePath, bridge);
    // The window began the shut-down before it went (and so does a window that never came up):
    // workers call nobody back from now on. They are stopped and joined while this thread is still
    // in its apartment, so calls they make into it are dispatched meanwhile.
    bridge->BeginShutdown();
    stopped = StopWorkers(workers, logger);
    if (bridge->SessionSnapshot().status == kCompleted) DeleteResumeShortcut(GetShortcutPath(shortcutName), logger);
    com.Uninitialize();
  } else {
    bridge->SetStatus(kError);
  }
  // The reports read copies taken under the bridge lock: a worker that did not stop may still write.
  const SessionInfo info = bridge->SessionSnapshot();
  SendAnalytics(info, false);
  if (info.status == kError) {
    for (const auto& property : info.properties) {
      LogDebug(logger, L"Property %s: %s\n", property.first.c_str(), property.second.c_str());
    }
    if (logger) {
      SessionInfo reportInfo = info;
      ErrorReporter report(&reportInfo);
      report.attachments = bridge->AttachmentsSnapshot();
      report.attachments.push_back(logger->path());
      // Closes the log once the report's files are open.
      SendErrorReport(report, logger);
    }
  }
  return stopped;
}

namespace {

// Pages, language, licence and the UI stage. When every worker stopped, the bridge's last
// reference goes here, before the pages: its download folder goes with it. False when a worker
// still runs (the bridge then keeps its reference).
bool RunPagesAndUi(Logger* logger, SessionInfo& info, ComPtr<QRXExternal>& bridge,
                   downloadmanagercore::WorkerPool& workers, UniqueHandle& mutex) {
  PageFiles pages(logger);
  LogStartupStep(logger, kStepPageTable);
  std::vector<std::wstring> pageLanguages = ReadSupportedLanguages(pages);
  info.installLanguage = ChooseInstallLanguage(pageLanguages, kSupportedLanguages);
  bridge->SetPropertyValue(L"lang", GetLanguageCode(info.installLanguage));
  PrepareLicense(pages, info.productId, GetLanguageCode(info.installLanguage));
  LogStartupStep(logger, kStepLicence);

  const bool stopped = RunUi(kResumeShortcutName, pages, bridge.get(), workers);
  if (stopped) bridge.Reset();
  mutex.Reset();
  return stopped;
}

// The run once the log is open. False when a worker or the leftover cleaner did not stop in time:
// everything it uses, the logger included, must then stay until the process ends.
bool RunWithLog(Logger* logger, UniqueHandle& mutex) {
  MachineIdLogScope machineIdLog(logger);
  // Before this run makes its own working folders, a worker starts removing those that
  // interrupted runs left; it is stopped and waited for before the log closes.
  LeftoverCleaner cleaner(logger);
  // Held on the heap: a worker that would not stop keeps using them until the process ends.
  auto info = std::make_unique<SessionInfo>(kProductId, kManagerVersion);
  LogStartupStep(logger, kStepMachineFacts);
  auto reporter = std::make_unique<ErrorReporter>(info.get());
  auto workers = std::make_unique<downloadmanagercore::WorkerPool>();
  ComPtr<QRXExternal> bridge = ComPtr<QRXExternal>::Attach(new QRXExternal(info.get(), reporter.get(), logger));
  bridge->AttachWorkers(workers.get());

  const bool stopped = RunPagesAndUi(logger, *info, bridge, *workers, mutex);
  const bool cleanerStopped = cleaner.Stop(kCleanerStopTimeoutMs);
  if (!stopped) {
    // Nothing a running worker uses is torn down; ending the process ends the worker.
    bridge.Detach();
    workers.release();
    reporter.release();
    info.release();
    return false;
  }
  workers.reset();
  reporter.reset();
  info.reset();
  return cleanerStopped;
}

}  // namespace

int RunDownloadManager() {
  InstallCrashFilter();
  RestrictDllSearch();
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    RaiseFirstInstance();
    return 0;
  }
  const unsigned singleInstanceMs = MsSinceProcessStart();
  if (!IsElevated()) {
    mutex.Reset();
    ShowRefusal();
    return 0;
  }
  // Held on the heap: a worker that would not stop writes to it until the process ends.
  auto logger = std::make_unique<Logger>();
  LogStartupStep(logger.get(), kStepSingleInstance, singleInstanceMs);
  LogStartupStep(logger.get(), kStepLog);
  if (!RunWithLog(logger.get(), mutex)) {
    logger.release();
    return 0;
  }
  logger.reset();
  return 0;
}

}  // namespace qrx
