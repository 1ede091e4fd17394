#include "support/zip_entries.h"

#include <zlib.h>

#include <cstdint>

namespace qrxtest {

namespace {

uint32_t Read16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
}
uint32_t Read32(const std::string& s, size_t at) { return Read16(s, at) | (Read16(s, at + 2) << 16); }

bool Inflate(const std::string& compressed, size_t size, std::string& out) {
  out.assign(size, '\0');
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(size);
  const int result = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  return result == Z_STREAM_END && stream.total_out == size;
}

}  // namespace

bool ReadZipEntries(const std::string& archive, std::vector<ZipEntry>& entries) {
  entries.clear();
  if (archive.size() < 22) return false;
  size_t end = archive.size() - 22;
  while (Read32(archive, end) != 0x06054b50) {
    if (end == 0) return false;
    --end;
  }
  const uint32_t count = Read16(archive, end + 10);
  size_t at = Read32(archive, end + 16);
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 46 > archive.size() || Read32(archive, at) != 0x02014b50) return false;
    ZipEntry entry;
    entry.method = Read16(archive, at + 10);
    const uint32_t crc = Read32(archive, at + 16);
    const uint32_t compressedSize = Read32(archive, at + 20);
    const uint32_t size = Read32(archive, at + 24);
    const uint32_t nameLength = Read16(archive, at + 28);
    const uint32_t extraLength = Read16(archive, at + 30);
    const uint32_t commentLength = Read16(archive, at + 32);
    const uint32_t localOffset = Read32(archive, at + 42);
    entry.name = archive.substr(at + 46, nameLength);
    if (localOffset + 30 > archive.size() || Read32(archive, localOffset) != 0x04034b50) return false;
    const size_t dataAt = localOffset + 30 + Read16(archive, localOffset + 26) + Read16(archive, localOffset + 28);
    if (dataAt + compressedSize > archive.size()) return false;
    const std::string stored = archive.substr(dataAt, compressedSize);
    if (entry.method == 0) {
      entry.data = stored;
    } else if (entry.method == 8) {
      if (!Inflate(stored, size, entry.data)) return false;
    } else {
      return false;
    }
    entry.crcMatches =
        crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())) == crc;
    entries.push_back(entry);
    at += 46 + nameLength + extraLength + commentLength;
  }
  return true;
}

}  // namespace qrxtest
