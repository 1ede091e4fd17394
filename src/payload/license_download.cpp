#include "payload/license_download.h"

#include <urlmon.h>

#include <new>

#include "common/com_ptr.h"
#include "common/http_status.h"
#include "common/unique_any.h"
#include "payload/http_status_callback.h"

namespace qrx {
namespace {

// The watchdog: waits for the download to finish and aborts it when its time runs out first.
struct Watchdog {
  HttpStatusCallback* callback;
  HANDLE finished;
  DWORD start;
  DWORD answerMs;
  DWORD totalMs;
  DWORD abortedAfterMs;  // the limit that ran out; read after the join
};

DWORD WINAPI WatchdogThreadFunc(void* parameter) {
  auto* watchdog = static_cast<Watchdog*>(parameter);
  for (;;) {
    // Looked at again when the answer limit runs out: a server that answered meanwhile gets the rest.
    const bool answered = watchdog->callback->answered();
    const DWORD left =
        LicenseTimeLeftMs(GetTickCount() - watchdog->start, answered, watchdog->answerMs, watchdog->totalMs);
    if (left == 0) {
      watchdog->abortedAfterMs = answered ? watchdog->totalMs : watchdog->answerMs;
      watchdog->callback->Abort();
      return 0;
    }
    if (WaitForSingleObject(watchdog->finished, left) != WAIT_TIMEOUT) return 0;
  }
}

}  // namespace

HRESULT LicenseDownloadResult(HRESULT downloadResult, DWORD httpStatus) {
  if (downloadResult != S_OK) return downloadResult;
  if (IsNotFoundHttpStatus(httpStatus)) return INET_E_RESOURCE_NOT_FOUND;
  // A redirect that the binding did not follow (Wine's urlmon stores a redirect to file: or ftp:
  // as an empty download): no licence came. 304 (not modified) answers from the cache.
  if (httpStatus >= 300 && httpStatus < 400 && httpStatus != 304) return INET_E_REDIRECT_FAILED;
  if (httpStatus >= 400) return INET_E_DOWNLOAD_FAILURE;
  return S_OK;
}

DWORD LicenseTimeLeftMs(DWORD elapsedMs, bool answered, DWORD answerLimitMs, DWORD totalLimitMs) {
  const DWORD limit = answered ? totalLimitMs : answerLimitMs;
  return elapsedMs < limit ? limit - elapsedMs : 0;
}

bool LicenseTimedOut(HRESULT downloadResult, bool abortAsked) { return abortAsked && downloadResult != S_OK; }

HRESULT DownloadLicenseFile(const wchar_t* url, const wchar_t* path, DWORD answerTimeoutMs, DWORD* abortedAfterMs) {
  if (abortedAfterMs) *abortedAfterMs = 0;
  auto callback = ComPtr<HttpStatusCallback>::Attach(new (std::nothrow) HttpStatusCallback());
  if (!callback) return E_OUTOFMEMORY;
  // Without its watchdog the download would have no time limit: then it is not started at all.
  UniqueHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const DWORD totalMs = answerTimeoutMs > kLicenseTotalTimeoutMs ? answerTimeoutMs : kLicenseTotalTimeoutMs;
  Watchdog watchdog{callback.get(), finished.get(), GetTickCount(), answerTimeoutMs, totalMs, 0};
  UniqueHandle thread(finished ? CreateThread(nullptr, 0, WatchdogThreadFunc, &watchdog, 0, nullptr) : nullptr);
  HRESULT hr = E_OUTOFMEMORY;
  if (thread) {
    hr = URLDownloadToFileW(nullptr, url, path, 0, callback.get());
    SetEvent(finished.get());
    // The watchdog only waits and, at worst, asks the binding to abort: it ends promptly.
    WaitForSingleObject(thread.get(), INFINITE);
  }
  callback->DropBinding();
  if (LicenseTimedOut(hr, callback->timedOut())) {
    if (abortedAfterMs) *abortedAfterMs = watchdog.abortedAfterMs;
    return hr;
  }
  return LicenseDownloadResult(hr, callback->status());
}

}  // namespace qrx
