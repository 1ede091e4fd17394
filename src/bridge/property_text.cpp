#include "bridge/property_text.h"

#include <cwchar>

namespace downloadmanagercore {

std::wstring CounterText(LONG value) {
  wchar_t buffer[20] = {};
  std::swprintf(buffer, 20, L"%ld", static_cast<long>(value));
  return buffer;
}

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

std::wstring CaretBeforeAmpersands(const std::wstring& url) {
  std::wstring copy;
  copy.reserve(url.size() + 8);
  for (wchar_t c : url) {
    if (c == L'&') copy += L'^';
    copy += c;
  }
  return copy;
}

}  // namespace downloadmanagercore
