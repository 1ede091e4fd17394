#include "payload_helpers.h"

#include <zlib.h>

#include <algorithm>

#include "common/unique_any.h"
#include "payload/payload_record.h"
#include "support/test_support.h"

namespace payloadtest {

namespace {
void AppendU32(std::string& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void ListInto(const std::wstring& root, const std::wstring& relative,
              std::vector<std::pair<std::wstring, std::string>>& files) {
  WIN32_FIND_DATAW entry;
  qrx::UniqueFind find(FindFirstFileW((root + relative + L"*").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListInto(root, relative + name + L"\\", files);
    } else {
      files.emplace_back(relative + name, qrxtest::ReadFileBytes(root + relative + name));
    }
  } while (FindNextFileW(find.get(), &entry));
}
}  // namespace

void TableWriter::Record(const std::u16string& name, const std::string& data, uint32_t sizeLow, uint32_t sizeHigh) {
  std::string header(528, '\0');
  for (size_t i = 0; i < name.size() && i < 260; ++i) {
    header[2 * i] = static_cast<char>(name[i] & 0xFF);
    header[2 * i + 1] = static_cast<char>(name[i] >> 8);
  }
  std::string sizes;
  AppendU32(sizes, sizeLow);
  AppendU32(sizes, sizeHigh);
  header.replace(520, 8, sizes);
  bytes_ += header;
  bytes_ += data;
}

void TableWriter::Deflated(const std::wstring& name, const std::string& stream, uint32_t declared) {
  std::string data;
  AppendU32(data, declared);
  data += stream;
  Record(std::u16string(name.begin(), name.end()), data, static_cast<uint32_t>(data.size()), qrx::kRecordDeflated);
}

namespace {
// Feeds `count` bytes of `chunk` (repeated) through one raw deflate stream.
std::string DeflateRepeated(const std::string& chunk, size_t count) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out;
  char buffer[16384];
  size_t left = count;
  int status = Z_OK;
  do {
    const size_t piece = left < chunk.size() ? left : chunk.size();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    stream.avail_in = static_cast<uInt>(piece);
    left -= piece;
    const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      stream.next_out = reinterpret_cast<Bytef*>(buffer);
      stream.avail_out = sizeof(buffer);
      status = deflate(&stream, flush);
      out.append(buffer, sizeof(buffer) - stream.avail_out);
    } while (stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  } while (left > 0);
  deflateEnd(&stream);
  return out;
}
}  // namespace

std::string DeflateRaw(const std::string& data) { return DeflateRepeated(data, data.size()); }
std::string DeflateZeros(size_t count) { return DeflateRepeated(std::string(1 << 20, '\0'), count); }

void TableWriter::Trailer(uint32_t firstRecord) {
  while ((bytes_.size() + 4) % 8 != 0) bytes_ += '\0';
  AppendU32(bytes_, firstRecord);
}

std::vector<std::pair<std::string, std::string>> ReadLogLines(const std::wstring& path) {
  std::vector<std::pair<std::string, std::string>> lines;
  const std::string content = qrxtest::ReadFileBytes(path);
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find("\r\n", start);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(start, end - start);
    start = end + 2;
    const size_t close = line.find("] ");
    if (line.empty() || line[0] != '[' || close == std::string::npos) continue;
    const size_t space = line.rfind(' ', close - 1);
    lines.emplace_back(line.substr(space + 1, close - space - 1), line.substr(close + 2));
  }
  return lines;
}

std::vector<std::pair<std::wstring, std::string>> ListFiles(const std::wstring& folder) {
  std::vector<std::pair<std::wstring, std::string>> files;
  std::wstring root = folder;
  if (!root.empty() && root.back() != L'\\') root += L'\\';
  ListInto(root, L"", files);
  std::sort(files.begin(), files.end());
  return files;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c < 0x80 ? c : '?');
  return out;
}

}  // namespace payloadtest
