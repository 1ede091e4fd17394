// Helpers of the page-table tests: tables written byte by byte, log lines read back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "log/logger.h"

namespace payloadtest {

// A table being written: arbitrary leading bytes, then records, then a trailer.
class TableWriter {
 public:
  explicit TableWriter(size_t leadingBytes = 64) : bytes_(leadingBytes, 'M') {}

  uint32_t offset() const { return static_cast<uint32_t>(bytes_.size()); }
  // A header with the given name units (at most 260 are kept) and size halves, then `data`.
  void Record(const std::u16string& name, const std::string& data, uint32_t sizeLow, uint32_t sizeHigh);
  void File(const std::wstring& name, const std::string& data) {
    Record(std::u16string(name.begin(), name.end()), data, static_cast<uint32_t>(data.size()), 0);
  }
  // A deflated record: `declared` as its unpacked size, then `stream` (a raw deflate stream or any
  // bytes standing in for one).
  void Deflated(const std::wstring& name, const std::string& stream, uint32_t declared);
  void End() { bytes_.append(528, '\0'); }
  void Raw(const std::string& data) { bytes_ += data; }
  // Pads to a multiple of 8 with the trailer and appends the trailer.
  void Trailer(uint32_t firstRecord);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A raw deflate stream of `data`, and one of `count` zero bytes (made piece by piece, so that a
// stream that unpacks to many megabytes costs little memory here).
std::string DeflateRaw(const std::string& data);
std::string DeflateZeros(size_t count);

// (level, message) pairs of a log file.
std::vector<std::pair<std::string, std::string>> ReadLogLines(const std::wstring& path);

// Every file under `folder` (relative name with backslashes, content), in name order.
std::vector<std::pair<std::wstring, std::string>> ListFiles(const std::wstring& folder);

std::string Narrow(const std::wstring& text);

}  // namespace payloadtest
