// What a package download accepts from the network besides the URL it was given: where a redirect
// may lead, which failures are certificate failures (ended at once, never retried), and when the
// package arrives with neither transport security nor a hash. Pure decisions over the facts the
// binding reports; the download applies them.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>

namespace downloadmanagercore {

// "Download refused, redirect from %s to %s": both URLs without their # fragment.
extern const wchar_t kLogDownloadRedirectRefused[];
// "Download refused, certificate error (%s): %s": the error class, then the URL.
extern const wchar_t kLogDownloadCertificateRefused[];
// "Download refused, proxy authentication required: %s"
extern const wchar_t kLogDownloadProxyAuthentication[];
// "package fetched without transport security or hash: %s"
extern const wchar_t kLogDownloadPlain[];

// The outcome a refused redirect gives the attempt (mapped to code 1, never retried).
constexpr HRESULT kRedirectRefusedResult = INET_E_REDIRECT_FAILED;
// The outcome of a certificate that our own check refused.
constexpr HRESULT kCertificateRefusedResult = INET_E_INVALID_CERTIFICATE;
// The outcome of a proxy that asked for credentials (HTTP 407); none are ever offered.
constexpr HRESULT kProxyAuthenticationResult = INET_E_AUTHENTICATION_REQUIRED;

enum class RedirectCheck {
  kAllowed,
  kUnsupportedScheme,  // the target is neither http: nor https:
  kDowngrade,          // https: to http:
};

// May a download of `from` follow a redirect to `to`?
RedirectCheck CheckRedirect(const std::wstring& from, const std::wstring& to);

// The URL without its # fragment (the package hash stays out of the log).
std::wstring WithoutFragment(const std::wstring& url);

// The class of a certificate failure, as the log names it.
enum class CertificateProblem {
  kNone,
  kUntrusted,   // the chain does not end at a trusted root
  kExpired,     // outside its validity period
  kWrongName,   // issued for another host
  kRevoked,     // revoked
  kRevocationUnknown,  // the revocation check failed (Wine reports an untrusted chain so first)
  kInvalid,     // any other certificate failure
};

// "untrusted root", "expired", "wrong name", "revoked", "revocation check failed",
// "invalid certificate"; "" for kNone.
const wchar_t* CertificateProblemText(CertificateProblem problem);

// What the security flags of a TLS connection (INTERNET_OPTION_SECURITY_FLAGS, read once the
// response has begun) say about its certificate. A connection on which a check was turned off, or
// which carries a recorded certificate error, is refused: we never accept what the check refused.
CertificateProblem CertificateProblemFromSecurityFlags(DWORD flags);

// The certificate problem a binding's outcome names (kNone when it names none).
CertificateProblem CertificateProblemFromResult(HRESULT hr);
// The certificate problem of a wininet error (ERROR_INTERNET_*), as the binding's security callback
// reports it; kNone for an error that is not about the certificate.
CertificateProblem CertificateProblemFromInternetError(DWORD error);

// True when a package fetched from `url` is protected neither by TLS nor by a hash.
bool IsUnprotectedDownload(const std::wstring& url, bool hasDigest);

}  // namespace downloadmanagercore
