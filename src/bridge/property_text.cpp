#include "bridge/property_text.h"

#include "common/decimal_text.h"

namespace downloadmanagercore {

std::wstring CounterText(LONG value) {
  return qrx::DecimalText(value);
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
