// The download and install workers: each `download` / `install` call runs its long job on a
// thread of its own and calls the page back with one integer through the marshalled callback.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "log/logger.h"

namespace downloadmanagercore {

class HtmlExternal;

// Log lines of the workers.
extern const wchar_t kLogDownloadMarshalFailed[];
extern const wchar_t kLogInstallMarshalFailed[];
extern const wchar_t kLogDownloadThread[];
extern const wchar_t kLogDownloadUnmarshalFailed[];
extern const wchar_t kLogDownloadFailed[];
extern const wchar_t kLogInstallThread[];
extern const wchar_t kLogInstallUnmarshalFailed[];
extern const wchar_t kLogStartProgramFailed[];
extern const char kLogCallJsCallback[];
extern const wchar_t kLogCallJsCallbackReturn[];

// Starts a worker; S_OK, or the marshalling HRESULT (then no thread was started).
HRESULT StartDownloadWorker(HtmlExternal* owner, const std::wstring& url, IDispatch* callback);
HRESULT StartInstallWorker(HtmlExternal* owner, const std::wstring& packagePath, const std::wstring& parameters,
                           IDispatch* callback);

DWORD WINAPI DownloadThreadFunc(LPVOID task);
DWORD WINAPI InstallThreadFunc(LPVOID task);

// Calls the page's function with one VT_I4 argument; returns what Invoke returned.
HRESULT callJscallback(IDispatch* callback, int value, qrx::Logger* logger);

// Workers that have not ended yet.
int RunningWorkers();
// Asks running download workers to stop (their message loop ends the transfer) and waits up to
// `timeoutMs` for every worker to end; true when none runs any more.
bool StopWorkers(DWORD timeoutMs);

}  // namespace downloadmanagercore
