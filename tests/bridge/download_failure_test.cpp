// The "downloadFailure" cause of a failed download, from its result code and the facts of its last
// attempt.
#include <gtest/gtest.h>
#include <urlmon.h>
#include <windows.h>

#include <string>

#include "bridge/download_failure.h"
#include "download/download_result.h"

namespace {

using namespace downloadmanagercore;

TEST(DownloadFailure, CauseFromTheOutcomeFacts) {
  struct Case {
    int code;
    HRESULT hr;
    unsigned long status;
    bool hashFailed;
    const wchar_t* cause;
  };
  const HRESULT kDiskFull = static_cast<HRESULT>(0x80070070);
  const HRESULT kRefusedName = static_cast<HRESULT>(0x8007007B);
  const Case cases[] = {
      // Success has no cause.
      {kDownloadOk, S_OK, 200, false, L""},
      {kDownloadOk, S_OK, 0, false, L""},
      // The specific result codes decide alone.
      {kDownloadNotFound, INET_E_RESOURCE_NOT_FOUND, 404, false, L"notfound"},
      {kDownloadNotFound, INET_E_RESOURCE_NOT_FOUND, 0, false, L"notfound"},  // unresolvable host name
      {kDownloadNotFound, INET_E_OBJECT_NOT_FOUND, 410, false, L"notfound"},
      {kDownloadDiskFull, kDiskFull, 200, false, L"diskfull"},
      {kDownloadDiskFull, INET_E_DOWNLOAD_FAILURE, 0, false, L"diskfull"},
      // Transient failures that spent the retries: the network, unless a server status says more.
      {kDownloadTransient, INET_E_DOWNLOAD_FAILURE, 0, false, L"network"},
      {kDownloadTransient, INET_E_CONNECTION_TIMEOUT, 0, false, L"network"},
      {kDownloadTransient, E_ABORT, 200, false, L"network"},  // stalled, ended by the watchdog
      {kDownloadTransient, S_FALSE, 200, false, L"network"},  // a short body
      {kDownloadTransient, INET_E_DATA_NOT_AVAILABLE, 408, false, L"network"},
      {kDownloadTransient, INET_E_DATA_NOT_AVAILABLE, 503, false, L"server"},
      {kDownloadTransient, INET_E_DATA_NOT_AVAILABLE, 500, false, L"server"},
      {kDownloadTransient, INET_E_DATA_NOT_AVAILABLE, 429, false, L"server"},
      // The engine's HTTP-facility HRESULTs carry the status when nothing else does.
      {kDownloadTransient, HttpStatusHResult(503), 0, false, L"server"},
      {kDownloadTransient, HttpStatusHResult(429), 503, false, L"server"},
      {kDownloadTransient, HttpStatusHResult(408), 0, false, L"network"},
      {kDownloadTransient, kRangeRefusedHResult, 0, false, L"network"},  // 416 to our range request
      {kDownloadTransient, kStalledHResult, 200, false, L"network"},
      {kDownloadTransient, static_cast<HRESULT>(0x80072EFF), 0, false, L"network"},  // connection reset
      {kDownloadError, HttpStatusHResult(407), 0, false, L"proxy"},
      // Refused by the server at once.
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 403, false, L"server"},
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 0, false, L"server"},  // an HTTP error without its number
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 401, false, L"other"},
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 400, false, L"other"},
      // 404 and 410 are not found whatever code carried them.
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 404, false, L"notfound"},
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 410, false, L"notfound"},
      // The proxy wants credentials.
      {kDownloadError, INET_E_DATA_NOT_AVAILABLE, 407, false, L"proxy"},
      {kDownloadTransient, INET_E_DATA_NOT_AVAILABLE, 407, false, L"proxy"},
      // The package's hash or the server's certificate.
      {kDownloadError, CRYPT_E_HASH_VALUE, 200, false, L"verification"},
      {kDownloadError, S_OK, 200, true, L"verification"},
      {kDownloadError, INET_E_INVALID_CERTIFICATE, 0, false, L"verification"},
      {kDownloadError, INET_E_SECURITY_PROBLEM, 0, false, L"verification"},
      {kDownloadError, CERT_E_UNTRUSTEDROOT, 0, false, L"verification"},
      {kDownloadError, CERT_E_EXPIRED, 0, false, L"verification"},
      {kDownloadError, CERT_E_CN_NO_MATCH, 0, false, L"verification"},
      {kDownloadTransient, INET_E_DOWNLOAD_FAILURE, 0, true, L"verification"},
      // Connection failures that reached the page as code 1.
      {kDownloadError, INET_E_CANNOT_CONNECT, 0, false, L"network"},
      {kDownloadError, INET_E_DOWNLOAD_FAILURE, 0, false, L"network"},
      {kDownloadError, S_FALSE, 200, false, L"network"},
      // Everything else.
      {kDownloadError, kRefusedName, 0, false, L"other"},  // a name outside the download folder
      {kDownloadError, S_OK, 0, false, L"other"},          // refused before any attempt
      {kDownloadError, E_PENDING, 0, false, L"other"},
      {kDownloadError, E_FAIL, 200, false, L"other"},
      {7, E_FAIL, 0, false, L"other"},
  };
  for (const Case& c : cases) {
    DownloadOutcome outcome;
    outcome.code = c.code;
    outcome.lastResult = c.hr;
    outcome.httpStatus = c.status;
    outcome.hashFailed = c.hashFailed;
    EXPECT_EQ(std::wstring(DownloadFailureCause(outcome)), c.cause)
        << c.code << " " << std::hex << c.hr << std::dec << " " << c.status << " " << c.hashFailed;
  }
}

TEST(DownloadFailure, KeyAndCauseTexts) {
  EXPECT_EQ(std::wstring(kDownloadFailureKey), L"downloadFailure");
  const std::wstring texts[] = {kCauseNetwork, kCauseServer,      kCauseNotFound, kCauseDiskFull,
                                kCauseVerification, kCauseProxy, kCauseOther};
  const std::wstring expected[] = {L"network", L"server", L"notfound", L"diskfull",
                                   L"verification", L"proxy", L"other"};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(texts[i], expected[i]);
}

}  // namespace
