// Whole numbers as decimal text.
#include <gtest/gtest.h>

#include <climits>

#include "common/decimal_text.h"

namespace {

TEST(DecimalText, WritesTheShortestDecimalForm) {
  const struct {
    long long value;
    const wchar_t* text;
  } cases[] = {
      {0, L"0"},
      {7, L"7"},
      {10, L"10"},
      {-1, L"-1"},
      {1603, L"1603"},
      {-2147024894, L"-2147024894"},
      {4294967295LL, L"4294967295"},
      {LLONG_MAX, L"9223372036854775807"},
      {LLONG_MIN, L"-9223372036854775808"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qrx::DecimalText(c.value), c.text) << c.value;
  }
}

}  // namespace
