#include "common/hex_text.h"

#include <windows.h>

namespace qrx {

std::wstring HexNumber(unsigned long value) {
  wchar_t text[16];
  wsprintfW(text, L"%lx", value);
  return text;
}

}  // namespace qrx
