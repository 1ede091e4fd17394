#include "zip/entry_path.h"

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

bool IsParentLike(const std::wstring& component) {
  // "..", "... ", ".. ." and the like all end up as ".." once Windows strips trailing dots and
  // blanks; "." and names with anything else in them are harmless.
  if (component == L".") return false;
  for (wchar_t c : component) {
    if (c != L'.' && c != L' ') return false;
  }
  return !component.empty();
}

}  // namespace

bool IsContainedEntryPath(const std::wstring& name) {
  if (name.empty() || name[0] == L'\\') return false;
  if (name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find(L'\\', start);
    if (end == std::wstring::npos) end = name.size();
    const std::wstring component = name.substr(start, end - start);
    if (IsParentLike(component) || IsDeviceName(component)) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace qrx
