#include "download/download_result.h"

#include <urlmon.h>

#include "common/http_status.h"
#include "download/download_owner.h"
#include "log/logger.h"

namespace downloadmanagercore {

const wchar_t kTransferDownloadErrorFormat[] = L"TransferDownloadError HRESULT: %x";

const HRESULT kStalledHResult = INET_E_CONNECTION_TIMEOUT;
const HRESULT kRangeRefusedHResult = static_cast<HRESULT>(0x801901A0);

namespace {
// A failed write or file creation on a full volume.
const HRESULT kDiskFullHResult = static_cast<HRESULT>(0x80070070);
// WinINet's connection aborted, connection reset and time-out errors as HRESULTs: what the SDK
// documents for a dropped connection on Windows (Wine's urlmon gives none of them).
const HRESULT kConnectionAbortedHResult = static_cast<HRESULT>(0x80072EFE);
const HRESULT kConnectionResetHResult = static_cast<HRESULT>(0x80072EFF);
const HRESULT kInternetTimeoutHResult = static_cast<HRESULT>(0x80072EE2);
const HRESULT kHttpFacilityBase = static_cast<HRESULT>(0x80190000);
}  // namespace

HRESULT HttpStatusHResult(unsigned long status) {
  return static_cast<HRESULT>(static_cast<unsigned long>(kHttpFacilityBase) | (status & 0xFFFF));
}

bool IsTransientHttpStatus(unsigned long status) {
  switch (status) {
    case 408:
    case 429:
    case 500:
    case 502:
    case 503:
    case 504:
      return true;
    default:
      return false;
  }
}

int DownloadResultCode(HRESULT hr, const FreeSpace& freeSpace) {
  if ((static_cast<unsigned long>(hr) & 0xFFFF0000UL) == static_cast<unsigned long>(kHttpFacilityBase)) {
    const unsigned long status = static_cast<unsigned long>(hr) & 0xFFFF;
    if (qrx::IsNotFoundHttpStatus(status)) return kDownloadNotFound;
    // 416 is ours: an answer to a range request that we did not append, so the next attempt
    // starts from byte 0.
    return IsTransientHttpStatus(status) || status == 416 ? kDownloadTransient : kDownloadError;
  }
  switch (hr) {
    case S_OK:
      return kDownloadOk;
    case INET_E_RESOURCE_NOT_FOUND:
    case INET_E_OBJECT_NOT_FOUND:
      return kDownloadNotFound;
    case INET_E_DOWNLOAD_FAILURE:
      return (freeSpace.known && freeSpace.totalFreeBytes == 0) ? kDownloadDiskFull : kDownloadTransient;
    case S_FALSE:  // a clean close with fewer bytes than announced
    case INET_E_CONNECTION_TIMEOUT:
    case kConnectionAbortedHResult:
    case kConnectionResetHResult:
    case kInternetTimeoutHResult:
      return kDownloadTransient;
    case kDiskFullHResult:
      return kDownloadDiskFull;
    // Refused by the transport policy or by the certificate check: never retried, whatever
    // the transient rules above would say of the same attempt.
    case INET_E_INVALID_CERTIFICATE:
    case INET_E_SECURITY_PROBLEM:
    case INET_E_REDIRECT_FAILED:
    case INET_E_AUTHENTICATION_REQUIRED:
      return kDownloadError;
    default:
      // Also E_PENDING (the wait ended on WM_QUIT) and E_ABORT (the download was stopped).
      return kDownloadError;
  }
}

FreeSpace QueryFreeSpace(const std::wstring& folder) {
  FreeSpace result;
  ULARGE_INTEGER totalFree = {};
  if (GetDiskFreeSpaceExW(folder.c_str(), nullptr, nullptr, &totalFree)) {
    result.known = true;
    result.totalFreeBytes = totalFree.QuadPart;
  }
  return result;
}

int TransferDownloadError(DownloadOwner& owner, HRESULT hr) {
  qrx::LogDebug(owner.GetLogger(), kTransferDownloadErrorFormat, static_cast<unsigned>(hr));
  FreeSpace freeSpace;
  if (hr == INET_E_DOWNLOAD_FAILURE) freeSpace = QueryFreeSpace(owner.GetDownloadFolder());
  return DownloadResultCode(hr, freeSpace);
}

}  // namespace downloadmanagercore
