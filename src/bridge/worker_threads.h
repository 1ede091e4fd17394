// The download and install workers: each `download` / `install` call runs its long job on a
// thread of the run's worker pool and calls the page back with one integer through the
// marshalled callback.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "log/logger.h"

namespace downloadmanagercore {

class WorkerHost;
class WorkerPool;

// Log lines of the workers.
extern const wchar_t kLogDownloadMarshalFailed[];
extern const wchar_t kLogInstallMarshalFailed[];
extern const wchar_t kLogDownloadThreadFailed[];
extern const wchar_t kLogInstallThreadFailed[];
extern const wchar_t kLogDownloadThread[];
extern const wchar_t kLogDownloadUnmarshalFailed[];
extern const wchar_t kLogDownloadFailed[];
extern const wchar_t kLogDownloadStopped[];
extern const wchar_t kLogInstallThread[];
extern const wchar_t kLogInstallUnmarshalFailed[];
extern const wchar_t kLogInstallStopped[];
extern const wchar_t kLogStartProgramFailed[];
extern const char kLogCallJsCallback[];
extern const wchar_t kLogCallJsCallbackReturn[];

// Starts a worker in `pool`; S_OK, the marshalling HRESULT, or the thread creation's
// HResultFromLastError. On failure nothing runs and the callback is never called. The task holds a
// reference on `host` until its thread ends (or, when it never starts, until the call returns).
HRESULT StartDownloadWorker(WorkerPool& pool, WorkerHost* host, const std::wstring& url, IDispatch* callback);
HRESULT StartInstallWorker(WorkerPool& pool, WorkerHost* host, const std::wstring& packagePath,
                           const std::wstring& parameters, IDispatch* callback);

// Calls the page's function with one VT_I4 argument; returns what Invoke returned.
HRESULT callJscallback(IDispatch* callback, int value, qrx::Logger* logger);

}  // namespace downloadmanagercore
