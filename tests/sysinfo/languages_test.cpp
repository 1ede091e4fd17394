#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <vector>

#include "common/unique_any.h"
#include "sysinfo/languages.h"

namespace {

TEST(LanguageTable, RowsJoinLangIdCodeAndName) {
  struct Row {
    int index;
    WORD langId;
    const wchar_t* code;
    const wchar_t* name;
  } rows[] = {
      {0, 0x0409, L"other", L"Other"},   {1, 0x0409, L"en", L"English"},
      {5, 0x0411, L"jp", L"Japanese"},   {12, 0x0804, L"zh", L"Simplified Chinese"},
      {13, 0x0404, L"tw", L"Traditional Chinese"}, {25, 0x141A, L"bs", L"Bosnian"},
      {48, 0x083C, L"ga", L"Irish"},     {79, 0x0491, L"gd", L"Scottish Gaelic"},
      {80, 0x181A, L"sr", L"Serbian"},   {107, 0x0435, L"zu", L"Zulu"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(qrx::kLanguages[row.index].langId, row.langId) << row.index;
    EXPECT_EQ(qrx::GetLanguageCode(row.index), row.code);
    EXPECT_EQ(qrx::GetLanguageName(row.index), row.name);
  }
  std::set<std::wstring> codes;
  for (int i = 0; i < qrx::kLanguageCount; ++i) codes.insert(qrx::GetLanguageCode(i));
  EXPECT_EQ(codes.size(), 108u) << "codes are unique";
}

// The table keeps its texts narrow and widens them character by character: ASCII only.
TEST(LanguageTable, TextsArePrintableAscii) {
  for (int i = 0; i < qrx::kLanguageCount; ++i) {
    for (const std::wstring& text : {qrx::GetLanguageCode(i), qrx::GetLanguageName(i)}) {
      EXPECT_FALSE(text.empty()) << i;
      for (wchar_t c : text) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << i;
    }
  }
}

TEST(LanguageIndex, FromLangId) {
  struct Case {
    WORD langId;
    int index;
  } cases[] = {
      {0x0409, 1},  {0x0809, 1},  {0x0C09, 1},                 // English, also through the primary rule
      {0x0C04, 13}, {0x1404, 13}, {0x0404, 13}, {0x0804, 12}, {0x1004, 12},
      {0x0004, 12},                                            // other Chinese: lowest row of primary 0x04
      {0x0816, 7},  {0x0416, 7},  {0x0436, 14}, {0x0430, 0},
      {0x041A, 29}, {0x101A, 29}, {0x081A, 80}, {0x0C1A, 80}, {0x301A, 80}, {0x141A, 25}, {0x201A, 25},
      {0x201B, 83}, {0x3C1A, 0},                               // unknown member of the 0x1A group
      {0x0405, 11}, {0x0805, 0},                               // Czech only by its full LANGID
      {0x0412, 9},  {0x0812, 0},                               // Korean likewise
      {0x040A, 6},  {0x080A, 6},  {0x0C0A, 6},  {0x2C0A, 6},   // Spanish variants
      {0x0407, 3},  {0x0807, 3},  {0x040C, 2},  {0x080C, 2},  {0x0410, 4},  {0x0411, 5},
      {0x0413, 8},  {0x0813, 8},  {0x0419, 10}, {0x0415, 72}, {0x0000, 0},  {0x0400, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qrx::LanguageIndexFromLangId(c.langId), c.index) << std::hex << c.langId;
  }
}

TEST(LanguageIndex, EveryRowMapsBackToAPlausibleRow) {
  for (int i = 1; i < qrx::kLanguageCount; ++i) {
    const int index = qrx::LanguageIndexFromLangId(qrx::kLanguages[i].langId);
    // Rows sharing a primary language map to the lowest of them; 0x1A, Czech and Korean are exact.
    EXPECT_EQ(qrx::kLanguages[index].langId & 0x3FF, qrx::kLanguages[i].langId & 0x3FF) << i;
    EXPECT_LE(index, i) << i;
  }
}

std::vector<WORD> Block(const std::vector<std::wstring>& strings) {
  std::vector<WORD> words;
  for (const auto& s : strings) {
    words.push_back(static_cast<WORD>(s.size()));
    words.insert(words.end(), s.begin(), s.end());
  }
  return words;
}

TEST(StringTableBlock, SkipsToTheWantedString) {
  std::vector<std::wstring> strings(16);
  strings[6] = L"text";
  strings[7] = L"caption";
  const std::vector<WORD> block = Block(strings);
  const size_t bytes = block.size() * sizeof(WORD);
  // 103 = 6 * 16 + 7: the eighth string of block 7.
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), bytes, 103), L"caption");
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), bytes, 102), L"text");
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), bytes, 96), L"");
}

TEST(StringTableBlock, TruncatedBlocksGiveEmptyText) {
  std::vector<WORD> block = Block({L"a", L"bb"});
  // A length that runs past the block.
  block.push_back(50);
  block.push_back(L'x');
  const size_t bytes = block.size() * sizeof(WORD);
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), bytes, 1), L"bb");
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), bytes, 2), L"");
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), bytes, 9), L"");
  EXPECT_EQ(qrx::StringFromTableBlock(block.data(), 0, 0), L"");
}

TEST(LoadLocalizedString, ReadsThisModulesResources) {
  EXPECT_EQ(qrx::LoadLocalizedString(103, 1), L"Warning");
  EXPECT_EQ(qrx::LoadLocalizedString(103, 3), L"Warnung");
  EXPECT_EQ(qrx::LoadLocalizedString(103, 11), L"Upozorn\u011bn\u00ed");
  EXPECT_EQ(qrx::LoadLocalizedString(103, 14), L"");  // Afrikaans: none carried
  EXPECT_EQ(qrx::LoadLocalizedString(104, 1), L"");   // a string that does not exist
  EXPECT_EQ(qrx::LoadLocalizedString(5000, 1), L"");  // a block that does not exist
}

TEST(Browser, ValueMustEndWithinTheBuffer) {
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(qrx::BrowserNameFromValue(false, buffer, MAX_PATH), L"Other");
  EXPECT_EQ(qrx::BrowserNameFromValue(true, buffer, MAX_PATH), L"");
  wcscpy(buffer, L"FIREFOX.EXE");
  EXPECT_EQ(qrx::BrowserNameFromValue(true, buffer, MAX_PATH), L"FIREFOX.EXE");
  for (wchar_t& c : buffer) c = L'x';  // 520 bytes, no terminator
  EXPECT_EQ(qrx::BrowserNameFromValue(true, buffer, MAX_PATH), L"Other");
  buffer[MAX_PATH - 1] = L'\0';  // 259 characters fit
  EXPECT_EQ(qrx::BrowserNameFromValue(true, buffer, MAX_PATH).size(), 259u);
}

// Redirects HKCU and HKLM into scratch keys for one test.
class BrowserRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kScratch) + L"\\user").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, user_.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kScratch) + L"\\machine").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, machine_.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_.get()), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get()), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    user_.Reset();
    machine_.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  }
  void SetDefault(HKEY root, const wchar_t* path, const std::wstring& value, bool terminated = true) {
    qrx::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    const DWORD bytes = static_cast<DWORD>((value.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
              ERROR_SUCCESS);
  }
  void CreateKey(HKEY root, const wchar_t* path) {
    qrx::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
  }

  static constexpr const wchar_t* kScratch = L"Software\\QRXTestScratch";
  static constexpr const wchar_t* kUserPath = L"Software\\Clients\\StartMenuInternet";
  static constexpr const wchar_t* kMachinePath = L"SOFTWARE\\Clients\\StartMenuInternet";
  qrx::UniqueHKey user_;
  qrx::UniqueHKey machine_;
};

TEST_F(BrowserRegistryTest, NoKeysGiveOther) { EXPECT_EQ(qrx::GetDefaultBrowser(), L"Other"); }

TEST_F(BrowserRegistryTest, UserKeyWinsOverMachineKey) {
  SetDefault(HKEY_CURRENT_USER, kUserPath, L"Firefox-308046B0AF4A39CB");
  SetDefault(HKEY_LOCAL_MACHINE, kMachinePath, L"IEXPLORE.EXE");
  EXPECT_EQ(qrx::GetDefaultBrowser(), L"Firefox-308046B0AF4A39CB");
}

TEST_F(BrowserRegistryTest, MachineKeyServesWhenTheUserHasNone) {
  SetDefault(HKEY_LOCAL_MACHINE, kMachinePath, L"Google Chrome");
  EXPECT_EQ(qrx::GetDefaultBrowser(), L"Google Chrome");
}

TEST_F(BrowserRegistryTest, UserKeyWithoutDefaultValueGivesOther) {
  CreateKey(HKEY_CURRENT_USER, kUserPath);
  SetDefault(HKEY_LOCAL_MACHINE, kMachinePath, L"Google Chrome");
  EXPECT_EQ(qrx::GetDefaultBrowser(), L"Other");
}

TEST_F(BrowserRegistryTest, OverlongValuesGiveOther) {
  SetDefault(HKEY_CURRENT_USER, kUserPath, std::wstring(300, L'b'));
  EXPECT_EQ(qrx::GetDefaultBrowser(), L"Other");
  // Exactly 520 bytes without a terminator: the buffer is full and must not be read past.
  SetDefault(HKEY_CURRENT_USER, kUserPath, std::wstring(260, L'c'), false);
  EXPECT_EQ(qrx::GetDefaultBrowser(), L"Other");
  SetDefault(HKEY_CURRENT_USER, kUserPath, std::wstring(259, L'd'), false);
  EXPECT_EQ(qrx::GetDefaultBrowser(), std::wstring(259, L'd'));
}

TEST(Country, NationIdInDecimal) {
  const std::wstring country = qrx::GetCountryCode();
  wchar_t expected[16];
  wsprintfW(expected, L"%d", static_cast<int>(GetUserGeoID(GEOCLASS_NATION)));
  EXPECT_EQ(country, expected);
  EXPECT_FALSE(country.empty());
}

}  // namespace
