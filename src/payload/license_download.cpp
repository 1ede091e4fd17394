#include "payload/license_download.h"

#include <urlmon.h>

#include <new>

#include "common/unique_any.h"

namespace qrx {
namespace {

// Records the response status and holds the binding so that a watchdog can abort it; every
// callback answers E_ABORT once the time is up. Everything else is left to urlmon's defaults.
class HttpStatusCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  HttpStatusCallback() { InitializeCriticalSection(&lock_); }
  virtual ~HttpStatusCallback() { DeleteCriticalSection(&lock_); }
  DWORD status() const { return status_; }
  bool timedOut() const { return InterlockedCompareExchange(&timedOut_, 0, 0) != 0; }

  // The binding holds this callback: its reference goes once the download is over, whether or not
  // OnStopBinding came, so that neither keeps the other alive.
  void DropBinding() {
    EnterCriticalSection(&lock_);
    IBinding* old = binding_;
    binding_ = nullptr;
    LeaveCriticalSection(&lock_);
    if (old) old->Release();
  }

  // Called by the watchdog thread when the time is up: a stalled transfer produces no callback
  // that could answer E_ABORT, so the binding itself is told to stop.
  void Abort() {
    InterlockedExchange(&timedOut_, 1);
    EnterCriticalSection(&lock_);
    IBinding* binding = binding_;
    if (binding) binding->AddRef();
    LeaveCriticalSection(&lock_);
    if (binding) {
      binding->Abort();
      binding->Release();
    }
  }

  // IUnknown:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IBindStatusCallback) {
      *object = static_cast<IBindStatusCallback*>(this);
    } else if (riid == IID_IHttpNegotiate) {
      *object = static_cast<IHttpNegotiate*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

  // IBindStatusCallback:
  STDMETHODIMP OnStartBinding(DWORD, IBinding* binding) override {
    if (binding) binding->AddRef();
    EnterCriticalSection(&lock_);
    IBinding* old = binding_;
    binding_ = binding;
    LeaveCriticalSection(&lock_);
    if (old) old->Release();
    return timedOut() ? E_ABORT : S_OK;
  }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return timedOut() ? E_ABORT : S_OK; }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override {
    DropBinding();
    return S_OK;
  }
  STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    return timedOut() ? E_ABORT : S_OK;
  }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate:
  STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override {
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
  }
  STDMETHODIMP OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override {
    status_ = responseCode;
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
  }

 private:
  LONG refs_ = 1;
  DWORD status_ = 0;
  mutable volatile LONG timedOut_ = 0;
  CRITICAL_SECTION lock_;
  IBinding* binding_ = nullptr;  // from OnStartBinding to OnStopBinding, with a reference
};

// The watchdog: waits for the download to finish and aborts it when the time runs out first.
struct Watchdog {
  HttpStatusCallback* callback;
  HANDLE finished;
  DWORD timeoutMs;
};

DWORD WINAPI WatchdogThreadFunc(void* parameter) {
  auto* watchdog = static_cast<Watchdog*>(parameter);
  if (WaitForSingleObject(watchdog->finished, watchdog->timeoutMs) == WAIT_TIMEOUT) watchdog->callback->Abort();
  return 0;
}

}  // namespace

HRESULT LicenseDownloadResult(HRESULT downloadResult, DWORD httpStatus) {
  if (downloadResult != S_OK) return downloadResult;
  if (httpStatus == 404) return INET_E_RESOURCE_NOT_FOUND;
  if (httpStatus >= 400) return INET_E_DOWNLOAD_FAILURE;
  return S_OK;
}

HRESULT DownloadLicenseFile(const wchar_t* url, const wchar_t* path, DWORD timeoutMs, bool* timedOut) {
  if (timedOut) *timedOut = false;
  HttpStatusCallback* callback = new (std::nothrow) HttpStatusCallback();
  if (!callback) return E_OUTOFMEMORY;
  // Without its watchdog the download would have no time limit: then it is not started at all.
  UniqueHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Watchdog watchdog{callback, finished.get(), timeoutMs};
  UniqueHandle thread(finished ? CreateThread(nullptr, 0, WatchdogThreadFunc, &watchdog, 0, nullptr) : nullptr);
  HRESULT hr = E_OUTOFMEMORY;
  if (thread) {
    hr = URLDownloadToFileW(nullptr, url, path, 0, callback);
    SetEvent(finished.get());
    // The watchdog only waits and, at worst, asks the binding to abort: it ends promptly.
    WaitForSingleObject(thread.get(), INFINITE);
  }
  callback->DropBinding();
  const DWORD status = callback->status();
  const bool late = callback->timedOut();
  callback->Release();
  if (late) {
    if (timedOut) *timedOut = true;
    return hr == S_OK ? E_ABORT : hr;
  }
  return LicenseDownloadResult(hr, status);
}

}  // namespace qrx
