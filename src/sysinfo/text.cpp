#include "sysinfo/text.h"

#include <windows.h>

#include <vector>

namespace qrx {

std::string ToUtf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  const int written =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr);
  if (written <= 0) return std::string();
  buffer[static_cast<size_t>(written)] = '\0';
  return std::string(buffer.data());
}

}  // namespace qrx
