// Whole numbers as decimal text, without the C library's formatted output (which would bring
// MinGW's own printf, about 30 KB, into the executable for a few numbers).
#pragma once

#include <string>

namespace qrx {

// "-42", "0", "4294967295": the shortest decimal form, with a minus sign for negative values.
inline std::wstring DecimalText(long long value) {
  wchar_t digits[24];
  wchar_t* end = digits + 24;
  wchar_t* p = end;
  // Unsigned arithmetic, so that the most negative value has a magnitude too.
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = L'-';
  return std::wstring(p, end);
}

}  // namespace qrx
