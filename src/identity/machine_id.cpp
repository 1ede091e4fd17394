#include "identity/machine_id.h"

#include <objbase.h>

namespace qrx {

const wchar_t kMachineIdPlaceholder[] = L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
const wchar_t kRequestTokenPlaceholder[] = L"XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";

bool NewGuidText(std::wstring& text) {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  wchar_t buffer[64] = {};
  const int length = StringFromGUID2(guid, buffer, 64);
  if (length < 3) return false;
  // Drop the braces; `length` counts the terminator.
  text.assign(buffer + 1, static_cast<size_t>(length) - 3);
  return true;
}

std::wstring NewRequestToken() {
  std::wstring token;
  return NewGuidText(token) ? token : std::wstring(kRequestTokenPlaceholder);
}

// Resolution of a stored or derived identifier is not built yet: every run gets the placeholder.
std::wstring GetMachineId() { return kMachineIdPlaceholder; }

}  // namespace qrx
