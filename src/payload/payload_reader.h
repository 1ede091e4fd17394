// Reads the page table appended to an executable and writes its files into a folder.
#pragma once

#include <string>

#include "common/sha256.h"
#include "log/logger.h"
#include "payload/payload_record.h"

namespace qrx {

// Extracts the table of this process's own executable into `folder`; true when every record up
// to the end record was written. Built with QRX_BIND_PAGES, only a table that the signed image
// vouches for (ExtractBoundPayloadFrom, with the digest resource of this image) is extracted.
bool ExtractPayload(const std::wstring& folder, Logger* log);
// The same for a given file, without the binding check.
bool ExtractPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log);
// The same for a given file, which must be a signed image whose table lies inside its certificate
// entry after the PKCS#7 data and whose table bytes (records and end record) have the digest
// `expected` (null: the image carries none, which refuses the table). The table is read once into
// memory and checked before any file is written; a refusal logs one line that names the cause.
bool ExtractBoundPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log,
                             const Sha256Digest* expected);

// Writes one record's data as `folder` + its name, creating the missing folders. Refuses names
// that would leave the folder.
bool WritePayloadFile(const PayloadFileHeader& header, const void* data, const std::wstring& folder);

}  // namespace qrx
