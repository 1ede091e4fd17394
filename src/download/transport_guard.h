// Applies the transport policy (transport_policy.h) to the notifications of one attempt's binding:
// follows or refuses each redirect, refuses a redirect the binding did not follow, a proxy that
// asks for credentials and every certificate problem, and logs each refusal once.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>

#include "log/logger.h"

namespace downloadmanagercore {

class TransportGuard {
 public:
  TransportGuard(const std::wstring& url, qrx::Logger* log) : url_(url), log_(log) {}

  // The outcome that ends the attempt; S_OK while nothing was refused.
  HRESULT refusal() const { return refusal_; }

  // A progress notification of the binding. Returns the refusal when this one ends the attempt
  // (the caller aborts the binding), S_OK otherwise.
  HRESULT OnProgress(IBinding* binding, ULONG statusCode, LPCWSTR statusText);
  // The response status (IHttpNegotiate::OnResponse). Returns the refusal for a 407.
  HRESULT OnResponse(DWORD status);
  // IHttpSecurity::OnSecurityProblem: every problem is refused (the caller answers E_ABORT, so the
  // binding never retries with a check switched off). Returns the refusal.
  HRESULT OnSecurityProblem(DWORD error);
  // After the attempt: logs a certificate failure that the binding reported by itself.
  void LogOutcome(HRESULT hr) const;

 private:
  HRESULT Refuse(HRESULT outcome);
  HRESULT RefuseRedirect(const std::wstring& target);

  std::wstring url_;  // the URL of the current hop
  qrx::Logger* log_;
  HRESULT refusal_ = S_OK;
};

}  // namespace downloadmanagercore
