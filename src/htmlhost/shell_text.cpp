#include "htmlhost/shell_text.h"

namespace htmlui {

std::wstring InsertCaretsBeforeAmpersands(const std::wstring& text) {
  std::wstring result;
  result.reserve(text.size() + text.size() / 4);
  for (wchar_t c : text) {
    if (c == L'&') result += L'^';
    result += c;
  }
  return result;
}

}  // namespace htmlui
