// The licence download: URLDownloadToFileW with a callback that watches the HTTP status.
#pragma once

#include <windows.h>

namespace qrx {

// S_OK only when the file was downloaded and the server did not answer with an HTTP error.
// (Windows already fails a 404 download; Wine's urlmon stores the error page and answers S_OK.)
HRESULT DownloadLicenseFile(const wchar_t* url, const wchar_t* path);

// The result for a finished download: an HTTP error status turns S_OK into a failure.
HRESULT LicenseDownloadResult(HRESULT downloadResult, DWORD httpStatus);

}  // namespace qrx
