#include "payload/http_status_callback.h"

#include <utility>

namespace qrx {

void HttpStatusCallback::DropBinding() {
  ComPtr<IBinding> old;
  {
    auto hold = lock_.Lock();
    old = std::move(binding_);
  }
  // Released outside the lock: the binding may call back into this object as it goes.
}

void HttpStatusCallback::Abort() {
  timedOut_ = true;
  ComPtr<IBinding> binding;
  {
    auto hold = lock_.Lock();
    binding = binding_;
  }
  if (binding) binding->Abort();
}

HRESULT STDMETHODCALLTYPE HttpStatusCallback::OnStartBinding(DWORD, IBinding* binding) {
  ComPtr<IBinding> held(binding);
  {
    auto hold = lock_.Lock();
    std::swap(held, binding_);
  }
  return timedOut() ? E_ABORT : S_OK;
}

HRESULT STDMETHODCALLTYPE HttpStatusCallback::OnProgress(ULONG, ULONG, ULONG statusCode, LPCWSTR) {
  if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
      statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
    answered_ = true;
  }
  return timedOut() ? E_ABORT : S_OK;
}

HRESULT STDMETHODCALLTYPE HttpStatusCallback::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                                   LPWSTR* additionalHeaders) {
  if (additionalHeaders) *additionalHeaders = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE HttpStatusCallback::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR,
                                                         LPWSTR* additionalHeaders) {
  status_ = responseCode;
  answered_ = true;
  if (additionalHeaders) *additionalHeaders = nullptr;
  return S_OK;
}

}  // namespace qrx
