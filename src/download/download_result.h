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

// The decision alone. `freeSpace` is consulted only for a download failure.
int DownloadResultCode(HRESULT hr, const FreeSpace& freeSpace);

// Total free bytes on the volume of `folder`, as GetDiskFreeSpaceExW reports them.
FreeSpace QueryFreeSpace(const std::wstring& folder);

// Logs the HRESULT and maps it; queries the free space of the owner's download folder only when
// the binding reported a download failure.
int TransferDownloadError(DownloadOwner& owner, HRESULT hr);

}  // namespace downloadmanagercore
