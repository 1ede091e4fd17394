// Reads the page table appended to an executable and writes its files into a folder.
#pragma once

#include <string>

#include "common/sha256.h"
#include "log/logger.h"
#include "payload/payload_record.h"

namespace qrx {

// What deflated records asked for and what inflating produced in one extraction (the tests read
// it to show that a refusal came before the bytes did).
struct InflateTally {
  uint64_t declared = 0;  // declared unpacked sizes accepted against the caps
  uint64_t inflated = 0;  // bytes the streams produced, refused ones included
};

// Extracts the table of this process's own executable into `folder`; true when every record up
// to the end record was written. Built with QRX_BIND_PAGES, only a table that the signed image
// vouches for (ExtractBoundPayloadFrom, with the digest resource of this image) is extracted.
bool ExtractPayload(const std::wstring& folder, Logger* log);
// The same for a given file, without the binding check.
// Deflated records are inflated in memory, bounded by the caps of payload_record.h, and written
// only when they give exactly their declared size; any other outcome fails like a bad record.
bool ExtractPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log,
                        InflateTally* tally = nullptr);
// The same for a given file, which must be a signed image whose table lies inside its certificate
// entry after the PKCS#7 data and whose table bytes (records and end record) have the digest
// `expected` (null: the image carries none, which refuses the table). The table is read once into
// memory and checked, digest and caps, before anything is inflated or written; a refusal logs one
// line that names the cause.
bool ExtractBoundPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log,
                             const Sha256Digest* expected, InflateTally* tally = nullptr);

// Writes one record's data as `folder` + its name, creating the missing folders. Refuses names
// that would leave the folder.
bool WritePayloadFile(const PayloadFileHeader& header, const void* data, const std::wstring& folder);

}  // namespace qrx
