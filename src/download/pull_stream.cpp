#include "download/pull_stream.h"

#include <wininet.h>

#include "common/com_ptr.h"
#include "common/com_object.h"
#include "common/http_status.h"
#include "download/download_result.h"

namespace downloadmanagercore {

namespace {

// Forwards every notification to the client's callback and adds the three pull flags to the
// bind information, as URLOpenPullStreamW does. An HTTP error status that this binding reports
// as a successful transfer of the error page is reported as the failure it is, and the page's
// data is not passed on. The request's extra headers and the answer's headers go to the client's
// IHttpNegotiate, when it has one.
class PullBindAdapter final : public qrx::ComObject<PullBindAdapter, IBindStatusCallback, IHttpNegotiate> {
 public:
  explicit PullBindAdapter(IBindStatusCallback* inner) : inner_(inner) { inner_.As(&negotiate_); }

  // IHttpNegotiate:
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                                 LPWSTR* additional) override {
    if (negotiate_) return negotiate_->BeginningTransaction(url, headers, reserved, additional);
    if (additional) *additional = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR responseHeaders, LPCWSTR requestHeaders,
                                       LPWSTR* additional) override {
    if (negotiate_) return negotiate_->OnResponse(status, responseHeaders, requestHeaders, additional);
    if (additional) *additional = nullptr;
    return S_OK;
  }

  // The client's services (its answer to certificate problems) stay reachable through the adapter.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out && IsEqualIID(riid, IID_IServiceProvider)) return inner_->QueryInterface(riid, out);
    return ComObject::QueryInterface(riid, out);
  }

  // IBindStatusCallback:
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override {
    binding_ = qrx::ComPtr<IBinding>(binding);
    return inner_->OnStartBinding(reserved, binding);
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override { return inner_->GetPriority(priority); }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override { return inner_->OnLowResource(reserved); }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override {
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA) CheckHttpStatus();
    if (failure_ != S_OK) return S_OK;
    return inner_->OnProgress(progress, progressMax, statusCode, statusText);
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hr, LPCWSTR error) override {
    if (failure_ != S_OK) hr = failure_;
    binding_.Reset();
    return inner_->OnStopBinding(hr, error);
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* bindf, BINDINFO* bindInfo) override {
    if (!bindf) return E_INVALIDARG;
    inner_->GetBindInfo(bindf, bindInfo);
    *bindf |= BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD bscf, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override {
    CheckHttpStatus();
    if (failure_ != S_OK) return S_OK;
    return inner_->OnDataAvailable(bscf, size, format, medium);
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override {
    return inner_->OnObjectAvailable(riid, object);
  }

 private:
  ~PullBindAdapter() override = default;

  // Once the response headers are in: an HTTP status of 400 or more ends the binding.
  void CheckHttpStatus() {
    if (statusChecked_ || !binding_) return;
    qrx::ComPtr<IWinInetHttpInfo> info;
    if (FAILED(binding_.As(&info))) return;
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (FAILED(info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr, nullptr))) {
      return;
    }
    statusChecked_ = true;
    failure_ = HttpStatusFailure(status);
    if (failure_ != S_OK) binding_->Abort();
  }

  bool statusChecked_ = false;
  HRESULT failure_ = S_OK;
  qrx::ComPtr<IBinding> binding_;
  qrx::ComPtr<IBindStatusCallback> inner_;
  qrx::ComPtr<IHttpNegotiate> negotiate_;
};

}  // namespace

HRESULT HttpStatusFailure(unsigned long status) {
  if (qrx::IsNotFoundHttpStatus(status)) return INET_E_RESOURCE_NOT_FOUND;
  if (IsTransientHttpStatus(status)) return HttpStatusHResult(status);
  if (status >= 400) return INET_E_DATA_NOT_AVAILABLE;
  return S_OK;
}

HRESULT BindPullStream(LPCWSTR url, IBindStatusCallback* callback) {
  if (!url || !callback) return E_INVALIDARG;
  qrx::ComPtr<IMoniker> moniker;
  HRESULT hr = CreateURLMonikerEx(nullptr, url, moniker.put(), URL_MK_UNIFORM);
  if (FAILED(hr)) return hr;
  auto adapter = qrx::ComPtr<IBindStatusCallback>::Attach(new PullBindAdapter(callback));
  qrx::ComPtr<IBindCtx> bindContext;
  hr = CreateAsyncBindCtx(0, adapter.get(), nullptr, bindContext.put());
  if (FAILED(hr)) return hr;
  qrx::ComPtr<IStream> stream;
  // Asynchronous: the stream arrives through OnDataAvailable, not here.
  hr = moniker->BindToStorage(bindContext.get(), nullptr, IID_IStream, stream.put_void());
  return FAILED(hr) ? hr : S_OK;
}

HRESULT OpenPullStream(LPCWSTR url, IBindStatusCallback* callback) {
  const HRESULT hr = URLOpenPullStreamW(nullptr, url, 0, callback);
  if (hr != E_NOTIMPL) return hr;
  return BindPullStream(url, callback);
}

}  // namespace downloadmanagercore
