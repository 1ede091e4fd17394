// Download result codes and the mapping of an attempt's HRESULT to one.
#pragma once

#include <windows.h>

#include <string>

namespace downloadmanagercore {

class DownloadOwner;

enum DownloadResult {
  kDownloadOk = 0,
  kDownloadError = 1,
  kDownloadNotFound = 2,
  kDownloadDiskFull = 3,
  kDownloadTransient = 4,
};

// Written once per mapped attempt.
extern const wchar_t kTransferDownloadErrorFormat[];

// What the free-space query of the download folder's volume answered.
struct FreeSpace {
  bool known = false;  // the query succeeded
  ULONGLONG totalFreeBytes = 0;
};

// The HRESULT of an HTTP status in HTTP's own facility: 0x80190000 plus the status (503 gives
// 0x801901f7, the SDK's HTTP_E_STATUS_SERVICE_UNAVAIL).
HRESULT HttpStatusHResult(unsigned long status);
// Statuses worth another attempt: 408, 429, 500, 502, 503, 504.
bool IsTransientHttpStatus(unsigned long status);
// What an attempt ends with when we abort it for receiving nothing for too long.
extern const HRESULT kStalledHResult;
// What an attempt ends with when the answer to a range request cannot be appended.
extern const HRESULT kRangeRefusedHResult;

// The decision alone. `freeSpace` is consulted only for a download failure.
int DownloadResultCode(HRESULT hr, const FreeSpace& freeSpace);

// Total free bytes on the volume of `folder`, as GetDiskFreeSpaceExW reports them.
FreeSpace QueryFreeSpace(const std::wstring& folder);

// Logs the HRESULT and maps it; queries the free space of the owner's download folder only when
// the binding reported a download failure.
int TransferDownloadError(DownloadOwner& owner, HRESULT hr);

}  // namespace downloadmanagercore
