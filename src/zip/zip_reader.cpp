#include "zip/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "common/scope_guard.h"
#include "zip/zip_format.h"

namespace qrx {

using namespace zipformat;

namespace {

constexpr size_t kChunk = 64 * 1024;
constexpr uint32_t kMax32 = 0xFFFFFFFF;

// `offset + size <= limit` without overflow.
bool Fits(uint64_t offset, uint64_t size, uint64_t limit) {
  return size <= limit && offset <= limit - size;
}

// Sizes that the entry's Zip64 extra field replaces, in the order the field stores them.
bool ApplyZip64Extra(const unsigned char* extra, size_t length, uint32_t rawUncompressed,
                     uint32_t rawCompressed, uint32_t rawOffset, ZipEntry* entry) {
  size_t at = 0;
  while (length - at >= 4) {
    const uint16_t id = Read16(extra + at);
    const uint16_t size = Read16(extra + at + 2);
    at += 4;
    if (size > length - at) return false;
    if (id == kZip64ExtraId) {
      const unsigned char* field = extra + at;
      size_t left = size;
      auto take = [&](uint64_t* value) {
        if (left < 8) return false;
        *value = Read64(field);
        field += 8;
        left -= 8;
        return true;
      };
      if (rawUncompressed == kMax32 && !take(&entry->uncompressedSize)) return false;
      if (rawCompressed == kMax32 && !take(&entry->compressedSize)) return false;
      if (rawOffset == kMax32 && !take(&entry->localHeaderOffset)) return false;
      return true;
    }
    at += size;
  }
  return true;
}

}  // namespace

bool ZipReader::Init(ZipReadFunc read, void* context) {
  if (read == nullptr || initialised_) return false;
  read_ = read;
  context_ = context;
  initialised_ = true;
  reading_ = false;
  return true;
}

void ZipReader::End() {
  read_ = nullptr;
  context_ = nullptr;
  initialised_ = false;
  reading_ = false;
  archiveSize_ = 0;
  centralDirectoryOffset_ = 0;
  prefixSize_ = 0;
  directory_.Release();
  records_.Release();
}

bool ZipReader::ReadExact(uint64_t offset, void* buffer, size_t count) const {
  if (!Fits(offset, count, archiveSize_)) return false;
  return read_(context_, offset, buffer, count) == count;
}

bool ZipReader::FindEnd(uint64_t* endOffset, unsigned char* end) const {
  if (archiveSize_ < kEndSize) return false;
  const size_t tailSize =
      static_cast<size_t>(std::min<uint64_t>(archiveSize_, kEndSize + kMaxCommentSize));
  NothrowArray<unsigned char> tail;
  if (!tail.Resize(tailSize)) return false;
  const uint64_t tailOffset = archiveSize_ - tailSize;
  if (!ReadExact(tailOffset, tail.data(), tailSize)) return false;
  // The last record whose comment fits in the file; a comment may itself hold the signature.
  for (size_t at = tailSize - kEndSize + 1; at-- > 0;) {
    if (Read32(&tail[at]) != kEndSignature) continue;
    if (Read16(&tail[at + 20]) > tailSize - kEndSize - at) continue;
    std::copy(tail.data() + at, tail.data() + at + kEndSize, end);
    *endOffset = tailOffset + at;
    return true;
  }
  return false;
}

ZipReader::Zip64Status ZipReader::ReadZip64End(uint64_t endOffset, Zip64End* end) const {
  if (endOffset < kZip64LocatorSize) return Zip64Status::Absent;
  unsigned char locator[kZip64LocatorSize];
  const uint64_t locatorOffset = endOffset - kZip64LocatorSize;
  if (!ReadExact(locatorOffset, locator, sizeof locator)) return Zip64Status::Absent;
  if (Read32(locator) != kZip64LocatorSignature) return Zip64Status::Absent;
  if (Read32(locator + 4) != 0 || Read32(locator + 16) > 1) return Zip64Status::Invalid;  // spanned
  // The locator's offset does not count data put in front of the archive; the record then sits
  // where it always does without an extensible data sector, right before the locator.
  unsigned char record[kZip64EndSize];
  uint64_t at = Read64(locator + 8);
  if (!Fits(at, kZip64EndSize, locatorOffset) || !ReadExact(at, record, sizeof record) ||
      Read32(record) != kZip64EndSignature) {
    if (locatorOffset < kZip64EndSize) return Zip64Status::Absent;
    at = locatorOffset - kZip64EndSize;
    if (!ReadExact(at, record, sizeof record) || Read32(record) != kZip64EndSignature) {
      return Zip64Status::Absent;
    }
  }
  end->disk = Read32(record + 16);
  end->directoryDisk = Read32(record + 20);
  end->entriesOnDisk = Read64(record + 24);
  end->count = Read64(record + 32);
  end->size = Read64(record + 40);
  end->offset = Read64(record + 48);
  end->recordOffset = at;
  return Zip64Status::Found;
}

bool ZipReader::HasCentralSignature(uint64_t offset) const {
  unsigned char signature[4];
  return ReadExact(offset, signature, sizeof signature) && Read32(signature) == kCentralHeaderSignature;
}

bool ZipReader::ReadCentralDirectory(uint64_t archiveSize) {
  if (!initialised_ || reading_) return false;
  archiveSize_ = archiveSize;
  unsigned char end[kEndSize];
  uint64_t endOffset = 0;
  if (!FindEnd(&endOffset, end)) return false;
  uint64_t disk = Read16(end + 4);
  uint64_t directoryDisk = Read16(end + 6);
  uint64_t entriesOnDisk = Read16(end + 8);
  uint64_t count = Read16(end + 10);
  uint64_t size = Read32(end + 12);
  uint64_t offset = Read32(end + 16);
  uint64_t directoryEnd = endOffset;  // where the directory really ends

  // The Zip64 end record holds the values the classic record could not (0xFFFF, 0xFFFFFFFF).
  Zip64End end64;
  switch (ReadZip64End(endOffset, &end64)) {
    case Zip64Status::Invalid:
      return false;
    case Zip64Status::Found:
      if (disk == 0xFFFF) disk = end64.disk;
      if (directoryDisk == 0xFFFF) directoryDisk = end64.directoryDisk;
      if (end64.disk != 0 || end64.directoryDisk != 0) return false;  // spanned archives
      entriesOnDisk = end64.entriesOnDisk;
      count = end64.count;
      size = end64.size;
      offset = end64.offset;
      directoryEnd = end64.recordOffset;
      break;
    case Zip64Status::Absent:
      break;
  }
  if (disk != 0 || directoryDisk != 0) return false;  // spanned archives
  if (entriesOnDisk != count) return false;
  return LoadDirectory(offset, size, count, directoryEnd);
}

bool ZipReader::LoadDirectory(uint64_t offset, uint64_t size, uint64_t count, uint64_t directoryEnd) {
  // Data in front of the archive that its offsets do not count (a stub, padding) shifts
  // everything by the gap between where the directory ends and where the records say it ends.
  // When the shifted position holds no directory but the recorded one does, the gap lies
  // between the directory and the end record instead.
  if (!Fits(offset, size, directoryEnd)) return false;
  uint64_t shift = directoryEnd - offset - size;
  if (shift != 0 && count != 0 && !HasCentralSignature(offset + shift) && HasCentralSignature(offset)) {
    shift = 0;
  }
  offset += shift;
  if (count > size / kCentralHeaderSize) return false;
  if (count > std::numeric_limits<uint32_t>::max()) return false;
  if (size > std::numeric_limits<size_t>::max()) return false;

  // Nothing is kept from a directory that fails part way.
  auto dropDirectory = MakeScopeGuard([this] {
    directory_.Release();
    records_.Release();
  });
  if (!directory_.Resize(static_cast<size_t>(size))) return false;
  if (size != 0 && !ReadExact(offset, directory_.data(), directory_.size())) return false;
  centralDirectoryOffset_ = offset;
  prefixSize_ = shift;
  if (!IndexEntries(count)) return false;
  dropDirectory.release();
  reading_ = true;
  return true;
}

bool ZipReader::IndexEntries(uint64_t count) {
  if (!records_.Resize(0) || !records_.Reserve(static_cast<size_t>(count))) return false;
  size_t position = 0;
  for (uint64_t i = 0; i < count; ++i) {
    ZipEntry entry;
    size_t next = 0;
    if (!ParseRecord(position, &entry, &next) || !records_.Append(&position, 1)) {
      records_.Resize(0);
      return false;
    }
    position = next;
  }
  return true;
}

bool ZipReader::ParseRecord(size_t position, ZipEntry* entry, size_t* next) const {
  const size_t available = directory_.size() - std::min(position, directory_.size());
  if (available < kCentralHeaderSize) return false;
  const unsigned char* p = directory_.data() + position;
  if (Read32(p) != kCentralHeaderSignature) return false;
  const size_t nameLength = Read16(p + 28);
  const size_t extraLength = Read16(p + 30);
  const size_t commentLength = Read16(p + 32);
  const size_t recordSize = kCentralHeaderSize + nameLength + extraLength + commentLength;
  if (recordSize > available) return false;

  entry->versionMadeBy = Read16(p + 4);
  entry->versionNeeded = Read16(p + 6);
  entry->flags = Read16(p + 8);
  entry->method = Read16(p + 10);
  entry->dosTime = Read16(p + 12);
  entry->dosDate = Read16(p + 14);
  entry->crc32 = Read32(p + 16);
  const uint32_t rawCompressed = Read32(p + 20);
  const uint32_t rawUncompressed = Read32(p + 24);
  const uint32_t rawOffset = Read32(p + 42);
  entry->compressedSize = rawCompressed;
  entry->uncompressedSize = rawUncompressed;
  entry->localHeaderOffset = rawOffset;
  entry->externalAttributes = Read32(p + 38);
  const char* name = reinterpret_cast<const char*>(p + kCentralHeaderSize);
  entry->name.assign(name, nameLength);
  if (!ApplyZip64Extra(p + kCentralHeaderSize + nameLength, extraLength, rawUncompressed,
                       rawCompressed, rawOffset, entry)) {
    return false;
  }
  // Offsets count from the start of the archive proper.
  if (!Fits(entry->localHeaderOffset, prefixSize_, archiveSize_)) return false;
  entry->localHeaderOffset += prefixSize_;
  // The entry's local header and data must lie inside the archive.
  if (!Fits(entry->localHeaderOffset, kLocalHeaderSize, archiveSize_)) return false;
  if (!Fits(entry->localHeaderOffset + kLocalHeaderSize, entry->compressedSize, archiveSize_)) {
    return false;
  }
  *next = position + recordSize;
  return true;
}

bool ZipReader::GetEntry(uint32_t index, ZipEntry* entry) const {
  if (!reading_ || index >= records_.size() || entry == nullptr) return false;
  size_t next = 0;
  return ParseRecord(records_[index], entry, &next);
}

bool ZipReader::IsDirectory(uint32_t index) const {
  ZipEntry entry;
  if (!GetEntry(index, &entry)) return false;
  if (!entry.name.empty() && entry.name.back() == '/') return true;
  return (entry.externalAttributes & kDosDirectoryAttribute) != 0;
}

bool ZipReader::DataOffset(const ZipEntry& entry, uint64_t* offset) const {
  unsigned char local[kLocalHeaderSize];
  if (!ReadExact(entry.localHeaderOffset, local, sizeof local)) return false;
  if (Read32(local) != kLocalHeaderSignature) return false;
  const uint64_t at =
      entry.localHeaderOffset + kLocalHeaderSize + Read16(local + 26) + Read16(local + 28);
  if (!Fits(at, entry.compressedSize, archiveSize_)) return false;
  *offset = at;
  return true;
}

// Takes an entry's data in order: checks it against the recorded size, sums its CRC-32 and
// hands it to the caller's write callback.
struct ZipReader::EntrySink {
  ZipWriteFunc write;
  void* context;
  uint64_t expected;
  uint64_t written;
  uLong crc;

  bool Deliver(const unsigned char* data, size_t size) {
    if (size == 0) return true;
    if (size > expected - written) return false;  // more than the record says
    crc = crc32(crc, data, static_cast<uInt>(size));
    if (write(context, written, data, size) != size) return false;
    written += size;
    return true;
  }
};

bool ZipReader::CopyStored(const ZipEntry& entry, uint64_t dataOffset, unsigned char* input, EntrySink& sink) const {
  uint64_t consumed = 0;
  while (consumed < entry.compressedSize) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, entry.compressedSize - consumed));
    if (!ReadExact(dataOffset + consumed, input, n)) return false;
    consumed += n;
    if (!sink.Deliver(input, n)) return false;
  }
  return true;
}

bool ZipReader::Inflate(const ZipEntry& entry, uint64_t dataOffset, unsigned char* input, EntrySink& sink) const {
  NothrowArray<unsigned char> output;
  if (!output.Resize(kChunk)) return false;
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  auto streamGuard = MakeScopeGuard([&stream] { inflateEnd(&stream); });
  uint64_t consumed = 0;
  for (;;) {
    if (stream.avail_in == 0 && consumed < entry.compressedSize) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, entry.compressedSize - consumed));
      if (!ReadExact(dataOffset + consumed, input, n)) return false;
      consumed += n;
      stream.next_in = input;
      stream.avail_in = static_cast<uInt>(n);
    }
    const uInt inputBefore = stream.avail_in;
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return false;
    const size_t produced = output.size() - stream.avail_out;
    if (!sink.Deliver(output.data(), produced)) return false;
    if (status == Z_STREAM_END) return true;
    // A call that filled the output may have taken the last input and still owe output, so
    // running out of input fails only once a call moves nothing: the data ends too early.
    if (produced == 0 && stream.avail_in == inputBefore) return false;
  }
}

bool ZipReader::ExtractToCallback(uint32_t index, ZipWriteFunc write, void* context) {
  ZipEntry entry;
  if (write == nullptr || !GetEntry(index, &entry)) return false;
  if (entry.flags & (kFlagEncrypted | kFlagPatched)) return false;
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) return false;
  uint64_t dataOffset = 0;
  if (!DataOffset(entry, &dataOffset)) return false;
  if (entry.compressedSize == 0 && entry.uncompressedSize == 0) return true;
  if (entry.method == kMethodStored && entry.compressedSize != entry.uncompressedSize) return false;

  NothrowArray<unsigned char> input;
  if (!input.Resize(kChunk)) return false;
  EntrySink sink = {write, context, entry.uncompressedSize, 0, crc32(0L, Z_NULL, 0)};
  const bool copied = entry.method == kMethodStored ? CopyStored(entry, dataOffset, input.data(), sink)
                                                    : Inflate(entry, dataOffset, input.data(), sink);
  return copied && sink.written == entry.uncompressedSize && sink.crc == entry.crc32;
}

}  // namespace qrx
