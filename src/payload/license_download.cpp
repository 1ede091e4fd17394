#include "payload/license_download.h"

#include <urlmon.h>

#include "common/com_object.h"

#include "common/com_ptr.h"

namespace qrx {
namespace {

// Records the response status; everything else is left to urlmon's defaults.
class HttpStatusCallback final : public qrx::ComObject<HttpStatusCallback, IBindStatusCallback, IHttpNegotiate> {
 public:
  virtual ~HttpStatusCallback() = default;
  DWORD status() const { return status_; }

  // IBindStatusCallback:
  STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
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
  DWORD status_ = 0;
};

}  // namespace

HRESULT LicenseDownloadResult(HRESULT downloadResult, DWORD httpStatus) {
  if (downloadResult != S_OK) return downloadResult;
  if (httpStatus == 404) return INET_E_RESOURCE_NOT_FOUND;
  if (httpStatus >= 400) return INET_E_DOWNLOAD_FAILURE;
  return S_OK;
}

HRESULT DownloadLicenseFile(const wchar_t* url, const wchar_t* path) {
  HttpStatusCallback* callback = new HttpStatusCallback();
  const HRESULT hr = URLDownloadToFileW(nullptr, url, path, 0, callback);
  const DWORD status = callback->status();
  callback->Release();
  return LicenseDownloadResult(hr, status);
}

}  // namespace qrx
