#include "common/contained_path.h"

#include <cwctype>

namespace qrx {

namespace {

bool IsDeviceName(const std::wstring& component) {
  // Windows ignores an extension and trailing blanks after a device name.
  std::wstring base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (base == device) return true;
  }
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
    return base[3] >= L'0' && base[3] <= L'9';
  }
  return false;
}

// "", ".", "..", "... ", ".. ." and the like: nothing but dots and blanks, which Windows strips
// from the end of a component, leaving the folder itself or its parent.
bool IsDotsAndBlanks(const std::wstring& component) {
  for (wchar_t c : component) {
    if (c != L'.' && c != L' ') return false;
  }
  return true;
}

}  // namespace

bool IsContainedRelativePath(const std::wstring& name) {
  if (name.empty() || name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of(L"\\/", start);
    const std::wstring component = name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    // An empty first component is a rooted name.
    if (IsDotsAndBlanks(component) || IsDeviceName(component)) return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

}  // namespace qrx
