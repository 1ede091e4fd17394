// The licence download: URLDownloadToFileW with a callback that watches the HTTP status and ends
// a download that takes too long.
#pragma once

#include <windows.h>

namespace qrx {

// A licence server that has not begun to answer within this is given up, and the local licence kept.
inline constexpr DWORD kLicenseDownloadTimeoutMs = 2000;
// A licence whose answer has begun may finish within this, counted from the start.
inline constexpr DWORD kLicenseTotalTimeoutMs = 10000;

// S_OK only when the file was downloaded and the server did not answer with an HTTP error.
// (Windows already fails a 404 download; Wine's urlmon stores the error page and answers S_OK.)
// A server that has not answered within `answerTimeoutMs`, or a download still running after the
// larger of that and kLicenseTotalTimeoutMs, is aborted through its own binding: the result is then
// a failure and `abortedAfterMs` (when given) is the limit that ended it, else 0.
HRESULT DownloadLicenseFile(const wchar_t* url, const wchar_t* path, DWORD answerTimeoutMs = kLicenseDownloadTimeoutMs,
                            DWORD* abortedAfterMs = nullptr);

// The result for a finished download: an HTTP error status, or a redirect left unfollowed, turns
// S_OK into a failure; 404 and 410 into INET_E_RESOURCE_NOT_FOUND.
HRESULT LicenseDownloadResult(HRESULT downloadResult, DWORD httpStatus);

// How much longer a licence download may run after `elapsedMs`; 0: abort it now. Before the server
// has begun to answer the answer limit counts, afterwards the total limit.
DWORD LicenseTimeLeftMs(DWORD elapsedMs, bool answered, DWORD answerLimitMs, DWORD totalLimitMs);

// Whether a download ended by its time limit: asked to abort and not completed. One that completed
// as the limit ran out keeps its licence.
bool LicenseTimedOut(HRESULT downloadResult, bool abortAsked);

}  // namespace qrx
