// CRC-32 (the zip and gzip polynomial, reflected 0xEDB88320) and Adler-32, with the arithmetic
// of zlib's crc32() and adler32(): start from 0 and 1 respectively, and pass the last value back
// in to go on with the next piece. The shipped executable routes zlib's own two functions here
// (src/app/lean_runtime.cpp): zlib's CRC tables alone are over 5 KB.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrx {

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size);
uint32_t Adler32Update(uint32_t adler, const unsigned char* data, size_t size);

}  // namespace qrx
