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
