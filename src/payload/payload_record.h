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

// The end record has a zero first name unit.
inline bool IsEndRecord(const PayloadFileHeader& header) { return header.name[0] == 0; }

// The record's name up to its zero unit; false when the 260 units hold no zero.
bool RecordName(const PayloadFileHeader& header, std::wstring& name);

// A name that stays inside the page folder: relative, no drive or stream colon, no "." or ".."
// component, no empty component.
bool IsSafeRecordName(const std::wstring& name);

}  // namespace qrx
