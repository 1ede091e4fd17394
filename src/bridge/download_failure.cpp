#include "bridge/download_failure.h"

#include <urlmon.h>
#include <wincrypt.h>
#include <winerror.h>

#include "common/http_status.h"
#include "download/download_result.h"

namespace downloadmanagercore {

const wchar_t kDownloadFailureKey[] = L"downloadFailure";
const wchar_t kCauseNetwork[] = L"network";
const wchar_t kCauseServer[] = L"server";
const wchar_t kCauseNotFound[] = L"notfound";
const wchar_t kCauseDiskFull[] = L"diskfull";
const wchar_t kCauseVerification[] = L"verification";
const wchar_t kCauseProxy[] = L"proxy";
const wchar_t kCauseOther[] = L"other";

namespace {

bool IsCertificateFailure(HRESULT hr) {
  switch (hr) {
    case INET_E_INVALID_CERTIFICATE:
    case INET_E_SECURITY_PROBLEM:
    case CERT_E_EXPIRED:
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CN_NO_MATCH:
    case CERT_E_REVOKED:
    case CERT_E_CHAINING:
      return true;
    default:
      return false;
  }
}

bool IsServerStatus(unsigned long status) { return status == 403 || status == 429 || status >= 500; }

}  // namespace

// The result code decides first where it is specific (2 and 3); then the facts of the last
// attempt, most specific first; what remains of a transient failure (4) is the network.
const wchar_t* DownloadFailureCause(const DownloadOutcome& outcome) {
  const HRESULT hr = outcome.lastResult;
  unsigned long status = outcome.httpStatus;
  // A status the engine carried in the HRESULT (HTTP's own facility) counts as one answered.
  const unsigned long bits = static_cast<unsigned long>(hr);
  if (status == 0 && (bits & 0xFFFF0000UL) == static_cast<unsigned long>(HttpStatusHResult(0))) status = bits & 0xFFFF;
  switch (outcome.code) {
    case kDownloadOk:
      return L"";
    case kDownloadNotFound:
      return kCauseNotFound;
    case kDownloadDiskFull:
      return kCauseDiskFull;
    default:
      break;
  }
  if (outcome.hashFailed || hr == CRYPT_E_HASH_VALUE || IsCertificateFailure(hr)) return kCauseVerification;
  if (status == 407) return kCauseProxy;
  if (qrx::IsNotFoundHttpStatus(status)) return kCauseNotFound;
  if (IsServerStatus(status)) return kCauseServer;
  // An HTTP error status the engine reported without its number (any 4xx or 5xx but 404 and 410).
  if (status == 0 && hr == INET_E_DATA_NOT_AVAILABLE) return kCauseServer;
  if (outcome.code == kDownloadTransient) return kCauseNetwork;
  switch (hr) {
    case INET_E_CANNOT_CONNECT:
    case INET_E_CONNECTION_TIMEOUT:
    case INET_E_DOWNLOAD_FAILURE:
    case S_FALSE:  // fewer bytes than announced: the connection ended early
      return kCauseNetwork;
    default:
      return kCauseOther;
  }
}

}  // namespace downloadmanagercore
