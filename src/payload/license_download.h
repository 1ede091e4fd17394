// The licence download: URLDownloadToFileW with a callback that watches the HTTP status and ends
// a download that takes too long.
#pragma once

#include <windows.h>

namespace qrx {

// How long start-up waits for the licence server before it keeps the local licence.
inline constexpr DWORD kLicenseDownloadTimeoutMs = 2000;

// S_OK only when the file was downloaded and the server did not answer with an HTTP error.
// (Windows already fails a 404 download; Wine's urlmon stores the error page and answers S_OK.)
// A download still running after `timeoutMs` is aborted through its own binding: the result is then
// a failure and `timedOut` (when given) is set.
HRESULT DownloadLicenseFile(const wchar_t* url, const wchar_t* path, DWORD timeoutMs = kLicenseDownloadTimeoutMs,
                            bool* timedOut = nullptr);

// The result for a finished download: an HTTP error status, or a redirect left unfollowed, turns
// S_OK into a failure.
HRESULT LicenseDownloadResult(HRESULT downloadResult, DWORD httpStatus);

}  // namespace qrx
