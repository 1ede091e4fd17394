// The pages' language list: the "LANG" scan and the parameters file it reads.
#include <gtest/gtest.h>

#include "payload/page_files.h"
#include "payload/page_languages.h"
#include "support/test_support.h"

namespace {

using Codes = std::vector<std::wstring>;

TEST(ParseSupportedLanguages, Cases) {
  const struct {
    const wchar_t* text;
    Codes codes;
  } cases[] = {
      {L"var p = {\"LANG\": [\"en\", \"fr\", \"de\"]};", {L"en", L"fr", L"de"}},
      {L"{\"LANG\":[]}", {}},
      {L"{\"LANG\":[\"en\"]}", {L"en"}},
      {L"{\"lang\":[\"en\"]}", {}},
      {L"{\"LANGS\":[\"en\"]}", {}},
      {L"no key at all", {}},
      {L"", {}},
      // The key text at the very end: nothing to scan.
      {L"\"LANG\"", {}},
      {L"\"LANG\":", {}},
      // No closing bracket: the scan ends with the text.
      {L"\"LANG\": [\"en\", \"fr\"", {L"en", L"fr"}},
      // An unclosed quote adds nothing.
      {L"\"LANG\": [\"en\", \"fr", {L"en"}},
      // The scan starts 7 characters after the key's opening quote, whatever stands there.
      {L"\"LANG\"=[\"en\"]", {L"en"}},
      // Quoted key text inside another string value: scanned from there, up to the first ']'.
      {L"var p = {\"HELP\": 'the \"LANG\": \"xx\" list', \"LANG\": [\"en\"], \"X\": [\"zz\"]};",
       {L"xx", L"LANG", L"en"}},
      // A ']' inside a code ends the scan.
      {L"\"LANG\": [\"e]n\", \"fr\"]", {}},
      {L"\"LANG\": [\"\", \"tw\"]", {L"", L"tw"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qrx::ParseSupportedLanguages(c.text), c.codes) << std::string(c.text, c.text + wcslen(c.text));
  }
}

TEST(Utf8ToWide, ValidAndInvalid) {
  std::wstring text;
  EXPECT_TRUE(qrx::Utf8ToWide("\xEF\xBB\xBF\"LANG\"", text));
  EXPECT_EQ(text, L"\xFEFF\"LANG\"");
  EXPECT_TRUE(qrx::Utf8ToWide("\xF0\x9F\x98\x80", text));
  EXPECT_EQ(text, L"\xD83D\xDE00");
  EXPECT_FALSE(qrx::Utf8ToWide("\"LANG\": [\"en\xFF\"]", text));
  EXPECT_FALSE(qrx::Utf8ToWide("\xC3", text));
  EXPECT_FALSE(qrx::Utf8ToWide("", text));
}

class ReadSupportedLanguagesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pages_.loaded()); }
  std::wstring ParamsPath() const { return pages_.folder() + L"js\\installparams.js"; }

  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  qrx::PageFiles pages_{nullptr};
};

TEST_F(ReadSupportedLanguagesTest, ShippedParametersListNineLanguagesInOrder) {
  EXPECT_EQ(qrx::ReadSupportedLanguages(pages_),
            (Codes{L"en", L"fr", L"de", L"it", L"jp", L"es", L"nl", L"ru", L"tw"}));
}

TEST_F(ReadSupportedLanguagesTest, FilesThatGiveNoList) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"no key", "var installParams = {};"},
      {"invalid UTF-8", "var installParams = {\"LANG\": [\"en\", \"fr\xC0\"]};"},
      {"empty array", "var installParams = {\"LANG\": []};"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(qrxtest::WriteFileBytes(ParamsPath(), c.bytes));
    EXPECT_EQ(qrx::ReadSupportedLanguages(pages_), Codes{}) << c.name;
  }
}

TEST_F(ReadSupportedLanguagesTest, ByteOrderMarkAndNonAsciiTextAreRead) {
  ASSERT_TRUE(qrxtest::WriteFileBytes(ParamsPath(), "\xEF\xBB\xBF// Param\xC3\xA8tres\nvar p = {\"LANG\": [\"en\"]};"));
  EXPECT_EQ(qrx::ReadSupportedLanguages(pages_), Codes{L"en"});
}

TEST_F(ReadSupportedLanguagesTest, MissingFileGivesNoList) {
  ASSERT_TRUE(DeleteFileW(ParamsPath().c_str()));
  EXPECT_EQ(qrx::ReadSupportedLanguages(pages_), Codes{});
}

}  // namespace
