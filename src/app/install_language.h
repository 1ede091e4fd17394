// Choice of the install language from the user's UI language and the pages' language list.
#pragma once

#include <string>
#include <vector>

namespace qrx {

// Language indexes the product installs in; the first is the fall-back.
extern const std::vector<int> kSupportedLanguages;

// The choice for a given UI language index.
int ChooseInstallLanguageFor(int uiLanguage, const std::vector<std::wstring>& pageCodes,
                             const std::vector<int>& supported);
// The choice for this user's UI language.
int ChooseInstallLanguage(const std::vector<std::wstring>& pageCodes, const std::vector<int>& supported);

}  // namespace qrx
