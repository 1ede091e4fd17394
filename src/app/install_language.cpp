#include "app/install_language.h"

#include <algorithm>

#include "sysinfo/languages.h"

namespace qrx {

const std::vector<int> kSupportedLanguages = {1, 2, 3, 4, 5, 6, 8, 9, 10, 13};

int ChooseInstallLanguageFor(int uiLanguage, const std::vector<std::wstring>& pageCodes,
                             const std::vector<int>& supported) {
  const int fallback = supported.empty() ? 1 : supported.front();
  const bool isSupported = std::find(supported.begin(), supported.end(), uiLanguage) != supported.end();
  if (pageCodes.empty()) return isSupported ? uiLanguage : fallback;
  const std::wstring uiCode = GetLanguageCode(uiLanguage);
  const bool isListed = std::find(pageCodes.begin(), pageCodes.end(), uiCode) != pageCodes.end();
  if (isSupported && isListed) return uiLanguage;
  for (int candidate : supported) {
    if (GetLanguageCode(candidate) == pageCodes.front()) return candidate;
  }
  return fallback;
}

int ChooseInstallLanguage(const std::vector<std::wstring>& pageCodes, const std::vector<int>& supported) {
  return ChooseInstallLanguageFor(GetUiLanguageIndex(), pageCodes, supported);
}

}  // namespace qrx
