#include "payload/table_binding.h"

namespace qrx {

const wchar_t kLogTableRefused[] = L"Page table refused: %s";
const wchar_t kCauseNoDigest[] = L"the signed image carries no page table digest";
const wchar_t kCauseNotPe[] = L"the executable's headers cannot be read";
const wchar_t kCauseNoEntry[] = L"no signature entry at the end of the executable";
const wchar_t kCauseOutsideEntry[] = L"the table is not inside the signature entry after the PKCS#7 data";
const wchar_t kCauseDigestMismatch[] = L"the table's digest differs from the one in the signed image";

const wchar_t* CheckTablePlacement(const SignedLayout& layout, uint64_t tableOffset, uint64_t tableEnd) {
  const uint64_t entryEnd = static_cast<uint64_t>(layout.entryStart) + layout.entrySize;
  if (layout.entryStart == 0 || layout.entrySize < 8 || entryEnd != layout.fileSize ||
      layout.dwLength != layout.entrySize || layout.revision != 0x0200 || layout.certificateType != 0x0002 ||
      layout.pkcs7Length == 0) {
    return kCauseNoEntry;
  }
  const uint64_t pkcs7End = static_cast<uint64_t>(layout.entryStart) + 8 + layout.pkcs7Length;
  // The trailer (4 bytes) is the last thing in the entry; the table sits between the two.
  if (pkcs7End > entryEnd || tableOffset < pkcs7End || tableEnd < tableOffset || tableEnd + 4 > entryEnd) {
    return kCauseOutsideEntry;
  }
  return nullptr;
}

uint32_t DerSequenceLength(const unsigned char* header, size_t available) {
  if (available < 2 || header[0] != 0x30) return 0;
  const unsigned first = header[1];
  if (first < 0x80) return 2 + first;
  const size_t count = first & 0x7F;
  // Definite long form with 1 to 4 length bytes.
  if (count == 0 || count > 4 || available < 2 + count) return 0;
  uint64_t length = 0;
  for (size_t i = 0; i < count; ++i) length = length << 8 | header[2 + i];
  length += 2 + count;
  return length > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(length);
}

}  // namespace qrx
