// The licence download's callback: records the HTTP status and whether the server has answered, and
// holds the binding so that a watchdog can abort it; every callback answers E_ABORT once the time is up. Everything else is
// left to urlmon's defaults.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <atomic>

#include "common/com_object.h"
#include "common/com_ptr.h"
#include "common/critical_section.h"

namespace qrx {

class HttpStatusCallback final : public ComObject<HttpStatusCallback, IBindStatusCallback, IHttpNegotiate> {
 public:
  HttpStatusCallback() = default;

  // The last response status; 0 before any response.
  DWORD status() const { return status_; }
  bool timedOut() const { return timedOut_; }
  // Whether the server has begun to answer: a response, or data.
  bool answered() const { return answered_; }

  // The binding holds this callback: its reference goes once the download is over, whether or not
  // OnStopBinding came, so that neither keeps the other alive.
  void DropBinding();
  // Called by the watchdog thread when the time is up: a stalled transfer produces no callback
  // that could answer E_ABORT, so the binding itself is told to stop.
  void Abort();

  // IBindStatusCallback:
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG statusCode, LPCWSTR) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override {
    DropBinding();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    answered_ = true;
    return timedOut() ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate:
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override;
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override;

 private:
  ~HttpStatusCallback() override = default;

  std::atomic<DWORD> status_{0};
  std::atomic<bool> timedOut_{false};
  std::atomic<bool> answered_{false};
  CriticalSection lock_;
  ComPtr<IBinding> binding_;  // from OnStartBinding to OnStopBinding, under lock_
};

}  // namespace qrx
