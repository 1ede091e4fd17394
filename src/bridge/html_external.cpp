#include "bridge/html_external.h"

#include <commctrl.h>

#include <cwchar>
#include <utility>

#include "bridge/download_failure.h"
#include "bridge/method_arguments.h"
#include "bridge/property_text.h"
#include "bridge/window_control.h"
#include "bridge/window_rect.h"
#include "bridge/worker_pool.h"
#include "bridge/worker_threads.h"
#include "common/result_codes.h"
#include "common/scope_guard.h"
#include "download/counter_text.h"
#include "download/download_file.h"
#include "download/download_request.h"
#include "download/download_result.h"
#include "download/resume_plan.h"
#include "htmlhost/desktop_shell_execute.h"
#include "htmlhost/page_trust.h"
#include "htmlhost/shell_text.h"
#include "installer/install_texts.h"
#include "sysinfo/leftover_folders.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"
#include "sysinfo/working_parent.h"

namespace downloadmanagercore {

namespace {

const wchar_t kDownloadTotalKey[] = L"downloadTotal";
const wchar_t kDownloadCurrentKey[] = L"downloadCurrent";

// Log lines of the script methods.
const wchar_t kLogWindowSize[] = L"ZSWindowSize: %d";
const wchar_t kLogClose[] = L"ZSClose";
const wchar_t kLogDownload[] = L"ZSDownload: %s";
const wchar_t kLogInstall[] = L"ZSInstall: %s";
const wchar_t kLogSetChannel[] = L"ZSSetChannel: %s";
const wchar_t kLogSetInstallStatus[] = L"ZSSetInstallStatus: %d";
const wchar_t kLogHideWindow[] = L"ZSHideWindow";
const wchar_t kLogDragWindow[] = L"ZSDragWindow";
const wchar_t kLogMessageBox[] = L"ZSMessageBox: %s %s";
const wchar_t kLogDisableWindowClose[] = L"ZSDisableWindowClose: %d";
const wchar_t kLogRestoreWindow[] = L"ZSRestoreWindow";
const wchar_t kLogOpenPage[] = L"ZSOpenPage: %s";
const wchar_t kLogOpenPageRefused[] = L"ZSOpenPage refused, only http and https URLs are opened: %s";
const wchar_t kLogRetryMessageBox[] = L"ZSRetryMessageBox: %s";
const wchar_t kLogFolderKeptForSetup[] = L"Setup still runs: download folder %s scheduled for removal at restart";
const wchar_t kLogFolderNotScheduled[] =
    L"Setup still runs: download folder %s not (wholly) scheduled for removal at restart, error %u";

constexpr UINT_PTR kCloseGuardId = 0;

}  // namespace

HtmlExternal::HtmlExternal(qrx::SessionInfo* session, qrx::ErrorReporter* reporter, qrx::Logger* logger)
    : reporter_(reporter), session_(session), log_(logger), launcher_(&htmlui::DesktopShellExecute) {
  SetDownloadTotal(1);
  SetDownloadCurrent(0);
  SetInstallProgress(0);
  std::wstring folder;
  // Only a fresh subfolder is ours to delete later; it lies under the protected working parent,
  // so the package hashed while written is what is later unpacked from it.
  DWORD markerError = 0;
  if (qrx::CreateWorkingFolder(folder, &markerError)) downloadFolder_ = folder;
  if (markerError) {
    qrx::LogError(log_, qrx::kLogRunMarkerNotWritten, folder.c_str(), static_cast<unsigned>(markerError));
  }
}

HtmlExternal::~HtmlExternal() {
  // The close guard must not outlive the bridge it points to.
  if (hostWindow_) RemoveWindowSubclass(hostWindow_, &HtmlExternal::CloseGuardProc, kCloseGuardId);
  if (downloadFolder_.empty()) return;
  // Setup may not have opened every package yet: nothing of its folder is deleted under it.
  if (keepFolderForSetup_) {
    if (qrx::ScheduleRemovalAtRestart(downloadFolder_)) {
      qrx::LogDebug(log_, kLogFolderKeptForSetup, downloadFolder_.c_str());
    } else {
      qrx::LogError(log_, kLogFolderNotScheduled, downloadFolder_.c_str(), static_cast<unsigned>(GetLastError()));
    }
  } else {
    qrx::DeleteFolderTree(downloadFolder_);
  }
}

ULONG HtmlExternal::GetMethodTable(const MethodEntry** table) {
  static const MethodEntry kMethods[kMethodCount] = {
      {L"setWindowSize", static_cast<Handler>(&HtmlExternal::SetWindowSizeMethod)},
      {L"closeWindow", static_cast<Handler>(&HtmlExternal::CloseWindowMethod)},
      {L"download", static_cast<Handler>(&HtmlExternal::DownloadMethod)},
      {L"install", static_cast<Handler>(&HtmlExternal::InstallMethod)},
      {L"getProperty", static_cast<Handler>(&HtmlExternal::GetPropertyMethod)},
      {L"setChannel", static_cast<Handler>(&HtmlExternal::SetChannelMethod)},
      {L"setInstallStatus", static_cast<Handler>(&HtmlExternal::SetInstallStatusMethod)},
      {L"startInstallProgram", static_cast<Handler>(&HtmlExternal::StartInstallProgramMethod)},
      {L"hideWindow", static_cast<Handler>(&HtmlExternal::HideWindowMethod)},
      {L"dragWindow", static_cast<Handler>(&HtmlExternal::DragWindowMethod)},
      {L"messageBox", static_cast<Handler>(&HtmlExternal::MessageBoxMethod)},
      {L"disableCloseWindow", static_cast<Handler>(&HtmlExternal::DisableCloseWindowMethod)},
      {L"restoreWindow", static_cast<Handler>(&HtmlExternal::RestoreWindowMethod)},
      {L"openPage", static_cast<Handler>(&HtmlExternal::OpenPageMethod)},
      {L"retryMessageBox", static_cast<Handler>(&HtmlExternal::RetryMessageBoxMethod)},
  };
  if (table) *table = kMethods;
  return kMethodCount;
}

// Window operations.

void HtmlExternal::SetHostWindow(HWND window) {
  if (window == hostWindow_) return;
  if (hostWindow_) RemoveWindowSubclass(hostWindow_, &HtmlExternal::CloseGuardProc, kCloseGuardId);
  hostWindow_ = window;
  if (window) {
    SetWindowSubclass(window, &HtmlExternal::CloseGuardProc, kCloseGuardId, reinterpret_cast<DWORD_PTR>(this));
  }
}

LRESULT CALLBACK HtmlExternal::CloseGuardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR refData) {
  auto* bridge = reinterpret_cast<HtmlExternal*>(refData);
  if (message == WM_CLOSE && bridge && bridge->closeDisabled_) {
    if (bridge->window_) bridge->window_->Minimize(bridge->hostWindow_, false);
    return 0;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

RECT HtmlExternal::ComputeWindowRect(HWND window, int width, int height) {
  int dpi = 96;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
  }
  // The window is a popup without a frame: its outer size is the page size in pixels.
  RECT reference = {0, 0, 0, 0};
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (HWND owner = window ? GetWindow(window, GW_OWNER) : nullptr) {
    GetWindowRect(owner, &reference);
    GetMonitorInfoW(MonitorFromRect(&reference, MONITOR_DEFAULTTONEAREST), &monitor);
  } else {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    reference = monitor.rcWork;
  }
  return ComputeWindowRectFor(dpi, width, height, reference, monitor.rcWork);
}

void HtmlExternal::ApplyWindowSize(int width, int height) {
  const RECT rect = ComputeWindowRect(hostWindow_, width, height);
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (w == windowWidth_ && h == windowHeight_) return;
  windowWidth_ = w;
  windowHeight_ = h;
  if (window_) window_->Place(hostWindow_, rect);
}

void HtmlExternal::OnDocumentReady(htmlui::MSHTMLClient*) {
  RECT client;
  if (!hostWindow_ || !GetClientRect(hostWindow_, &client)) return;
  if (client.right - client.left != 0 && client.bottom - client.top != 0) return;
  {
    auto hold = lock_.Lock();
    session_->wrapperError = 0;
    session_->msiError = 0;
  }
  ApplyWindowSize(kDefaultWidth, kDefaultHeight);
}

void HtmlExternal::OnNavigationRefused(const wchar_t* url) {
  qrx::LogWarning(log_, htmlui::kLogNavigationRefused, htmlui::LoggableUrl(url ? url : L"").c_str());
}

// Worker operations.

// A failed download leaves its cause for the page before the page is called back; a stopped one
// is no failure. Only a package downloaded whole in this run may be installed.
int HtmlExternal::DownloadFile(const std::wstring& url) {
  std::unique_ptr<ResumeState> resume;
  {
    auto hold = lock_.Lock();
    checkedPackage_.clear();
    lastAttemptResult_ = S_OK;
    lastHttpStatus_ = 0;
    if (resumeUrl_ == url) {
      resume = std::move(resume_);
    } else if (resume_) {
      DeleteFileW(resume_->path.c_str());
      resume_.reset();
    }
    resumeUrl_.clear();
  }
  if (!resume) resume.reset(new ResumeState);
  const int code = downloadmanagercore::DownloadFile(*this, url, *resume);
  if (code == kDownloadOk) {
    auto hold = lock_.Lock();
    checkedPackage_ = downloadPath_;
    return code;
  }
  if (resume->kept > 0) {
    auto hold = lock_.Lock();
    resumeUrl_ = url;
    resume_ = std::move(resume);
  }
  if (stopRequested()) return code;
  DownloadOutcome outcome;
  outcome.code = code;
  {
    auto hold = lock_.Lock();
    outcome.lastResult = lastAttemptResult_;
    outcome.httpStatus = lastHttpStatus_;
  }
  outcome.hashFailed = outcome.lastResult == CRYPT_E_HASH_VALUE;
  SetPropertyValue(kDownloadFailureKey, DownloadFailureCause(outcome));
  return code;
}

bool HtmlExternal::IsCheckedPackage(const std::wstring& path) {
  auto hold = lock_.Lock();
  return !checkedPackage_.empty() && checkedPackage_ == path;
}

void HtmlExternal::OnAttemptEnded(HRESULT hr, unsigned long httpStatus) {
  auto hold = lock_.Lock();
  lastAttemptResult_ = hr;
  lastHttpStatus_ = httpStatus;
}

int HtmlExternal::InstallPackage(const std::wstring&, const std::wstring&) { return qrx::kInstallNotImplemented; }

bool HtmlExternal::GetInstalledStartProgram(std::wstring&) { return false; }

void HtmlExternal::SetErrorFields(int wrapperError, int msiError) {
  auto hold = lock_.Lock();
  session_->wrapperError = wrapperError;
  session_->msiError = msiError;
}

void HtmlExternal::BeginShutdown() { closing_ = true; }

bool HtmlExternal::closing() const { return closing_; }

bool HtmlExternal::stopRequested() const { return workers_ && workers_->stopRequested(); }

HANDLE HtmlExternal::GetStopEvent() { return workers_ ? workers_->stopEvent() : nullptr; }

// DownloadOwner and properties.

std::wstring HtmlExternal::GetDownloadFolder() { return downloadFolder_; }

void HtmlExternal::SetDownloadPath(const std::wstring& path) {
  auto hold = lock_.Lock();
  downloadPath_ = path;
}

std::wstring HtmlExternal::downloadPath() {
  auto hold = lock_.Lock();
  return downloadPath_;
}

std::wstring HtmlExternal::startProgram() {
  auto hold = lock_.Lock();
  return startProgram_;
}

void HtmlExternal::SetStartProgram(const std::wstring& path) {
  auto hold = lock_.Lock();
  startProgram_ = path;
}

void HtmlExternal::SetProductVersion(const std::wstring& version) {
  auto hold = lock_.Lock();
  session_->productVersion = version;
}

void HtmlExternal::SetStatus(int status) {
  auto hold = lock_.Lock();
  session_->status = status;
}

void HtmlExternal::AddAttachment(const std::wstring& path) {
  auto hold = lock_.Lock();
  reporter_->attachments.push_back(path);
}

qrx::SessionInfo HtmlExternal::SessionSnapshot() {
  auto hold = lock_.Lock();
  return *session_;
}

std::vector<std::wstring> HtmlExternal::AttachmentsSnapshot() {
  auto hold = lock_.Lock();
  return reporter_->attachments;
}

void HtmlExternal::KeepDownloadFolderForSetup() {
  auto hold = lock_.Lock();
  keepFolderForSetup_ = true;
}

void HtmlExternal::SetDownloadTotal(ULONG value) { StoreCounter(kDownloadTotalKey, static_cast<LONG>(value)); }

void HtmlExternal::SetDownloadCurrent(ULONG value) { StoreCounter(kDownloadCurrentKey, static_cast<LONG>(value)); }

void HtmlExternal::SetInstallProgress(LONG value) { StoreCounter(qrx::kInstallProgressKey, value); }

qrx::Logger* HtmlExternal::GetLogger() { return log_; }

void HtmlExternal::StoreCounter(const wchar_t* key, LONG value) {
  const std::wstring text = CounterText(static_cast<unsigned long>(value));
  auto hold = lock_.Lock();
  session_->properties[key] = text;
}

std::wstring HtmlExternal::GetPropertyValue(const std::wstring& key) {
  auto hold = lock_.Lock();
  return session_->properties[key];
}

void HtmlExternal::SetPropertyValue(const std::wstring& key, const std::wstring& value) {
  auto hold = lock_.Lock();
  session_->properties[key] = value;
}

// The script methods.

HRESULT HtmlExternal::SetWindowSizeMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_I4, VT_I4});
  if (FAILED(hr)) return hr;
  const LONG width = ScriptArgument(*params, 0).lVal;
  const LONG height = ScriptArgument(*params, 1).lVal;
  qrx::LogDebug(log_, kLogWindowSize, static_cast<int>(width));
  ApplyWindowSize(width, height);
  return S_OK;
}

HRESULT HtmlExternal::CloseWindowMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {});
  if (FAILED(hr)) return hr;
  qrx::LogDebug(log_, kLogClose);
  if (hostWindow_ && window_) window_->RequestClose(hostWindow_);
  return S_OK;
}

HRESULT HtmlExternal::DownloadMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BSTR, VT_DISPATCH});
  if (FAILED(hr)) return hr;
  const std::wstring url = ArgumentText(ScriptArgument(*params, 0));
  qrx::LogDebug(log_, kLogDownload, url.c_str());
  if (!workers_) return E_UNEXPECTED;
  // A new download has no failure yet.
  SetPropertyValue(kDownloadFailureKey, std::wstring());
  return StartDownloadWorker(*workers_, this, url, ScriptArgument(*params, 1).pdispVal);
}

HRESULT HtmlExternal::InstallMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BSTR, VT_DISPATCH});
  if (FAILED(hr)) return hr;
  const std::wstring parameters = ArgumentText(ScriptArgument(*params, 0));
  qrx::LogDebug(log_, kLogInstall, parameters.c_str());
  if (!workers_) return E_UNEXPECTED;
  return StartInstallWorker(*workers_, this, downloadPath(), parameters, ScriptArgument(*params, 1).pdispVal);
}

HRESULT HtmlExternal::GetPropertyMethod(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {VT_BSTR});
  if (FAILED(hr)) return hr;
  if (!result) return S_OK;
  const std::wstring value = GetPropertyValue(ArgumentText(ScriptArgument(*params, 0)));
  BSTR text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (!text) return E_OUTOFMEMORY;
  VariantClear(result);
  result->vt = VT_BSTR;
  result->bstrVal = text;
  return S_OK;
}

HRESULT HtmlExternal::SetChannelMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BSTR});
  if (FAILED(hr)) return hr;
  const std::wstring channel = ArgumentText(ScriptArgument(*params, 0));
  qrx::LogDebug(log_, kLogSetChannel, channel.c_str());
  auto hold = lock_.Lock();
  session_->channelId = channel;
  return S_OK;
}

HRESULT HtmlExternal::SetInstallStatusMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_I4});
  if (FAILED(hr)) return hr;
  const LONG status = ScriptArgument(*params, 0).lVal;
  if (status < qrx::kNotStart || status > qrx::kEnvironmentNotMeet) return STG_E_INVALIDPARAMETER;
  qrx::LogDebug(log_, kLogSetInstallStatus, static_cast<int>(status));
  SetStatus(static_cast<int>(status));
  return S_OK;
}

HRESULT HtmlExternal::StartInstallProgramMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BSTR});
  if (FAILED(hr)) return hr;
  if (launcher_) launcher_(startProgram(), ArgumentText(ScriptArgument(*params, 0)));
  return S_OK;
}

HRESULT HtmlExternal::HideWindowMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {});
  if (FAILED(hr)) return hr;
  qrx::LogDebug(log_, kLogHideWindow);
  if (window_) window_->Minimize(hostWindow_, true);
  return S_OK;
}

HRESULT HtmlExternal::DragWindowMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {});
  if (FAILED(hr)) return hr;
  qrx::LogDebug(log_, kLogDragWindow);
  if (window_) window_->Drag(hostWindow_);
  return S_OK;
}

HRESULT HtmlExternal::MessageBoxMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BSTR, VT_BSTR});
  if (FAILED(hr)) return hr;
  const std::wstring text = ArgumentText(ScriptArgument(*params, 0));
  const std::wstring caption = ArgumentText(ScriptArgument(*params, 1));
  qrx::LogDebug(log_, kLogMessageBox, text.c_str(), caption.c_str());
  if (window_) window_->ShowMessageBox(hostWindow_, text.c_str(), caption.c_str(), MB_OK);
  return S_OK;
}

HRESULT HtmlExternal::DisableCloseWindowMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BOOL});
  if (FAILED(hr)) return hr;
  const bool disable = ScriptArgument(*params, 0).boolVal == VARIANT_TRUE;
  qrx::LogDebug(log_, kLogDisableWindowClose, disable ? -1 : 0);
  closeDisabled_ = disable;
  return S_OK;
}

HRESULT HtmlExternal::RestoreWindowMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {});
  if (FAILED(hr)) return hr;
  qrx::LogDebug(log_, kLogRestoreWindow);
  if (window_) window_->Restore(hostWindow_);
  return S_OK;
}

HRESULT HtmlExternal::OpenPageMethod(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD, {VT_BSTR});
  if (FAILED(hr)) return hr;
  const std::wstring url = ArgumentText(ScriptArgument(*params, 0));
  // The shell would start any program or document; the pages only ever open web pages.
  if (!HasWebScheme(url)) {
    qrx::LogError(log_, kLogOpenPageRefused, url.c_str());
  } else if (launcher_) {
    launcher_(htmlui::InsertCaretsBeforeAmpersands(url), std::wstring());
  }
  qrx::LogDebug(log_, kLogOpenPage, url.c_str());
  return S_OK;
}

HRESULT HtmlExternal::RetryMessageBoxMethod(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT hr = CheckMethodArguments(flags, *params, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {VT_BSTR});
  if (FAILED(hr)) return hr;
  const std::wstring text = ArgumentText(ScriptArgument(*params, 0));
  qrx::LogDebug(log_, kLogRetryMessageBox, text.c_str());
  if (!result) return S_OK;
  VariantClear(result);
  result->vt = VT_BOOL;
  result->boolVal = VARIANT_FALSE;
  const int choice = window_ ? window_->ShowMessageBox(hostWindow_, text.c_str(), nullptr, MB_RETRYCANCEL) : IDCANCEL;
  result->boolVal = choice == IDRETRY ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

}  // namespace downloadmanagercore
