#include "payload/payload_record.h"

namespace qrx {

bool RecordName(const PayloadFileHeader& header, std::wstring& name) {
  for (size_t i = 0; i < kRecordNameUnits; ++i) {
    if (header.name[i] == 0) {
      name.assign(header.name, header.name + i);
      return true;
    }
  }
  return false;
}

bool IsSafeRecordName(const std::wstring& name) {
  if (name.empty()) return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of(L"\\/", start);
    const size_t length = (end == std::wstring::npos ? name.size() : end) - start;
    const std::wstring component = name.substr(start, length);
    // Covers a leading separator (empty first component) and doubled or trailing ones.
    if (component.empty() || component == L"." || component == L"..") return false;
    if (component.find(L':') != std::wstring::npos) return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

}  // namespace qrx
