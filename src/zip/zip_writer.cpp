#include "zip/zip_writer.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#endif

#include "common/scope_guard.h"
#include "zip/deflate_encoder.h"
#include "zip/zip_format.h"
#include "zip/zip_reader.h"

namespace qrx {

using namespace zipformat;

namespace {

constexpr uint64_t kMax32 = 0xFFFFFFFF;
constexpr size_t kMaxEntryData = 0x7FFFFFFF;
constexpr uint16_t kVersionMadeBy = 20;  // MS-DOS host, format 2.0
constexpr uint16_t kVersionStored = 10;
constexpr uint16_t kVersionDeflated = 20;

// On Windows through the C runtime's 64-bit positions (fpos_t is the byte offset there), as
// MinGW's fseeko64 and ftello64 do; calling them would link their 0.3 KB of general code.
int Seek(FILE* file, uint64_t offset) {
#ifdef _WIN32
  const fpos_t position = static_cast<fpos_t>(offset);
  return fsetpos(file, &position);
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// Leaves the file positioned at its end.
bool FileSize(FILE* file, uint64_t* size) {
#ifdef _WIN32
  fflush(file);  // what is still buffered counts too
  const long long at = _filelengthi64(_fileno(file));
  if (at < 0) return false;
  const fpos_t end = at;
  if (fsetpos(file, &end) != 0) return false;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t at = ftello(file);
#endif
  if (at < 0) return false;
  *size = static_cast<uint64_t>(at);
  return true;
}

size_t ReadFromFile(void* context, uint64_t offset, void* buffer, size_t count) {
  FILE* file = static_cast<FILE*>(context);
  if (Seek(file, offset) != 0) return 0;
  return fread(buffer, 1, count, file);
}

bool WriteAt(FILE* file, uint64_t offset, const NothrowArray<unsigned char>& bytes) {
  if (Seek(file, offset) != 0) return false;
  if (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) return false;
  return fflush(file) == 0;
}

bool Append(NothrowArray<unsigned char>* to, const void* bytes, size_t size) {
  return to->Append(static_cast<const unsigned char*>(bytes), size);
}

// What the local header and the central record of the new entry both say.
struct NewEntry {
  uint16_t version;
  uint16_t method;
  uint32_t crc;
  uint32_t packedSize;
  uint32_t size;
  uint16_t nameLength;
};

void AppendLocalHeader(NothrowArray<unsigned char>* tail, const NewEntry& entry) {
  unsigned char local[kLocalHeaderSize] = {};
  Write32(local, kLocalHeaderSignature);
  Write16(local + 4, entry.version);
  Write16(local + 8, entry.method);  // flags 0, time and date 0
  Write32(local + 14, entry.crc);
  Write32(local + 18, entry.packedSize);
  Write32(local + 22, entry.size);
  Write16(local + 26, entry.nameLength);
  Append(tail, local, sizeof local);
}

void AppendCentralRecord(NothrowArray<unsigned char>* tail, const NewEntry& entry, uint32_t entryOffset) {
  unsigned char central[kCentralHeaderSize] = {};
  Write32(central, kCentralHeaderSignature);
  Write16(central + 4, kVersionMadeBy);
  Write16(central + 6, entry.version);
  Write16(central + 10, entry.method);
  Write32(central + 16, entry.crc);
  Write32(central + 20, entry.packedSize);
  Write32(central + 24, entry.size);
  Write16(central + 28, entry.nameLength);
  Write32(central + 42, entryOffset);
  Append(tail, central, sizeof central);
}

void AppendEndRecord(NothrowArray<unsigned char>* tail, uint32_t entryCount, uint32_t directorySize,
                     uint32_t directoryOffset) {
  unsigned char end[kEndSize] = {};
  Write32(end, kEndSignature);
  Write16(end + 8, static_cast<uint16_t>(entryCount));
  Write16(end + 10, static_cast<uint16_t>(entryCount));
  Write32(end + 12, directorySize);
  Write32(end + 16, directoryOffset);
  Append(tail, end, sizeof end);
}

// The directory, entry count and offset of the existing archive open in `file`, and its bytes
// from that offset on (to put back if writing fails part way).
bool ReadExistingTail(FILE* file, NothrowArray<unsigned char>* directory, uint32_t* count, uint64_t* entryOffset,
                      NothrowArray<unsigned char>* oldTail) {
  uint64_t fileSize = 0;
  if (!FileSize(file, &fileSize)) return false;
  ZipReader reader;
  reader.Init(ReadFromFile, file);
  auto endReader = MakeScopeGuard([&reader] { reader.End(); });
  if (!reader.ReadCentralDirectory(fileSize)) return false;
  // Kept records would count from the archive proper but the new one from the file's start.
  if (reader.PrefixSize() != 0) return false;
  const NothrowArray<unsigned char>& records = reader.CentralDirectory();
  if (!directory->Assign(records.data(), records.size())) return false;
  *count = reader.EntryCount();
  *entryOffset = reader.CentralDirectoryOffset();
  const uint64_t tailSize = fileSize - *entryOffset;
  if (tailSize > SIZE_MAX || !oldTail->Resize(static_cast<size_t>(tailSize))) return false;
  return ReadFromFile(file, *entryOffset, oldTail->data(), oldTail->size()) == oldTail->size();
}

}  // namespace

bool BuildZipTail(const unsigned char* oldDirectory, size_t oldDirectorySize, uint32_t oldEntryCount,
                  uint64_t entryOffset, const std::string& name, const void* data, size_t size,
                  int level, NothrowArray<unsigned char>* tail) {
  if (level < 0 || level > 9 || name.empty() || name.size() > 0xFFFF) return false;
  if (size > kMaxEntryData || (size != 0 && data == nullptr)) return false;
  if (oldEntryCount >= 0xFFFF) return false;
  const bool stored = size == 0 || level == 0;
  NothrowArray<unsigned char> packed;
  if (!stored && !DeflateFixedHuffman(static_cast<const unsigned char*>(data), size, &packed)) return false;
  const size_t packedSize = stored ? size : packed.size();
  const uint32_t crc =
      static_cast<uint32_t>(size == 0 ? 0 : crc32(crc32(0L, Z_NULL, 0), static_cast<const Bytef*>(data),
                                                  static_cast<uInt>(size)));
  const uint64_t directoryOffset = entryOffset + kLocalHeaderSize + name.size() + packedSize;
  const uint64_t directorySize = oldDirectorySize + kCentralHeaderSize + name.size();
  if (entryOffset > kMax32 || directoryOffset > kMax32 || directorySize > kMax32 ||
      directoryOffset + directorySize > kMax32) {
    return false;
  }
  const NewEntry entry = {stored ? kVersionStored : kVersionDeflated, stored ? kMethodStored : kMethodDeflated, crc,
                          static_cast<uint32_t>(packedSize), static_cast<uint32_t>(size),
                          static_cast<uint16_t>(name.size())};

  const uint64_t tailSize = kLocalHeaderSize + name.size() + packedSize + directorySize + kEndSize;
  if (!tail->Resize(0) || !tail->Reserve(static_cast<size_t>(tailSize))) return false;
  // Everything below fits in what was reserved, so the appends cannot fail.
  AppendLocalHeader(tail, entry);
  Append(tail, name.data(), name.size());
  Append(tail, stored ? data : packed.data(), packedSize);
  Append(tail, oldDirectory, oldDirectorySize);
  AppendCentralRecord(tail, entry, static_cast<uint32_t>(entryOffset));
  Append(tail, name.data(), name.size());
  AppendEndRecord(tail, oldEntryCount + 1, static_cast<uint32_t>(directorySize), static_cast<uint32_t>(directoryOffset));
  return true;
}

bool ZipAddMemoryToArchiveFileInPlace(const char* archivePath, const char* name, const void* data,
                                      size_t size, int level) {
  if (archivePath == nullptr || name == nullptr) return false;
  FILE* file = fopen(archivePath, "r+b");
  bool created = false;
  if (file == nullptr) {
    if (FILE* existing = fopen(archivePath, "rb")) {  // there, but not writable
      fclose(existing);
      return false;
    }
    file = fopen(archivePath, "wb");
    if (file == nullptr) return false;
    created = true;
  }
  bool closed = false;
  auto cleanup = MakeScopeGuard([&] {
    if (!closed) fclose(file);
    if (created) remove(archivePath);
  });

  NothrowArray<unsigned char> oldDirectory;
  NothrowArray<unsigned char> oldTail;
  uint32_t oldCount = 0;
  uint64_t entryOffset = 0;
  if (!created && !ReadExistingTail(file, &oldDirectory, &oldCount, &entryOffset, &oldTail)) return false;

  NothrowArray<unsigned char> tail;
  if (!BuildZipTail(oldDirectory.data(), oldDirectory.size(), oldCount, entryOffset, name, data, size,
                    level, &tail)) {
    return false;
  }
  // Without a way to shorten the file, a shorter tail would leave old end records behind.
  if (tail.size() < oldTail.size()) return false;

  if (!WriteAt(file, entryOffset, tail)) {
    if (!created) WriteAt(file, entryOffset, oldTail);
    return false;
  }
  closed = true;
  if (fclose(file) != 0) {
    return false;
  }
  cleanup.release();
  return true;
}

}  // namespace qrx
