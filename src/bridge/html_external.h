// The generic script bridge: the fifteen methods that the pages call on window.external, the
// properties they read, and the state shared with the download and install workers.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "bridge/worker_host.h"
#include "common/critical_section.h"
#include "download/download_owner.h"
#include "htmlhost/mshtml_external.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"

namespace downloadmanagercore {

class WindowControl;
class WorkerPool;
struct ResumeState;

// Launches a file or URL through the desktop shell; the bridge ignores the result.
using ShellLauncher = HRESULT (*)(const std::wstring& file, const std::wstring& arguments);

class HtmlExternal : public htmlui::MSHTMLExternal, public DownloadOwner, public WorkerHost {
 public:
  static constexpr ULONG kMethodCount = 15;
  // The page size used when the page never sizes the window.
  static constexpr int kDefaultWidth = 400;
  static constexpr int kDefaultHeight = 200;

  // Count 1; creates the download folder and the three progress counters.
  HtmlExternal(qrx::SessionInfo* session, qrx::ErrorReporter* reporter, qrx::Logger* logger);
  ~HtmlExternal() override;

  // IUnknown and WorkerHost: the one count of the bridge.
  ULONG STDMETHODCALLTYPE AddRef() override { return MSHTMLExternal::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return MSHTMLExternal::Release(); }

  void SetHostWindow(HWND window) override;
  void OnDocumentReady(htmlui::MSHTMLClient* site) override;
  // Logs the refused URL (kLogNavigationRefused).
  void OnNavigationRefused(const wchar_t* url) override;
  ULONG GetMethodTable(const MethodEntry** table) override;
  // Sizes and centres the window for a page size in units at 96 DPI.
  virtual void ApplyWindowSize(int width, int height);
  // The run's worker pool, which runs the download and install workers; without one the two
  // methods fail with E_UNEXPECTED.
  void AttachWorkers(WorkerPool* workers) { workers_ = workers; }
  // What changes the host window (its size, close, minimise, drag, message boxes); without one
  // the window methods change nothing.
  void AttachWindowControl(WindowControl* control) { window_ = control; }
  // The page is going away: workers call no page back from now on.
  void BeginShutdown();

  // WorkerHost (and the logger of DownloadOwner):
  qrx::Logger* GetLogger() override;
  // Downloads into the download folder. A download that ends with 0 (and, when a hash was given,
  // matched it) makes its file the run's checked package; any other clears it. A failed download
  // leaves its bytes for the next call with the same URL, which resumes there; any other URL
  // deletes them.
  int DownloadFile(const std::wstring& url) override;
  // Whether `path` is the package of this run's last download that ended with 0.
  bool IsCheckedPackage(const std::wstring& path);
  // 2 here: no installer.
  int InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) override;
  // False (path untouched) here.
  bool GetInstalledStartProgram(std::wstring& path) override;
  // Records a worker's failure in the run record.
  void SetErrorFields(int wrapperError, int msiError) override;
  std::wstring downloadPath() override;
  void SetStartProgram(const std::wstring& path) override;
  bool closing() const override;
  bool stopRequested() const override;

  // DownloadOwner:
  std::wstring GetDownloadFolder() override;
  void SetDownloadPath(const std::wstring& path) override;
  void SetDownloadTotal(ULONG value) override;
  void SetDownloadCurrent(ULONG value) override;
  HANDLE GetStopEvent() override;
  void OnAttemptEnded(HRESULT hr, unsigned long httpStatus) override;

  // Shared state, each read and store under the bridge lock; callable from any thread.
  void SetInstallProgress(LONG value);
  std::wstring GetPropertyValue(const std::wstring& key);
  void SetPropertyValue(const std::wstring& key, const std::wstring& value);
  std::wstring startProgram();
  void SetProductVersion(const std::wstring& version);
  void SetStatus(int status);
  void AddAttachment(const std::wstring& path);
  // Copies for the final reports.
  qrx::SessionInfo SessionSnapshot();
  std::vector<std::wstring> AttachmentsSnapshot();
  // Setup still runs from the download folder: at the bridge's end the folder is scheduled for
  // removal at restart instead of deleted.
  void KeepDownloadFolderForSetup();

  // The outer rectangle for a page size on this window's monitor.
  RECT ComputeWindowRect(HWND window, int width, int height);

  qrx::SessionInfo* sessionInfo() const { return session_; }
  qrx::ErrorReporter* errorReporter() const { return reporter_; }
  qrx::Logger* logger() const { return log_; }
  const std::wstring& downloadFolder() const { return downloadFolder_; }
  bool closeDisabled() const { return closeDisabled_; }
  int windowWidth() const { return windowWidth_; }
  int windowHeight() const { return windowHeight_; }
  // Tests replace the desktop shell launcher.
  void SetShellLauncher(ShellLauncher launcher) { launcher_ = launcher; }

 protected:
  // The fifteen script methods, in table order.
  HRESULT SetWindowSizeMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT CloseWindowMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT DownloadMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT InstallMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT GetPropertyMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT SetChannelMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT SetInstallStatusMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT StartInstallProgramMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT HideWindowMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT DragWindowMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT MessageBoxMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT DisableCloseWindowMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT RestoreWindowMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT OpenPageMethod(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT RetryMessageBoxMethod(WORD flags, DISPPARAMS* params, VARIANT* result);

 private:
  static LRESULT CALLBACK CloseGuardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR refData);
  void StoreCounter(const wchar_t* key, LONG value);

  qrx::ErrorReporter* reporter_;
  qrx::SessionInfo* session_;
  qrx::Logger* log_;
  // Guards the record's shared fields, the attachments and the three fields below it.
  qrx::CriticalSection lock_;
  std::wstring startProgram_;
  std::wstring downloadPath_;
  std::wstring checkedPackage_;
  bool keepFolderForSetup_ = false;
  // What the last failed download left in the download folder, for a Retry of the same URL.
  std::wstring resumeUrl_;
  std::unique_ptr<ResumeState> resume_;
  // How the last download attempt ended, for the failure's cause.
  HRESULT lastAttemptResult_ = S_OK;
  unsigned long lastHttpStatus_ = 0;
  std::wstring downloadFolder_;
  bool closeDisabled_ = false;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
  ShellLauncher launcher_;
  WorkerPool* workers_ = nullptr;
  WindowControl* window_ = nullptr;
  std::atomic<bool> closing_{false};
};

}  // namespace downloadmanagercore
