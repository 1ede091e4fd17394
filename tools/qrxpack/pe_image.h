// The parts of a PE image the packer touches: the security directory, the certificate entry
// and the header checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrxpack {

using Bytes = std::vector<uint8_t>;

uint32_t ReadU32(const Bytes& b, size_t at);
uint16_t ReadU16(const Bytes& b, size_t at);
void WriteU32(Bytes& b, size_t at, uint32_t value);

struct PeLayout {
  size_t checksumOffset = 0;     // file offset of the optional header's CheckSum
  size_t securityDirOffset = 0;  // file offset of the security data directory entry
  uint32_t certStart = 0;        // the directory's VirtualAddress (a file offset)
  uint32_t certSize = 0;         // the directory's Size
};

// Finds the headers; false (with `error`) when the file is not a PE image.
bool ParsePe(const Bytes& image, PeLayout& layout, std::string& error);

// The data of resource `type`/`id` (first language): file offset and size. False (with `error`)
// when the image has no such resource or its directory is not well formed.
bool FindResourceData(const Bytes& image, uint32_t type, uint32_t id, size_t& offset, size_t& size, std::string& error);

// The PE checksum of the image with its CheckSum field taken as zero.
uint32_t ComputePeChecksum(const Bytes& image, size_t checksumOffset);

// Length of the DER element at `at` (header included); 0 when it is not well formed or runs
// past `limit`.
size_t DerElementLength(const Bytes& b, size_t at, size_t limit);

}  // namespace qrxpack
