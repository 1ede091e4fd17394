#include "pe_image.h"

namespace qrxpack {

uint32_t ReadU32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t ReadU16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

void WriteU32(Bytes& b, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool ParsePe(const Bytes& image, PeLayout& layout, std::string& error) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') {
    error = "not an MZ image";
    return false;
  }
  const size_t pe = ReadU32(image, 0x3C);
  if (pe + 24 > image.size() || ReadU32(image, pe) != 0x00004550) {
    error = "no PE signature";
    return false;
  }
  const size_t optional = pe + 24;
  const size_t optionalSize = ReadU16(image, pe + 20);
  if (optional + optionalSize > image.size() || optionalSize < 2) {
    error = "optional header past the end";
    return false;
  }
  const uint16_t magic = ReadU16(image, optional);
  size_t directories = 0;
  if (magic == 0x10B) {
    directories = optional + 96;
  } else if (magic == 0x20B) {
    directories = optional + 112;
  } else {
    error = "unknown optional header magic";
    return false;
  }
  const size_t directoryCount = ReadU32(image, directories - 4);
  if (directoryCount < 5 || directories + 5 * 8 > optional + optionalSize) {
    error = "no security directory";
    return false;
  }
  layout.checksumOffset = optional + 64;
  layout.securityDirOffset = directories + 4 * 8;
  layout.certStart = ReadU32(image, layout.securityDirOffset);
  layout.certSize = ReadU32(image, layout.securityDirOffset + 4);
  return true;
}

uint32_t ComputePeChecksum(const Bytes& image, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < image.size(); i += 2) {
    if (i >= checksumOffset && i < checksumOffset + 4) continue;
    uint32_t word = image[i];
    if (i + 1 < image.size()) word |= static_cast<uint32_t>(image[i + 1]) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + image.size());
}

size_t DerElementLength(const Bytes& b, size_t at, size_t limit) {
  if (at + 2 > limit) return 0;
  size_t header = 2;
  size_t length = b[at + 1];
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || at + 2 + count > limit) return 0;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | b[at + 2 + i];
    header += count;
  }
  if (length > limit - at - header) return 0;
  return header + length;
}

namespace {

// File offset of a relative virtual address, through the section table.
bool RvaToOffset(const Bytes& image, uint32_t rva, size_t& offset) {
  const size_t pe = ReadU32(image, 0x3C);
  const size_t sections = pe + 24 + ReadU16(image, pe + 20);
  const size_t count = ReadU16(image, pe + 6);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = sections + i * 40;
    if (at + 40 > image.size()) return false;
    const uint32_t virtualSize = ReadU32(image, at + 8);
    const uint32_t virtualAddress = ReadU32(image, at + 12);
    const uint32_t rawSize = ReadU32(image, at + 16);
    const uint32_t rawOffset = ReadU32(image, at + 20);
    const uint32_t span = virtualSize > rawSize ? virtualSize : rawSize;
    if (rva >= virtualAddress && rva - virtualAddress < span) {
      offset = static_cast<size_t>(rawOffset) + (rva - virtualAddress);
      return offset < image.size();
    }
  }
  return false;
}

// The entry for `id` in the resource directory at `directory`: its OffsetToData field.
bool FindResourceEntry(const Bytes& image, size_t base, size_t directory, uint32_t id, bool anyId, uint32_t& target) {
  if (directory + 16 > image.size()) return false;
  const size_t named = ReadU16(image, directory + 12);
  const size_t ids = ReadU16(image, directory + 14);
  for (size_t i = 0; i < named + ids; ++i) {
    const size_t entry = directory + 16 + i * 8;
    if (entry + 8 > image.size()) return false;
    const uint32_t name = ReadU32(image, entry);
    if (anyId || (!(name & 0x80000000u) && name == id)) {
      target = ReadU32(image, entry + 4);
      return base != 0;
    }
  }
  return false;
}

}  // namespace

bool FindResourceData(const Bytes& image, uint32_t type, uint32_t id, size_t& offset, size_t& size, std::string& error) {
  PeLayout layout;
  if (!ParsePe(image, layout, error)) return false;
  // The resource directory is data directory 2, two entries before the security directory.
  const size_t resourceDir = layout.securityDirOffset - 2 * 8;
  const uint32_t rva = ReadU32(image, resourceDir);
  size_t base = 0;
  if (rva == 0 || !RvaToOffset(image, rva, base)) {
    error = "no resources";
    return false;
  }
  uint32_t level = 0;
  if (!FindResourceEntry(image, base, base, type, false, level) || !(level & 0x80000000u) ||
      !FindResourceEntry(image, base, base + (level & 0x7FFFFFFFu), id, false, level) || !(level & 0x80000000u) ||
      !FindResourceEntry(image, base, base + (level & 0x7FFFFFFFu), 0, true, level) || (level & 0x80000000u)) {
    error = "no resource " + std::to_string(type) + "/" + std::to_string(id);
    return false;
  }
  const size_t dataEntry = base + level;
  if (dataEntry + 8 > image.size() || !RvaToOffset(image, ReadU32(image, dataEntry), offset)) {
    error = "resource data entry out of the image";
    return false;
  }
  size = ReadU32(image, dataEntry + 4);
  if (size > image.size() - offset) {
    error = "resource data past the end";
    return false;
  }
  return true;
}

}  // namespace qrxpack
