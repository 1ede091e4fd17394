// The security manager the document site offers the engine: script only in our pages; no
// ActiveX, Java or binary behaviours anywhere. Everything else keeps the engine's defaults.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>

#include "common/com_object.h"

namespace htmlui {

class PageSecurityManager : public qrx::ComObject<PageSecurityManager, IInternetSecurityManager> {
 public:
  // Starts with one reference, its creator's. `pageFolder` is the folder of our pages.
  explicit PageSecurityManager(const std::wstring& pageFolder) : pageFolder_(pageFolder) {}

  const std::wstring& pageFolder() const { return pageFolder_; }

  // IInternetSecurityManager:
  STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite* site) override;
  STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite** site) override;
  STDMETHODIMP MapUrlToZone(LPCWSTR url, DWORD* zone, DWORD flags) override;
  STDMETHODIMP GetSecurityId(LPCWSTR url, BYTE* id, DWORD* idSize, DWORD_PTR reserved) override;
  STDMETHODIMP ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE* context,
                                DWORD contextSize, DWORD flags, DWORD reserved) override;
  STDMETHODIMP QueryCustomPolicy(LPCWSTR url, REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context,
                                 DWORD contextSize, DWORD reserved) override;
  STDMETHODIMP SetZoneMapping(DWORD zone, LPCWSTR pattern, DWORD flags) override;
  STDMETHODIMP GetZoneMappings(DWORD zone, IEnumString** mappings, DWORD flags) override;

 private:
  ~PageSecurityManager() override = default;

  std::wstring pageFolder_;
};

}  // namespace htmlui
