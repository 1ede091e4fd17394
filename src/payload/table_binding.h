// Whether the page table is the one the signed image vouches for: it must lie inside the
// certificate entry, after the PKCS#7 data, and its bytes (records and end record) must have the
// digest the image carries. Pure checks on facts read from the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrx {

// Log line of a refused table and its causes.
extern const wchar_t kLogTableRefused[];
extern const wchar_t kCauseNoDigest[];
extern const wchar_t kCauseNotPe[];
extern const wchar_t kCauseNoEntry[];
extern const wchar_t kCauseOutsideEntry[];
extern const wchar_t kCauseDigestMismatch[];

// What the PE headers and the certificate entry say, as read from the file.
struct SignedLayout {
  uint64_t fileSize = 0;
  uint32_t entryStart = 0;   // the security directory's VirtualAddress (a file offset)
  uint32_t entrySize = 0;    // the security directory's Size
  uint32_t dwLength = 0;     // the entry's own length field
  uint16_t revision = 0;
  uint16_t certificateType = 0;
  uint32_t pkcs7Length = 0;  // the DER element at entryStart + 8, header included; 0 if malformed
};

// Null when a table starting at `tableOffset` and ending (end record included) at `tableEnd`
// lies wholly inside the certificate entry after the PKCS#7 data and before the trailer; else the
// cause. The entry must be a PKCS signed-data entry of revision 2.0 that runs to the end of the file.
const wchar_t* CheckTablePlacement(const SignedLayout& layout, uint64_t tableOffset, uint64_t tableEnd);

// Length of the DER element whose first bytes are `header` (at most 6 of them, `available` given):
// header plus content; 0 when the header is not a well-formed definite-length SEQUENCE.
uint32_t DerSequenceLength(const unsigned char* header, size_t available);

}  // namespace qrx
