#include "bridge/worker_threads.h"

#include <objbase.h>

#include <algorithm>
#include <vector>

#include "bridge/html_external.h"
#include "common/com_ptr.h"

namespace downloadmanagercore {

const wchar_t kLogDownloadMarshalFailed[] = L"ZSDownload: CoMarshalInterThreadInterfaceInStream failed with %x";
const wchar_t kLogInstallMarshalFailed[] = L"ZSInstall: CoMarshalInterThreadInterfaceInStream failed with %x";
const wchar_t kLogDownloadThread[] = L"DownloadThreadFunc";
const wchar_t kLogDownloadUnmarshalFailed[] = L"DownloadThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x";
const wchar_t kLogDownloadFailed[] = L"Download fail, download path : %s, download result : %d";
const wchar_t kLogInstallThread[] = L"InstallThreadFunc";
const wchar_t kLogInstallUnmarshalFailed[] = L"InstallThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x";
const wchar_t kLogStartProgramFailed[] = L"GetInstalledStartProgram failed";
const char kLogCallJsCallback[] = "call js callback.";
const wchar_t kLogCallJsCallbackReturn[] = L"callJscallback return %x.";

namespace {

struct DownloadTask {
  HtmlExternal* owner;
  std::wstring url;
  IStream* stream;
};

struct InstallTask {
  HtmlExternal* owner;
  std::wstring packagePath;
  std::wstring parameters;
  IStream* stream;
};

// The workers that have not ended, so that shut-down can stop them or know they still run.
class WorkerList {
 public:
  WorkerList() { InitializeCriticalSection(&lock_); }
  // Counted before the thread exists, so a worker that ends at once is never missed.
  void Add() {
    EnterCriticalSection(&lock_);
    ++running_;
    LeaveCriticalSection(&lock_);
  }
  void SetThreadId(DWORD threadId) {
    EnterCriticalSection(&lock_);
    if (threadId) threadIds_.push_back(threadId);
    LeaveCriticalSection(&lock_);
  }
  void Remove(DWORD threadId) {
    EnterCriticalSection(&lock_);
    --running_;
    threadIds_.erase(std::remove(threadIds_.begin(), threadIds_.end(), threadId), threadIds_.end());
    LeaveCriticalSection(&lock_);
  }
  int running() {
    EnterCriticalSection(&lock_);
    const int running = running_;
    LeaveCriticalSection(&lock_);
    return running;
  }
  std::vector<DWORD> threadIds() {
    EnterCriticalSection(&lock_);
    std::vector<DWORD> ids = threadIds_;
    LeaveCriticalSection(&lock_);
    return ids;
  }

 private:
  CRITICAL_SECTION lock_;
  int running_ = 0;
  std::vector<DWORD> threadIds_;
};

WorkerList& Workers() {
  static WorkerList* list = new WorkerList();  // never destroyed: workers may outlive statics
  return *list;
}

// Starts `proc` on a new thread for `task`; the task belongs to the thread from then on.
template <typename Task>
void StartThread(LPTHREAD_START_ROUTINE proc, Task* task) {
  task->owner->AddRef();  // the worker's own reference for the task's life
  Workers().Add();
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, proc, task, 0, &threadId);
  if (!thread) {
    Workers().Remove(0);
    task->stream->Release();
    task->owner->Release();
    delete task;
    return;
  }
  Workers().SetThreadId(threadId);
  CloseHandle(thread);
}

// Ends a worker: frees the task, drops its reference on the bridge, leaves the apartment.
template <typename Task>
void FinishWorker(Task* task) {
  HtmlExternal* owner = task->owner;
  delete task;
  owner->Release();
  CoUninitialize();
  Workers().Remove(GetCurrentThreadId());
}

// Calls back unless the page has gone away (the window closed meanwhile).
void CallBackIfOpen(HtmlExternal* owner, IDispatch* callback, int code) {
  if (owner->closing()) return;
  callJscallback(callback, code, owner->logger());
}

// Waits while dispatching this thread's messages: a worker ending may still call into this
// thread's apartment (releasing the page's callback), which needs the messages pumped. A quit
// message seen meanwhile is posted again for the caller's loop.
void PumpMessagesFor(DWORD ms) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  MSG message;
  bool quit = false;
  WPARAM quitCode = 0;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      quitCode = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace

HRESULT StartDownloadWorker(HtmlExternal* owner, const std::wstring& url, IDispatch* callback) {
  auto* task = new DownloadTask{owner, url, nullptr};
  const HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, callback, &task->stream);
  if (FAILED(hr)) {
    qrx::LogError(owner->logger(), kLogDownloadMarshalFailed, static_cast<unsigned>(hr));
    delete task;
    return hr;
  }
  StartThread(DownloadThreadFunc, task);
  return S_OK;
}

HRESULT StartInstallWorker(HtmlExternal* owner, const std::wstring& packagePath, const std::wstring& parameters,
                           IDispatch* callback) {
  auto* task = new InstallTask{owner, packagePath, parameters, nullptr};
  const HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, callback, &task->stream);
  if (FAILED(hr)) {
    qrx::LogDebug(owner->logger(), kLogInstallMarshalFailed, static_cast<unsigned>(hr));
    delete task;
    return hr;
  }
  StartThread(InstallThreadFunc, task);
  return S_OK;
}

DWORD WINAPI DownloadThreadFunc(LPVOID parameter) {
  auto* task = static_cast<DownloadTask*>(parameter);
  HtmlExternal* owner = task->owner;
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  qrx::LogDebug(owner->logger(), kLogDownloadThread);
  qrx::ComPtr<IDispatch> callback;
  const HRESULT hr = CoGetInterfaceAndReleaseStream(task->stream, IID_IDispatch, callback.put_void());
  task->stream = nullptr;
  if (FAILED(hr)) {
    qrx::LogError(owner->logger(), kLogDownloadUnmarshalFailed, static_cast<unsigned>(hr));
  } else {
    const int code = owner->DownloadFile(task->url);
    if (code != 0) {
      owner->SetErrorFields(1, code);
      qrx::LogError(owner->logger(), kLogDownloadFailed, owner->downloadPath().c_str(), code);
    }
    CallBackIfOpen(owner, callback.get(), code);
    callback.Reset();
  }
  FinishWorker(task);
  return 0;
}

DWORD WINAPI InstallThreadFunc(LPVOID parameter) {
  auto* task = static_cast<InstallTask*>(parameter);
  HtmlExternal* owner = task->owner;
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  qrx::LogDebug(owner->logger(), kLogInstallThread);
  qrx::ComPtr<IDispatch> callback;
  const HRESULT hr = CoGetInterfaceAndReleaseStream(task->stream, IID_IDispatch, callback.put_void());
  task->stream = nullptr;
  if (FAILED(hr)) {
    qrx::LogError(owner->logger(), kLogInstallUnmarshalFailed, static_cast<unsigned>(hr));
  } else {
    const int code = owner->InstallPackage(task->packagePath, task->parameters);
    if (code == 0) {
      if (!owner->GetInstalledStartProgram(owner->startProgram())) {
        qrx::LogError(owner->logger(), kLogStartProgramFailed);
        owner->SetErrorFields(3, 0);
      }
    } else if (code != 2) {
      owner->SetErrorFields(2, code);
    }
    CallBackIfOpen(owner, callback.get(), code);
    callback.Reset();
  }
  FinishWorker(task);
  return 0;
}

HRESULT callJscallback(IDispatch* callback, int value, qrx::Logger* logger) {
  qrx::LogDebugA(logger, kLogCallJsCallback);
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = value;
  DISPPARAMS params = {&argument, nullptr, 1, 0};
  const HRESULT hr = callback->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  qrx::LogDebug(logger, kLogCallJsCallbackReturn, static_cast<unsigned>(hr));
  return hr;
}

int RunningWorkers() { return Workers().running(); }

bool StopWorkers(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (Workers().running() == 0) return true;
    // A download worker ends its transfer when its message loop sees WM_QUIT; a thread that has
    // no message queue yet gets the message on the next round.
    for (DWORD threadId : Workers().threadIds()) PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    if (GetTickCount() - start >= timeoutMs) return false;
    PumpMessagesFor(20);
  }
}

}  // namespace downloadmanagercore
