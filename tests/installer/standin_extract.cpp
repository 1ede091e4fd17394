// A small zip reader for these tests until the zip layer's extraction is merged: stored and
// deflated entries, names as given, no checks beyond the CRC.
#include <windows.h>
#include <shlobj.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace qrxtest {

namespace {

unsigned Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
unsigned long Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

bool Inflate(const unsigned char* in, size_t inSize, std::vector<unsigned char>& out, size_t outSize) {
  out.resize(outSize);
  z_stream s = {};
  if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return false;
  s.next_in = const_cast<unsigned char*>(in);
  s.avail_in = static_cast<uInt>(inSize);
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(outSize);
  const int rc = inflate(&s, Z_FINISH);
  inflateEnd(&s);
  return rc == Z_STREAM_END && s.total_out == outSize;
}

}  // namespace

bool StandInExtractArchive(HANDLE archive, const wchar_t* target) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(archive, &size) || size.QuadPart < 22 || size.QuadPart > (64 << 20)) return false;
  std::vector<unsigned char> data(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!ReadFile(archive, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) || read != data.size()) {
    return false;
  }
  size_t eocd = data.size() - 22;
  while (eocd > 0 && Le32(&data[eocd]) != 0x06054B50) --eocd;
  if (Le32(&data[eocd]) != 0x06054B50) return false;
  const unsigned count = Le16(&data[eocd + 10]);
  size_t at = Le32(&data[eocd + 16]);
  SHCreateDirectoryExW(nullptr, target, nullptr);
  for (unsigned i = 0; i < count; ++i) {
    if (at + 46 > data.size() || Le32(&data[at]) != 0x02014B50) return false;
    const unsigned method = Le16(&data[at + 10]);
    const unsigned long crc = Le32(&data[at + 16]);
    const size_t packed = Le32(&data[at + 20]), unpacked = Le32(&data[at + 24]);
    const unsigned nameLength = Le16(&data[at + 28]);
    const size_t local = Le32(&data[at + 42]);
    std::wstring name(data.begin() + static_cast<long>(at + 46), data.begin() + static_cast<long>(at + 46 + nameLength));
    at += 46 + nameLength + Le16(&data[at + 30]) + Le16(&data[at + 32]);
    for (wchar_t& c : name) c = c == L'/' ? L'\\' : c;
    std::wstring path = std::wstring(target) + L"\\" + name;
    if (!name.empty() && name.back() == L'\\') {
      SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
      continue;
    }
    SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    if (local + 30 > data.size()) return false;
    const size_t start = local + 30 + Le16(&data[local + 26]) + Le16(&data[local + 28]);
    if (start + packed > data.size()) return false;
    std::vector<unsigned char> content;
    if (method == 0) {
      content.assign(data.begin() + static_cast<long>(start), data.begin() + static_cast<long>(start + packed));
    } else if (method != 8 || !Inflate(&data[start], packed, content, unpacked)) {
      return false;
    }
    if (crc32(0, content.data(), static_cast<uInt>(content.size())) != crc) return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != content.size()) return false;
  }
  return true;
}

}  // namespace qrxtest
