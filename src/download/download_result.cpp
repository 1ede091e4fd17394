#include "download/download_result.h"

#include <urlmon.h>

#include "download/download_owner.h"
#include "log/logger.h"

namespace downloadmanagercore {

const wchar_t kTransferDownloadErrorFormat[] = L"TransferDownloadError HRESULT: %x";

namespace {
// A failed write or file creation on a full volume.
const HRESULT kDiskFullHResult = static_cast<HRESULT>(0x80070070);
}  // namespace

int DownloadResultCode(HRESULT hr, const FreeSpace& freeSpace) {
  switch (hr) {
    case S_OK:
      return kDownloadOk;
    case INET_E_RESOURCE_NOT_FOUND:
    case INET_E_OBJECT_NOT_FOUND:
      return kDownloadNotFound;
    case INET_E_DOWNLOAD_FAILURE:
      return (freeSpace.known && freeSpace.totalFreeBytes == 0) ? kDownloadDiskFull : kDownloadTransient;
    case INET_E_CONNECTION_TIMEOUT:
      return kDownloadTransient;
    case kDiskFullHResult:
      return kDownloadDiskFull;
    default:
      // Also S_FALSE (fewer bytes than announced) and E_PENDING (the wait ended on WM_QUIT).
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
