// A zip archive reader over a caller's read callback. Standard C++ and zlib only.
//
// Every offset, count and size taken from the archive is checked against the archive's size
// before it is used, and nothing is allocated beyond what the archive itself could hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zip/nothrow_array.h"

namespace qrx {

// Reads `count` bytes at `offset` into `buffer`; returns the number of bytes read.
using ZipReadFunc = size_t (*)(void* context, uint64_t offset, void* buffer, size_t count);
// Takes the next `count` bytes of an entry's data (delivered in order; `offset` is where they
// belong in the entry); returns the number of bytes it took.
using ZipWriteFunc = size_t (*)(void* context, uint64_t offset, const void* buffer, size_t count);

// One central-directory record.
struct ZipEntry {
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc32 = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint32_t externalAttributes = 0;
  std::string name;  // the raw name bytes
};

class ZipReader {
 public:
  // Installs the read callback; the reader is then initialised but not yet reading.
  bool Init(ZipReadFunc read, void* context);
  // Reads and indexes the central directory of an archive of `archiveSize` bytes. Data in front
  // of the archive that its offsets do not count, and data after its end record, are allowed.
  bool ReadCentralDirectory(uint64_t archiveSize);
  // Drops everything; the reader can be initialised again.
  void End();

  bool IsReading() const { return reading_; }
  uint64_t ArchiveSize() const { return archiveSize_; }
  uint32_t EntryCount() const { return static_cast<uint32_t>(records_.size()); }
  // The entry's central-directory record; false when not reading or the index is out of range.
  bool GetEntry(uint32_t index, ZipEntry* entry) const;
  // The name ends with "/" or the MS-DOS directory attribute is set.
  bool IsDirectory(uint32_t index) const;
  // Stored and deflated entries only; fails on encrypted or patched entries, a missing local
  // header, sizes that do not fit the archive, corrupt data, a CRC-32 mismatch, or a write
  // callback that takes fewer bytes than it was given. An entry with both sizes zero succeeds
  // without calling `write`.
  bool ExtractToCallback(uint32_t index, ZipWriteFunc write, void* context);
  // Offset just past the last entry's data, where a new entry can be written: the start of the
  // central directory.
  uint64_t CentralDirectoryOffset() const { return centralDirectoryOffset_; }
  // Bytes in front of the archive that its recorded offsets do not count; every offset this
  // reader reports already includes them.
  uint64_t PrefixSize() const { return prefixSize_; }
  // The central directory's records as read (their offsets without the prefix).
  const NothrowArray<unsigned char>& CentralDirectory() const { return directory_; }

 private:
  bool ReadExact(uint64_t offset, void* buffer, size_t count) const;
  bool FindEnd(uint64_t* endOffset, unsigned char* end) const;
  struct Zip64End {
    uint64_t disk = 0;
    uint64_t directoryDisk = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t count = 0;
    uint64_t size = 0;
    uint64_t offset = 0;
    uint64_t recordOffset = 0;  // where the record really is
  };
  enum class Zip64Status { Absent, Found, Invalid };
  Zip64Status ReadZip64End(uint64_t endOffset, Zip64End* end) const;
  bool HasCentralSignature(uint64_t offset) const;
  bool IndexEntries(uint64_t count);
  // Parses the record at `position` of the directory, checking it against the archive; on
  // success `next` is the position of the following record.
  bool ParseRecord(size_t position, ZipEntry* entry, size_t* next) const;
  bool DataOffset(const ZipEntry& entry, uint64_t* offset) const;
  // The directory of `count` records and `size` bytes recorded at `offset`, whose real end is at
  // `directoryEnd`: read, indexed and checked; the reader is then reading.
  bool LoadDirectory(uint64_t offset, uint64_t size, uint64_t count, uint64_t directoryEnd);
  struct EntrySink;
  // An entry's data, stored or deflated, through `input` (one chunk) into `sink`.
  bool CopyStored(const ZipEntry& entry, uint64_t dataOffset, unsigned char* input, EntrySink& sink) const;
  bool Inflate(const ZipEntry& entry, uint64_t dataOffset, unsigned char* input, EntrySink& sink) const;

  ZipReadFunc read_ = nullptr;
  void* context_ = nullptr;
  bool initialised_ = false;
  bool reading_ = false;
  uint64_t archiveSize_ = 0;
  uint64_t centralDirectoryOffset_ = 0;
  uint64_t prefixSize_ = 0;
  NothrowArray<unsigned char> directory_;  // the central directory as read
  NothrowArray<size_t> records_;           // where each entry's record starts in it
};

}  // namespace qrx
