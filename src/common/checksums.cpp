#include "common/checksums.h"

namespace qrx {
namespace {

// One entry per byte value: the byte's remainder shifted through eight steps of the polynomial.
// Filled before main by the constructor below rather than stored in the executable (1 KB less);
// nothing computes a checksum during static initialisation. Placed in .bss by name: with
// -fdata-sections, MinGW's GCC gives a zeroed array a section of its own that takes file space.
__attribute__((section(".bss"))) uint32_t crcTable[256];

struct CrcTableFiller {
  CrcTableFiller() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      crcTable[n] = c;
    }
  }
};
const CrcTableFiller kCrcTableFiller;

constexpr uint32_t kAdlerBase = 65521;  // the largest prime below 2^16
// The most bytes whose sums cannot overflow 32 bits before they are reduced.
constexpr size_t kAdlerRun = 5552;

}  // namespace

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = crcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32Update(uint32_t adler, const unsigned char* data, size_t size) {
  uint32_t a = adler & 0xFFFF;
  uint32_t b = adler >> 16;
  do {  // reduces once even for no bytes, as zlib does
    const size_t run = size < kAdlerRun ? size : kAdlerRun;
    for (size_t i = 0; i < run; ++i) {
      a += data[i];
      b += a;
    }
    a %= kAdlerBase;
    b %= kAdlerBase;
    data += run;
    size -= run;
  } while (size > 0);
  return (b << 16) | a;
}

}  // namespace qrx
