// One record of the page table appended to the executable's certificate entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qrx {

inline constexpr size_t kRecordNameUnits = 260;
inline constexpr size_t kRecordHeaderSize = 528;

#pragma pack(push, 1)
// Name in UTF-16 (zero-terminated, zero-padded), then the data size as two 32-bit halves.
struct PayloadFileHeader {
  char16_t name[kRecordNameUnits];
  uint32_t sizeLow;
  uint32_t sizeHigh;
};
#pragma pack(pop)
static_assert(sizeof(PayloadFileHeader) == kRecordHeaderSize, "record header is 528 bytes");

// A set top bit of `sizeHigh` marks a deflated record: its `sizeLow` data bytes are the unpacked
// size (32-bit little-endian) followed by a raw deflate stream. Every other bit of `sizeHigh` stays
// zero, so a table without deflated records reads exactly as before.
inline constexpr uint32_t kRecordDeflated = 0x80000000u;
inline constexpr size_t kDeflatedPrefixSize = 4;
// What inflating may produce: one file (the largest page is about 100 KB), and a whole table.
inline constexpr uint32_t kMaxUnpackedFileSize = 4u << 20;
inline constexpr uint64_t kMaxUnpackedTableSize = 16u << 20;

inline bool IsDeflated(const PayloadFileHeader& header) { return (header.sizeHigh & kRecordDeflated) != 0; }
// The size fields are ones this reader knows: no size bits above 32, a deflated record long
// enough for its prefix.
inline bool HasKnownSizes(const PayloadFileHeader& header) {
  return (header.sizeHigh & ~kRecordDeflated) == 0 && (!IsDeflated(header) || header.sizeLow >= kDeflatedPrefixSize);
}
// The unpacked size a deflated record declares (its data's first four bytes).
inline uint32_t DeclaredUnpackedSize(const unsigned char* data) {
  return static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
}

// The end record has a zero first name unit.
inline bool IsEndRecord(const PayloadFileHeader& header) { return header.name[0] == 0; }

// The record's name up to its zero unit; false when the 260 units hold no zero.
bool RecordName(const PayloadFileHeader& header, std::wstring& name);

}  // namespace qrx
