#include "payload_helpers.h"

#include <algorithm>

#include "common/unique_any.h"
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
