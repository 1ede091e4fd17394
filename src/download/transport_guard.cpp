#include "download/transport_guard.h"

#include <wininet.h>

#include "common/com_ptr.h"
#include "download/transport_policy.h"

namespace downloadmanagercore {

HRESULT TransportGuard::Refuse(HRESULT outcome) {
  if (refusal_ == S_OK) refusal_ = outcome;
  return refusal_;
}

HRESULT TransportGuard::RefuseRedirect(const std::wstring& target) {
  qrx::LogError(log_, kLogDownloadRedirectRefused, WithoutFragment(url_).c_str(), WithoutFragment(target).c_str());
  return Refuse(kRedirectRefusedResult);
}

HRESULT TransportGuard::OnProgress(IBinding* binding, ULONG statusCode, LPCWSTR statusText) {
  if (refusal_ != S_OK) return refusal_;
  if (statusCode == BINDSTATUS_REDIRECTING) {
    const std::wstring target = statusText ? statusText : L"";
    if (CheckRedirect(url_, target) != RedirectCheck::kAllowed) return RefuseRedirect(target);
    url_ = target;
    return S_OK;
  }
  if (statusCode != BINDSTATUS_BEGINDOWNLOADDATA || !binding) return S_OK;
  qrx::ComPtr<IWinInetHttpInfo> http;
  if (SUCCEEDED(binding->QueryInterface(IID_IWinInetHttpInfo, http.put_void()))) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (SUCCEEDED(http->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr,
                                  nullptr))) {
      // A redirect the binding did not follow (to a scheme it does not fetch): its empty answer
      // would otherwise become the package.
      if (status >= 300 && status < 400) {
        // The header comes as narrow text, as HttpQueryInfoA gives it.
        char location[2048] = {};
        DWORD length = sizeof(location) - 1;
        if (FAILED(http->QueryInfo(HTTP_QUERY_LOCATION, location, &length, nullptr, nullptr))) location[0] = '\0';
        wchar_t target[2048] = {};
        MultiByteToWideChar(CP_ACP, 0, location, -1, target, 2048);
        return RefuseRedirect(target);
      }
      if (OnResponse(status) != S_OK) return refusal_;
    }
  }
  // A TLS connection whose certificate check was relaxed or recorded an error is not used.
  qrx::ComPtr<IWinInetInfo> info;
  DWORD flags = 0;
  DWORD size = sizeof(flags);
  if (SUCCEEDED(binding->QueryInterface(IID_IWinInetInfo, info.put_void())) &&
      SUCCEEDED(info->QueryOption(INTERNET_OPTION_SECURITY_FLAGS, &flags, &size))) {
    const CertificateProblem problem = CertificateProblemFromSecurityFlags(flags);
    if (problem != CertificateProblem::kNone) {
      qrx::LogError(log_, kLogDownloadCertificateRefused, CertificateProblemText(problem),
                    WithoutFragment(url_).c_str());
      return Refuse(kCertificateRefusedResult);
    }
  }
  return S_OK;
}

HRESULT TransportGuard::OnResponse(DWORD status) {
  if (refusal_ != S_OK || status != 407) return refusal_;
  qrx::LogError(log_, kLogDownloadProxyAuthentication, WithoutFragment(url_).c_str());
  return Refuse(kProxyAuthenticationResult);
}

HRESULT TransportGuard::OnSecurityProblem(DWORD error) {
  if (refusal_ != S_OK) return refusal_;
  CertificateProblem problem = CertificateProblemFromInternetError(error);
  if (problem == CertificateProblem::kNone) problem = CertificateProblem::kInvalid;
  qrx::LogError(log_, kLogDownloadCertificateRefused, CertificateProblemText(problem), WithoutFragment(url_).c_str());
  return Refuse(kCertificateRefusedResult);
}

void TransportGuard::LogOutcome(HRESULT hr) const {
  if (refusal_ != S_OK) return;
  const CertificateProblem problem = CertificateProblemFromResult(hr);
  if (problem == CertificateProblem::kNone) return;
  qrx::LogError(log_, kLogDownloadCertificateRefused, CertificateProblemText(problem), WithoutFragment(url_).c_str());
}

}  // namespace downloadmanagercore
