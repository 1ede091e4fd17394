// The per-attempt bind-status callback that turns progress notifications into the counters.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "common/com_object.h"

namespace downloadmanagercore {

class DownloadOwner;

// One per attempt, made by the downloading thread; the binding holds references while it runs.
class DownloadCallback : public qrx::ComObject<DownloadCallback, IBindStatusCallback> {
 public:
  explicit DownloadCallback(DownloadOwner* owner) : owner_(owner) {}

  // True once a data-progress notification arrived in this attempt.
  bool dataReceived() const { return dataReceived_; }

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

 protected:
  ~DownloadCallback() override = default;

 private:
  bool dataReceived_ = false;
  DownloadOwner* owner_;
};

}  // namespace downloadmanagercore
