// The page properties' map: std::map's answers for the calls the program makes.
#include <gtest/gtest.h>

#include <string>

#include "reporting/property_map.h"

namespace {

std::wstring KeysOf(const qrx::PropertyMap& map) {
  std::wstring keys;
  for (const auto& entry : map) keys += entry.first + L"=" + entry.second + L",";
  return keys;
}

TEST(PropertyMap, ReadingAMissingKeyAddsItEmpty) {
  qrx::PropertyMap map;
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.count(L"a"), 0u);
  EXPECT_TRUE(map.find(L"a") == map.end());
  EXPECT_EQ(map[L"a"], L"");
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(map.count(L"a"), 1u);
}

TEST(PropertyMap, WritingAKeyAgainKeepsOneEntry) {
  qrx::PropertyMap map;
  map[L"downloadCurrent"] = L"1";
  map[L"downloadCurrent"] = L"2";
  map[L"download"] = L"x";
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.find(L"downloadCurrent")->second, L"2");
  EXPECT_EQ(map[L"download"], L"x");
  EXPECT_EQ(map.size(), 2u);
}

// In the order of UTF-16 code units, whatever order they came in: upper case before lower case, a
// prefix before its longer key, surrogates before the characters above them.
TEST(PropertyMap, EntriesRunInCodeUnitOrder) {
  const wchar_t* insertOrders[][7] = {
      {L"b", L"a", L"\uFF21", L"\xD83D\xDE00", L"ab", L"B", L"\u00e9"},
      {L"\u00e9", L"B", L"ab", L"\xD83D\xDE00", L"\uFF21", L"a", L"b"},
      {L"ab", L"\uFF21", L"a", L"\u00e9", L"b", L"\xD83D\xDE00", L"B"},
  };
  for (const auto& order : insertOrders) {
    qrx::PropertyMap map;
    for (const wchar_t* key : order) map[key] = L"1";
    EXPECT_EQ(KeysOf(map), L"B=1,a=1,ab=1,b=1,\u00e9=1,\xD83D\xDE00=1,\uFF21=1,");
  }
}

}  // namespace
