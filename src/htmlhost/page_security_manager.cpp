#include "htmlhost/page_security_manager.h"

#include "htmlhost/page_trust.h"

namespace htmlui {

// The engine keeps its own site, zones, origins, custom policies and zone mappings: a host
// security manager answers INET_E_DEFAULT_ACTION for what it leaves to the default one.

STDMETHODIMP PageSecurityManager::SetSecuritySite(IInternetSecurityMgrSite*) { return INET_E_DEFAULT_ACTION; }
STDMETHODIMP PageSecurityManager::GetSecuritySite(IInternetSecurityMgrSite** site) {
  if (site) *site = nullptr;
  return INET_E_DEFAULT_ACTION;
}
STDMETHODIMP PageSecurityManager::MapUrlToZone(LPCWSTR, DWORD*, DWORD) { return INET_E_DEFAULT_ACTION; }
STDMETHODIMP PageSecurityManager::GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) { return INET_E_DEFAULT_ACTION; }

STDMETHODIMP PageSecurityManager::ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE*,
                                                   DWORD, DWORD, DWORD) {
  const bool ourPage = url && IsPageOfFolder(url, pageFolder_);
  const UrlActionAnswer answer = DecideUrlAction(action, ourPage);
  if (!answer.decided) return INET_E_DEFAULT_ACTION;
  if (!policy || policySize < sizeof(DWORD)) return E_INVALIDARG;
  const DWORD value = answer.policy;
  CopyMemory(policy, &value, sizeof(value));
  return value == kPolicyAllow && action != kActionJavaPermissions ? S_OK : S_FALSE;
}

STDMETHODIMP PageSecurityManager::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD* policySize, BYTE*,
                                                    DWORD, DWORD) {
  if (policy) *policy = nullptr;
  if (policySize) *policySize = 0;
  return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP PageSecurityManager::SetZoneMapping(DWORD, LPCWSTR, DWORD) { return INET_E_DEFAULT_ACTION; }
STDMETHODIMP PageSecurityManager::GetZoneMappings(DWORD, IEnumString** mappings, DWORD) {
  if (mappings) *mappings = nullptr;
  return INET_E_DEFAULT_ACTION;
}

}  // namespace htmlui
