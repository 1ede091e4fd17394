#include "reporting/session_info.h"

#include "identity/machine_id.h"
#include "sysinfo/languages.h"
#include "sysinfo/os_facts.h"

namespace qrx {

std::wstring OsBitsFor(const std::wstring& architecture) {
  return architecture == L"x64" ? L"64" : L"32";
}

SessionInfo::SessionInfo(const std::wstring& productIdValue, const std::wstring& managerVersionValue)
    : productId(productIdValue), managerVersion(managerVersionValue) {
  requestToken = NewRequestToken();
  machineId = GetMachineId();
  architecture = GetArchitecture();
  defaultBrowser = GetDefaultBrowser();
  os = GetOsName();
  country = GetCountryCode();
  language = GetUiLanguageIndex();
  status = kEnvironmentNotMeet;
  wrapperError = 0;
  msiError = 0;
  properties[L"osbits"] = OsBitsFor(architecture);
}

}  // namespace qrx
