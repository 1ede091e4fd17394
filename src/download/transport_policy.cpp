#include "download/transport_policy.h"

#include <wininet.h>

#include "download/download_request.h"

namespace downloadmanagercore {

const wchar_t kLogDownloadRedirectRefused[] = L"Download refused, redirect from %s to %s";
const wchar_t kLogDownloadCertificateRefused[] = L"Download refused, certificate error (%s): %s";
const wchar_t kLogDownloadProxyAuthentication[] = L"Download refused, proxy authentication required: %s";
const wchar_t kLogDownloadPlain[] = L"package fetched without transport security or hash: %s";

namespace {

// Error bits that wininet records on a connection whose certificate failed a check (not in the
// SDK headers; the values of Wine's wininet).
constexpr DWORD kCertRevocationFailed = 0x00800000;
constexpr DWORD kCertInvalidCa = 0x01000000;
constexpr DWORD kCertInvalidName = 0x02000000;
constexpr DWORD kCertInvalidDate = 0x04000000;

}  // namespace

RedirectCheck CheckRedirect(const std::wstring& from, const std::wstring& to) {
  if (!HasWebScheme(to)) return RedirectCheck::kUnsupportedScheme;
  if (IsHttpsUrl(from) && !IsHttpsUrl(to)) return RedirectCheck::kDowngrade;
  return RedirectCheck::kAllowed;
}

std::wstring WithoutFragment(const std::wstring& url) { return url.substr(0, url.find(L'#')); }

const wchar_t* CertificateProblemText(CertificateProblem problem) {
  switch (problem) {
    case CertificateProblem::kNone:
      return L"";
    case CertificateProblem::kUntrusted:
      return L"untrusted root";
    case CertificateProblem::kExpired:
      return L"expired";
    case CertificateProblem::kWrongName:
      return L"wrong name";
    case CertificateProblem::kRevoked:
      return L"revoked";
    case CertificateProblem::kRevocationUnknown:
      return L"revocation check failed";
    case CertificateProblem::kInvalid:
      break;
  }
  return L"invalid certificate";
}

CertificateProblem CertificateProblemFromSecurityFlags(DWORD flags) {
  // A recorded failure names its class; a check that was switched off counts as the failure it hides.
  if (flags & (kCertInvalidCa | SECURITY_FLAG_IGNORE_UNKNOWN_CA)) return CertificateProblem::kUntrusted;
  if (flags & (kCertInvalidDate | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID)) return CertificateProblem::kExpired;
  if (flags & (kCertInvalidName | SECURITY_FLAG_IGNORE_CERT_CN_INVALID)) return CertificateProblem::kWrongName;
  if (flags & (kCertRevocationFailed | SECURITY_FLAG_IGNORE_REVOCATION)) return CertificateProblem::kRevocationUnknown;
  if (flags & (SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_WEAK_SIGNATURE)) {
    return CertificateProblem::kInvalid;
  }
  return CertificateProblem::kNone;
}

CertificateProblem CertificateProblemFromResult(HRESULT hr) {
  if (hr == INET_E_INVALID_CERTIFICATE || hr == INET_E_SECURITY_PROBLEM) return CertificateProblem::kInvalid;
  // wininet's own errors, as the binding's security callback or an HRESULT names them.
  if ((hr & 0xFFFF0000) != 0x80070000) return CertificateProblem::kNone;
  return CertificateProblemFromInternetError(static_cast<DWORD>(hr & 0xFFFF));
}

CertificateProblem CertificateProblemFromInternetError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_INVALID_CA:
      return CertificateProblem::kUntrusted;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      return CertificateProblem::kExpired;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      return CertificateProblem::kWrongName;
    case ERROR_INTERNET_SEC_CERT_REVOKED:
      return CertificateProblem::kRevoked;
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
      return CertificateProblem::kRevocationUnknown;
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
      return CertificateProblem::kInvalid;
    default:
      return CertificateProblem::kNone;
  }
}

bool IsUnprotectedDownload(const std::wstring& url, bool hasDigest) { return !hasDigest && !IsHttpsUrl(url); }

}  // namespace downloadmanagercore
