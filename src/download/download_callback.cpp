#include "download/download_callback.h"

#include "download/download_owner.h"

namespace downloadmanagercore {

HRESULT DownloadCallback::OnStartBinding(DWORD, IBinding*) { return S_OK; }
HRESULT DownloadCallback::GetPriority(LONG*) { return S_OK; }
HRESULT DownloadCallback::OnLowResource(DWORD) { return S_OK; }

HRESULT DownloadCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR) {
  switch (statusCode) {
    case BINDSTATUS_BEGINDOWNLOADDATA:
      owner_->SetDownloadTotal(progressMax);
      break;
    case BINDSTATUS_DOWNLOADINGDATA:
    case BINDSTATUS_ENDDOWNLOADDATA:
      dataReceived_ = true;
      owner_->SetDownloadCurrent(progress);
      break;
    default:
      break;
  }
  return S_OK;
}

HRESULT DownloadCallback::OnStopBinding(HRESULT, LPCWSTR) { return S_OK; }
// Leaves the flags alone: the pull stream's defaults apply.
HRESULT DownloadCallback::GetBindInfo(DWORD*, BINDINFO*) { return S_OK; }
HRESULT DownloadCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return S_OK; }
HRESULT DownloadCallback::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

}  // namespace downloadmanagercore
