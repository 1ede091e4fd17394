// The page table: records appended after the PKCS#7 blob inside the certificate entry.
#pragma once

#include <string>
#include <vector>

#include "pe_image.h"

namespace qrxpack {

struct PageFile {
  std::string name;  // UTF-8, folders separated by backslashes
  Bytes data;            // the file's own bytes
  bool deflated = false;  // read back: the record was stored deflated
};

// Every file under `dir`, named by its relative path with backslashes, in name order.
bool CollectPages(const std::string& dir, std::vector<PageFile>& pages, std::string& error);

// The table's own bytes, exactly as packing appends them: the records, then the end record. A file
// is stored deflated where that is smaller.
bool BuildTableBytes(const std::vector<PageFile>& pages, Bytes& table, std::string& error);

// Appends the table to a signed image: records directly after the PKCS#7 blob, the end record,
// zero padding, the trailer; then the entry length, the directory size and the checksum.
bool AppendTable(Bytes& image, const std::vector<PageFile>& pages, std::string& error);

// Reads the table back with every check: entry at the end of the file and as long as the
// directory says, length a multiple of 8, checksum current, records inside the entry, safe
// names, an end record followed only by zero padding, deflated records that unpack to exactly
// their declared size within the wizard's caps. `pages` receives the unpacked files.
// `tableStart`/`tableEnd` receive the span of the records and the end record.
bool ReadTable(const Bytes& image, std::vector<PageFile>& pages, std::string& error, size_t* tableStart = nullptr,
               size_t* tableEnd = nullptr);

// UTF-8 to UTF-16 code units; false for invalid UTF-8.
bool Utf8ToUtf16(const std::string& text, std::u16string& units);
std::string Utf16ToUtf8(const std::u16string& units);

}  // namespace qrxpack
