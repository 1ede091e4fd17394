#include "sysinfo/run_marker.h"

#include <cstdio>

#include "common/no_links.h"
#include "common/unique_any.h"

namespace qrx {

const wchar_t kRunMarkerName[] = L"qrx-run-owner.txt";
const wchar_t kLogRunMarkerNotWritten[] = L"Run marker not written in %s, error %u";

namespace {

// A marker holds a few lines; anything larger is not ours.
constexpr DWORD kMaxMarkerSize = 4096;

std::wstring MarkerPath(const std::wstring& folder) {
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + kRunMarkerName;
}

bool AppendToMarker(const std::wstring& folder, const ProcessStamp& stamp, DWORD disposition) {
  const std::wstring path = MarkerPath(folder);
  if (IsLinkPath(path)) return false;
  UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  const std::string line = FormatMarkerLine(stamp);
  DWORD written = 0;
  return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
         written == line.size();
}

// Up to ten decimal digits and a value of 32 bits, read without the C runtime's strtoull (which
// brings 1 KB of code for two numbers).
bool ReadDecimalId(const std::string& text, DWORD& id) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 0xFFFFFFFFu) return false;
  id = static_cast<DWORD>(value);
  return true;
}

// Exactly 16 lower-case hexadecimal digits.
bool ReadHex16(const std::string& text, uint64_t& number) {
  if (text.size() != 16) return false;
  uint64_t value = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a') + 10;
    } else {
      return false;
    }
    value = (value << 4) | digit;
  }
  number = value;
  return true;
}

}  // namespace

std::string FormatMarkerLine(const ProcessStamp& stamp) {
  char line[48];
  // The C runtime's own _snprintf: the C99 snprintf brings MinGW's printf (about 20 KB). The line
  // (at most 29 characters) always fits, so it is always terminated.
  _snprintf(line, sizeof(line), "%lu %08lx%08lx\r\n", static_cast<unsigned long>(stamp.id),
           static_cast<unsigned long>(stamp.creationTime >> 32),
           static_cast<unsigned long>(stamp.creationTime & 0xFFFFFFFFu));
  return line;
}

bool ParseMarker(const std::string& text, std::vector<ProcessStamp>& owners) {
  owners.clear();
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) return false;
    const std::string line = text.substr(start, end - start);
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) return false;
    const std::string id = line.substr(0, blank);
    const std::string time = line.substr(blank + 1);
    ProcessStamp stamp;
    if (!ReadDecimalId(id, stamp.id) || !ReadHex16(time, stamp.creationTime)) return false;
    owners.push_back(stamp);
    start = end + 2;
  }
  return !owners.empty();
}

bool GetProcessStamp(HANDLE process, ProcessStamp& stamp) {
  FILETIME creation, exit, kernel, user;
  if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return false;
  stamp.id = GetProcessId(process);
  stamp.creationTime = (static_cast<uint64_t>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
  return stamp.id != 0;
}

bool IsProcessRunning(const ProcessStamp& stamp) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, stamp.id));
  if (!process) {
    // No such process any more; one we may not look at is left alone.
    return GetLastError() != ERROR_INVALID_PARAMETER;
  }
  ProcessStamp current;
  if (!GetProcessStamp(process.get(), current)) return true;
  // The id now names another process: the owner is gone.
  if (current.creationTime != stamp.creationTime) return false;
  return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

bool WriteRunMarker(const std::wstring& folder) {
  ProcessStamp self;
  if (!GetProcessStamp(GetCurrentProcess(), self)) return false;
  return AppendToMarker(folder, self, CREATE_NEW);
}

bool AddProcessToRunMarker(const std::wstring& folder, HANDLE process) {
  ProcessStamp stamp;
  if (!GetProcessStamp(process, stamp)) return false;
  return AppendToMarker(folder, stamp, OPEN_EXISTING);
}

bool ReadRunMarker(const std::wstring& folder, std::vector<ProcessStamp>& owners) {
  const std::wstring path = MarkerPath(folder);
  if (IsLinkPath(path)) return false;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  char buffer[kMaxMarkerSize + 1];
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) || read > kMaxMarkerSize) return false;
  return ParseMarker(std::string(buffer, read), owners);
}

}  // namespace qrx
