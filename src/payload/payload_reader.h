// Reads the page table appended to an executable and writes its files into a folder.
#pragma once

#include <string>

#include "log/logger.h"
#include "payload/payload_record.h"

namespace qrx {

// Extracts the table of this process's own executable into `folder`; true when every record up
// to the end record was written.
bool ExtractPayload(const std::wstring& folder, Logger* log);
// The same for a given file (the executable's path in the product).
bool ExtractPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log);

// Writes one record's data as `folder` + its name, creating the missing folders. Refuses names
// that would leave the folder.
bool WritePayloadFile(const PayloadFileHeader& header, const void* data, const std::wstring& folder);

}  // namespace qrx
