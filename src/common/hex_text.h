// Hexadecimal text. Digits of bytes are written and read by hand: the C runtime's formatted output
// would bring its printf into the executable. A whole number goes through the system's wsprintfW,
// which costs the executable nothing.
#pragma once

#include <string>

namespace qrx {

// The digit for the low four bits of `value`.
inline wchar_t HexDigit(unsigned value, bool upperCase = false) {
  return (upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef")[value & 0xF];
}

// Appends `byte` as two digits.
inline void AppendHexByte(std::wstring& text, unsigned char byte, bool upperCase = false) {
  text += HexDigit(byte >> 4, upperCase);
  text += HexDigit(byte, upperCase);
}

// The shortest lower-case digits of `value`, as "%x" writes them ("0" for zero).
std::wstring HexNumber(unsigned long value);

// The value of one digit of either case; -1 for anything else.
inline int HexDigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace qrx
