// The per-attempt bind-status callback that turns progress notifications into the counters.
#pragma once

#include <windows.h>
#include <urlmon.h>

namespace downloadmanagercore {

class DownloadOwner;

// Lives on the downloading thread's stack for one attempt; not reference-counted.
class DownloadCallback : public IBindStatusCallback {
 public:
  explicit DownloadCallback(DownloadOwner* owner) : owner_(owner) {}
  virtual ~DownloadCallback() = default;
  DownloadCallback(const DownloadCallback&) = delete;
  DownloadCallback& operator=(const DownloadCallback&) = delete;

  // True once a data-progress notification arrived in this attempt.
  bool dataReceived() const { return dataReceived_; }

  // IUnknown:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IBindStatusCallback:
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hr, LPCWSTR error) override;
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* bindf, BINDINFO* bindInfo) override;
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD bscf, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

 private:
  bool dataReceived_ = false;
  DownloadOwner* owner_;
};

}  // namespace downloadmanagercore
