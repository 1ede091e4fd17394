// Adds a memory buffer as a new entry to a zip archive file in place. Standard C++ and zlib only
// (zlib for the CRC-32; entries are deflated by our own encoder, deflate_encoder.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zip/nothrow_array.h"

namespace qrx {

constexpr int kZipBestCompression = 9;

// Appends an entry named `name` holding `size` bytes of `data`, stored at `level` 0 and deflated
// (fixed Huffman codes, deflate_encoder.h) at levels 1 to 9; empty data is stored; with zero MS-DOS date and time, no comment and no extra field.
// When `archivePath` does not exist the archive is created, and removed again if the call fails.
// Otherwise its entries are kept, the new entry is written where its central directory began and
// a new central directory follows. An existing archive that is not a valid zip file, or whose
// central directory and end records take more room than the new ones would, is left untouched
// and the call fails. Entries over 2 GiB, and archives that would need Zip64 records, are refused.
bool ZipAddMemoryToArchiveFileInPlace(const char* archivePath, const char* name, const void* data,
                                      size_t size, int level);

// The bytes that follow the existing entries: the new entry's local header and data, the
// central directory (the `oldDirectorySize` bytes of `oldDirectory`, then the new record) and
// the end record. `entryOffset` is where the new local header will start. False when the result
// would need Zip64 records, or when memory runs out.
bool BuildZipTail(const unsigned char* oldDirectory, size_t oldDirectorySize, uint32_t oldEntryCount,
                  uint64_t entryOffset, const std::string& name, const void* data, size_t size,
                  int level, NothrowArray<unsigned char>* tail);

}  // namespace qrx
