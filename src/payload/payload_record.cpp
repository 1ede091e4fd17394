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

}  // namespace qrx
