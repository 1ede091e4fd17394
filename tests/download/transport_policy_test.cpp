// Where a redirect may lead, which failures are certificate failures, when a package is unprotected.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>
#include <urlmon.h>

#include "download/download_result.h"
#include "download/transport_policy.h"

namespace {

using downloadmanagercore::CertificateProblem;
using downloadmanagercore::RedirectCheck;

TEST(RedirectPolicy, OnlyWebSchemesAndNeverDownToPlainHttp) {
  const struct {
    const wchar_t* from;
    const wchar_t* to;
    RedirectCheck check;
  } rows[] = {
      {L"http://a/p.zip", L"http://b/p.zip", RedirectCheck::kAllowed},
      {L"http://a/p.zip", L"https://b/p.zip", RedirectCheck::kAllowed},
      {L"https://a/p.zip", L"https://cdn.b/p.zip", RedirectCheck::kAllowed},
      {L"HTTPS://a/p.zip", L"HTTPS://b/p.zip", RedirectCheck::kAllowed},
      {L"https://a/p.zip", L"http://b/p.zip", RedirectCheck::kDowngrade},
      {L"HTTPS://a/p.zip", L"Http://b/p.zip", RedirectCheck::kDowngrade},
      {L"https://a/p.zip", L"file:///C:/windows/win.ini", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"file:///C:/windows/win.ini", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"ftp://b/p.zip", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"\\\\host\\share\\p.zip", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"res://shell32.dll/p.zip", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"/relative/p.zip", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"", RedirectCheck::kUnsupportedScheme},
      {L"http://a/p.zip", L"httpx://b/p.zip", RedirectCheck::kUnsupportedScheme},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(downloadmanagercore::CheckRedirect(row.from, row.to), row.check) << row.from << " -> " << row.to;
  }
}

TEST(RedirectPolicy, FragmentsStayOutOfTheLog) {
  EXPECT_EQ(downloadmanagercore::WithoutFragment(L"https://a/p.zip#sha256=00"), L"https://a/p.zip");
  EXPECT_EQ(downloadmanagercore::WithoutFragment(L"https://a/p.zip"), L"https://a/p.zip");
  EXPECT_EQ(downloadmanagercore::WithoutFragment(L"#x"), L"");
}

TEST(CertificatePolicy, SecurityFlagsOfTheConnection) {
  const struct {
    DWORD flags;
    CertificateProblem problem;
  } rows[] = {
      // Measured under Wine on a trusted connection: secure, strong.
      {0x20000001, CertificateProblem::kNone},
      {0, CertificateProblem::kNone},
      {0x01000001, CertificateProblem::kUntrusted},
      {SECURITY_FLAG_IGNORE_UNKNOWN_CA | 1, CertificateProblem::kUntrusted},
      {0x04000001, CertificateProblem::kExpired},
      {SECURITY_FLAG_IGNORE_CERT_DATE_INVALID, CertificateProblem::kExpired},
      {0x02000001, CertificateProblem::kWrongName},
      {SECURITY_FLAG_IGNORE_CERT_CN_INVALID, CertificateProblem::kWrongName},
      {0x00800001, CertificateProblem::kRevocationUnknown},
      {SECURITY_FLAG_IGNORE_REVOCATION, CertificateProblem::kRevocationUnknown},
      {SECURITY_FLAG_IGNORE_WRONG_USAGE, CertificateProblem::kInvalid},
      {SECURITY_FLAG_IGNORE_WEAK_SIGNATURE, CertificateProblem::kInvalid},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(downloadmanagercore::CertificateProblemFromSecurityFlags(row.flags), row.problem) << std::hex
                                                                                                  << row.flags;
  }
}

TEST(CertificatePolicy, ErrorsOfTheBindingAndItsSecurityCallback) {
  // The wininet errors Wine's urlmon passes to IHttpSecurity (measured: 12037 expired, 12038 wrong
  // name, 12057 for an untrusted chain), and the binding's own outcome without that callback.
  const struct {
    DWORD error;
    CertificateProblem problem;
    const wchar_t* text;
  } rows[] = {
      {ERROR_INTERNET_SEC_CERT_DATE_INVALID, CertificateProblem::kExpired, L"expired"},
      {ERROR_INTERNET_SEC_CERT_CN_INVALID, CertificateProblem::kWrongName, L"wrong name"},
      {ERROR_INTERNET_INVALID_CA, CertificateProblem::kUntrusted, L"untrusted root"},
      {ERROR_INTERNET_SEC_CERT_REV_FAILED, CertificateProblem::kRevocationUnknown, L"revocation check failed"},
      {ERROR_INTERNET_SEC_CERT_NO_REV, CertificateProblem::kRevocationUnknown, L"revocation check failed"},
      {ERROR_INTERNET_SEC_CERT_REVOKED, CertificateProblem::kRevoked, L"revoked"},
      {ERROR_INTERNET_SEC_CERT_ERRORS, CertificateProblem::kInvalid, L"invalid certificate"},
      {ERROR_INTERNET_SEC_INVALID_CERT, CertificateProblem::kInvalid, L"invalid certificate"},
      {ERROR_INTERNET_CANNOT_CONNECT, CertificateProblem::kNone, L""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(downloadmanagercore::CertificateProblemFromInternetError(row.error), row.problem) << row.error;
    EXPECT_EQ(downloadmanagercore::CertificateProblemFromResult(HRESULT_FROM_WIN32(row.error)), row.problem);
    EXPECT_STREQ(downloadmanagercore::CertificateProblemText(row.problem), row.text);
  }
  EXPECT_EQ(downloadmanagercore::CertificateProblemFromResult(INET_E_INVALID_CERTIFICATE), CertificateProblem::kInvalid);
  EXPECT_EQ(downloadmanagercore::CertificateProblemFromResult(INET_E_SECURITY_PROBLEM), CertificateProblem::kInvalid);
  EXPECT_EQ(downloadmanagercore::CertificateProblemFromResult(INET_E_DOWNLOAD_FAILURE), CertificateProblem::kNone);
  EXPECT_EQ(downloadmanagercore::CertificateProblemFromResult(S_OK), CertificateProblem::kNone);
}

TEST(CertificatePolicy, RefusalsAreErrorsNeverRetried) {
  const downloadmanagercore::FreeSpace space{true, 1000};
  for (const HRESULT hr : {downloadmanagercore::kCertificateRefusedResult, downloadmanagercore::kRedirectRefusedResult,
                           downloadmanagercore::kProxyAuthenticationResult, INET_E_SECURITY_PROBLEM, E_ABORT}) {
    EXPECT_EQ(downloadmanagercore::DownloadResultCode(hr, space), downloadmanagercore::kDownloadError) << std::hex << hr;
  }
}

TEST(DowngradeWarning, OnlyPlainHttpWithoutHash) {
  EXPECT_TRUE(downloadmanagercore::IsUnprotectedDownload(L"http://a/p.zip", false));
  EXPECT_TRUE(downloadmanagercore::IsUnprotectedDownload(L"HTTP://a/p.zip", false));
  EXPECT_FALSE(downloadmanagercore::IsUnprotectedDownload(L"http://a/p.zip", true));
  EXPECT_FALSE(downloadmanagercore::IsUnprotectedDownload(L"https://a/p.zip", false));
  EXPECT_FALSE(downloadmanagercore::IsUnprotectedDownload(L"HTTPS://a/p.zip", true));
}

TEST(TransportTexts, AreExact) {
  EXPECT_STREQ(downloadmanagercore::kLogDownloadRedirectRefused, L"Download refused, redirect from %s to %s");
  EXPECT_STREQ(downloadmanagercore::kLogDownloadCertificateRefused, L"Download refused, certificate error (%s): %s");
  EXPECT_STREQ(downloadmanagercore::kLogDownloadProxyAuthentication,
               L"Download refused, proxy authentication required: %s");
  EXPECT_STREQ(downloadmanagercore::kLogDownloadPlain, L"package fetched without transport security or hash: %s");
}

}  // namespace
