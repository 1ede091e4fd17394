// The one hexadecimal digit writer and reader.
#include <gtest/gtest.h>

#include <string>

#include "common/hex_text.h"

namespace {

TEST(HexText, NumbersAsShortestLowerCaseDigits) {
  const struct {
    unsigned long value;
    const wchar_t* text;
  } cases[] = {
      {0, L"0"},
      {9, L"9"},
      {10, L"a"},
      {0xF, L"f"},
      {0x10, L"10"},
      {0x800B0100, L"800b0100"},
      {0xFFFFFFFF, L"ffffffff"},
  };
  for (const auto& c : cases) EXPECT_EQ(qrx::HexNumber(c.value), c.text) << c.value;
}

TEST(HexText, BytesAsTwoDigitsInTheCaseAsked) {
  std::wstring text;
  for (unsigned char byte : {0x00, 0x0A, 0xA0, 0xFF, 0x5C}) qrx::AppendHexByte(text, byte);
  qrx::AppendHexByte(text, 0xAB, true);
  qrx::AppendHexByte(text, 0x0C, true);
  EXPECT_EQ(text, L"000aa0ff5cAB0C");
}

TEST(HexText, DigitValuesOfEitherCase) {
  const struct {
    wchar_t digit;
    int value;
  } cases[] = {
      {L'0', 0}, {L'9', 9}, {L'a', 10}, {L'f', 15}, {L'A', 10}, {L'F', 15},
      {L'g', -1}, {L'G', -1}, {L'/', -1}, {L':', -1}, {L'@', -1}, {L'`', -1}, {L' ', -1}, {L'\0', -1},
      {static_cast<wchar_t>(0xFF10), -1},  // a full-width zero
  };
  for (const auto& c : cases) EXPECT_EQ(qrx::HexDigitValue(c.digit), c.value) << static_cast<int>(c.digit);
}

}  // namespace
