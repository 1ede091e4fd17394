#include "installer/setup_command.h"

#include <cstdio>
#include <cwchar>

#include "installer/install_texts.h"

namespace qrx {

std::wstring BuildSetupCommandLine(const std::wstring& setupPath, const std::wstring& parameters,
                                   const std::wstring& logPath) {
  std::wstring line;
  line.reserve(setupPath.size() + parameters.size() + logPath.size() + 16);
  line += L'"';
  line += setupPath;
  line += L"\" ";
  line += parameters;
  line += kSetupSwitches;
  line += logPath;
  line += L'"';
  return line;
}

namespace {

// The name of an entry: up to its first "=" after the first character (drive entries such as
// "=C:=C:\\" start with one).
std::wstring EntryName(const std::wstring& entry) {
  const size_t equals = entry.find(L'=', 1);
  return equals == std::wstring::npos ? entry : entry.substr(0, equals);
}

}  // namespace

std::wstring BuildSetupEnvironment(const wchar_t* block, const std::wstring& tempFolder) {
  std::wstring added[2] = {L"TEMP=" + tempFolder, L"TMP=" + tempFolder};
  size_t next = 0;
  std::wstring result;
  const auto addUpTo = [&](const std::wstring& name) {
    while (next < 2 && (name.empty() || _wcsicmp(EntryName(added[next]).c_str(), name.c_str()) < 0)) {
      result += added[next++];
      result += L'\0';
    }
  };
  for (const wchar_t* at = block; at && *at; at += wcslen(at) + 1) {
    const std::wstring entry = at;
    const std::wstring name = EntryName(entry);
    if (_wcsicmp(name.c_str(), L"TEMP") == 0 || _wcsicmp(name.c_str(), L"TMP") == 0) continue;
    // Drive entries ("=C:=...") come first and stay first.
    if (entry[0] != L'=') addUpTo(name);
    result += entry;
    result += L'\0';
  }
  addUpTo(std::wstring());
  result += L'\0';
  return result;
}

const wchar_t* RedistArchFor(const std::wstring& osBits) {
  return osBits == L"64" ? kRedistArch64 : kRedistArch32;
}

const wchar_t* RedistPatternFor(const std::wstring& osBits) {
  return osBits == L"64" ? kRedistPattern64 : kRedistPattern32;
}

std::wstring FormatRedistLogName(const wchar_t* arch, int year, int month, int day, int hour, int minute,
                                 int second) {
  wchar_t buffer[96];
  const int length =
      _snwprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), kRedistLogNameFormat, arch, year, month, day,
                 hour, minute, second);
  if (length < 0 || static_cast<size_t>(length) >= sizeof(buffer) / sizeof(buffer[0])) return std::wstring();
  return std::wstring(buffer, static_cast<size_t>(length));
}

bool RedistLogNameInBounds(const std::wstring& name, const std::wstring& lower, const std::wstring& upper) {
  return std::wcscmp(name.c_str(), lower.c_str()) >= 0 && std::wcscmp(name.c_str(), upper.c_str()) <= 0;
}

}  // namespace qrx
