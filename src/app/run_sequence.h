// The run from start-up to shut-down.
#pragma once

#include <windows.h>

#include <string>

namespace downloadmanagercore {
class WorkerPool;
}

namespace qrx {

class PageFiles;
class QRXExternal;
class Logger;

extern const wchar_t kProductId[];
extern const wchar_t kManagerVersion[];
extern const wchar_t kInstanceMutexName[];
extern const wchar_t kHostWindowClass[];
extern const wchar_t kResumeShortcutName[];

// Log lines of the workers' stop at shut-down.
extern const wchar_t kLogStoppingWorkers[];
extern const wchar_t kLogWorkersStopped[];
extern const wchar_t kLogWorkersStillRunning[];
// How long shut-down lets running workers take to stop.
constexpr DWORD kWorkerStopTimeoutMs = 5000;

// String resources of the privilege refusal.
constexpr UINT kRefusalTextId = 102;
constexpr UINT kRefusalCaptionId = 103;

// The refusal text and caption in the language of `languageIndex`, or in English when either
// is missing there.
void LoadRefusalTexts(int languageIndex, std::wstring& text, std::wstring& caption);

// The whole run; always returns 0, the process exit code.
int RunDownloadManager();

// The UI stage: reports, resume shortcut, window, stopping the workers, error report. False when
// a worker did not stop within kWorkerStopTimeoutMs (it still uses the bridge, record and log).
bool RunUi(const std::wstring& shortcutName, PageFiles& pages, QRXExternal* bridge,
           downloadmanagercore::WorkerPool& workers);

// Shows the host window on `pagePath` and returns when it has closed.
using HostWindowRunner = void (*)(const std::wstring& pagePath, QRXExternal* bridge);
// The UI stage with the page folder's state and the window given; RunUi passes the real window.
bool RunUiStage(const std::wstring& shortcutName, bool pagesLoaded, const std::wstring& pageFolder,
                QRXExternal* bridge, downloadmanagercore::WorkerPool& workers, HostWindowRunner runWindow);

// Asks every worker to stop and joins them within kWorkerStopTimeoutMs, logging how long it took;
// true when none runs any more.
bool StopWorkers(downloadmanagercore::WorkerPool& workers, Logger* logger);

}  // namespace qrx
