#include "app/run_sequence.h"

#include <objbase.h>
#include <shlwapi.h>

#include "app/crash_filter.h"
#include "app/host_window.h"
#include "app/install_language.h"
#include "app/leftover_cleaner.h"
#include "app/resume_shortcut.h"
#include "app/session_info.h"
#include "bridge/qrx_external.h"
#include "bridge/worker_threads.h"
#include "common/system_dll.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "log/logger.h"
#include "payload/page_files.h"
#include "reporting/analytics.h"
#include "reporting/error_reporter.h"
#include "sysinfo/languages.h"
#include "sysinfo/os_facts.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

const wchar_t kProductId[] = L"QRX";
const wchar_t kManagerVersion[] = L"1.0.79.1";
const wchar_t kInstanceMutexName[] = L"QRXDownloadManager";
const wchar_t kHostWindowClass[] = L"HTMLUI";
const wchar_t kResumeShortcutName[] = L"Continue Lumenary R7 Installation.lnk";

namespace {

const wchar_t kFirstPage[] = L"Load.html";
// How long shut-down lets running workers take to stop.
constexpr DWORD kWorkerStopTimeoutMs = 3000;

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

void DeleteResumeShortcut(const std::wstring& shortcutName) {
  const std::wstring shortcut = GetShortcutPath(shortcutName);
  if (!shortcut.empty()) DeleteFileW(shortcut.c_str());
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

void RunUi(const std::wstring& shortcutName, PageFiles& pages, QRXExternal* bridge) {
  RunUiStage(shortcutName, pages.loaded(), pages.folder(), bridge, ShowHostWindow);
}

void RunUiStage(const std::wstring& shortcutName, bool pagesLoaded, const std::wstring& pageFolder,
                QRXExternal* bridge, HostWindowRunner runWindow) {
  SessionInfo& info = *bridge->sessionInfo();
  Logger* logger = bridge->logger();
  SendAnalytics(info, true);
  if (pagesLoaded) {
    CoInitialize(nullptr);
    const std::wstring shortcut = GetShortcutPath(shortcutName);
    std::wstring copy;
    if (!shortcut.empty() && CopySelfToTemp(copy)) CreateResumeShortcut(copy, shortcut);
    wchar_t pagePath[MAX_PATH] = {};
    PathCombineW(pagePath, pageFolder.c_str(), kFirstPage);
    runWindow(pagePath, bridge);
    // The page is gone: workers call nobody back from now on.
    bridge->BeginShutdown();
    if (info.status == kCompleted) DeleteResumeShortcut(shortcutName);
    CoUninitialize();
  } else {
    info.status = kError;
  }
  // A download still running is asked to stop, so that the reports below see a settled record.
  downloadmanagercore::StopWorkers(kWorkerStopTimeoutMs);
  SendAnalytics(info, false);
  if (info.status == kError) {
    for (const auto& property : info.properties) {
      LogDebug(logger, L"Property %s: %s\n", property.first.c_str(), property.second.c_str());
    }
    if (logger) {
      logger->CloseFile();
      ErrorReporter& reporter = *bridge->errorReporter();
      reporter.attachments.push_back(logger->path());
      SendErrorReport(reporter);
    }
  }
}

int RunDownloadManager() {
  SetUnhandledExceptionFilter(CrashFilter);
  RestrictDllSearch();
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    RaiseFirstInstance();
    return 0;
  }
  if (!IsElevated()) {
    mutex.Reset();
    ShowRefusal();
    return 0;
  }

  Logger logger;
  MachineIdLogScope machineIdLog(&logger);
  // Before this run makes its own working folders, a worker starts removing those that
  // interrupted runs left; it is stopped and waited for before the log closes.
  LeftoverCleaner cleaner(&logger);
  {
    SessionInfo info(kProductId, kManagerVersion);
    ErrorReporter reporter(&info);
    QRXExternal* bridge = new QRXExternal(&info, &reporter, &logger);
    {
      PageFiles pages(&logger);
      std::vector<std::wstring> pageLanguages = ReadSupportedLanguages(pages);
      info.installLanguage = ChooseInstallLanguage(pageLanguages, kSupportedLanguages);
      info.properties[L"lang"] = GetLanguageCode(info.installLanguage);
      PrepareLicense(pages, info.productId, GetLanguageCode(info.installLanguage));

      RunUi(kResumeShortcutName, pages, bridge);

      if (downloadmanagercore::RunningWorkers() > 0) {
        // A worker that would not stop (a setup still running) uses the bridge, the record and
        // the log: remove our folders and end the process, which ends the worker, instead of
        // tearing down objects under it.
        mutex.Reset();
        logger.CloseFile();
        DeleteFolderTree(pages.folder());
        DeleteFolderTree(logger.folder());
        ExitProcess(0);
      }
      bridge->Release();
      mutex.Reset();
      pageLanguages.clear();
    }
    reporter.attachments.clear();
  }
  return 0;
}

}  // namespace qrx
