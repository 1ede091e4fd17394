// Reads the entries of a zip archive held in memory, for checking what the program sent.
#pragma once

#include <string>
#include <vector>

namespace qrxtest {

struct ZipEntry {
  std::string name;
  std::string data;
  unsigned method = 0;
  bool crcMatches = false;
};

// Entries in central-directory order; false when the archive cannot be read.
bool ReadZipEntries(const std::string& archive, std::vector<ZipEntry>& entries);

}  // namespace qrxtest
