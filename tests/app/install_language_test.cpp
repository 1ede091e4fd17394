#include <gtest/gtest.h>

#include "app/install_language.h"
#include "sysinfo/languages.h"

namespace {

using qrx::ChooseInstallLanguageFor;
using qrx::kSupportedLanguages;

constexpr int kGerman = 3;
constexpr int kPortuguese = 7;
constexpr int kPolish = 72;

TEST(InstallLanguage, SupportedListInOrder) {
  const std::vector<int> expected = {1, 2, 3, 4, 5, 6, 8, 9, 10, 13};
  EXPECT_EQ(kSupportedLanguages, expected);
}

TEST(InstallLanguage, WorkedExamples) {
  struct Case {
    int ui;
    std::vector<std::wstring> pages;
    int expected;
    const wchar_t* code;
  } cases[] = {
      {kGerman, {L"en", L"fr", L"de"}, 3, L"de"},
      {kPortuguese, {L"en", L"fr", L"de"}, 1, L"en"},
      {kGerman, {L"fr"}, 2, L"fr"},
      {kPolish, {}, 1, L"en"},
      {kGerman, {}, 3, L"de"},
      // A first page code that no supported language has falls back to English.
      {kPortuguese, {L"pt", L"de"}, 1, L"en"},
      // Codes compare exactly, and only the first page code is tried.
      {kGerman, {L"DE", L"it"}, 1, L"en"},
      {kGerman, {L"it", L"DE"}, 4, L"it"},
      {5, {L"en", L"jp"}, 5, L"jp"},
      {13, {L"tw"}, 13, L"tw"},
      {12, {L"tw", L"zh"}, 13, L"tw"},  // Simplified Chinese is not supported
  };
  for (const Case& c : cases) {
    const int chosen = ChooseInstallLanguageFor(c.ui, c.pages, kSupportedLanguages);
    EXPECT_EQ(chosen, c.expected) << "ui " << c.ui;
    EXPECT_EQ(qrx::GetLanguageCode(chosen), c.code);
  }
}

}  // namespace
