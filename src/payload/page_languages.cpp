#include "payload/page_languages.h"

#include <windows.h>
#include <shlwapi.h>

#include "common/unique_any.h"
#include "payload/page_files.h"

namespace qrx {
namespace {

const wchar_t kParamsFile[] = L"js\\installparams.js";
const wchar_t kLangKey[] = L"\"LANG\"";
// Past the key's closing quote and the colon.
const size_t kScanOffset = 7;
// The parameters file is a few kilobytes; anything far larger is not ours.
const DWORD kMaxParamsFileSize = 16u * 1024u * 1024u;

}  // namespace

std::vector<std::wstring> ParseSupportedLanguages(const std::wstring& text) {
  std::vector<std::wstring> codes;
  const size_t key = text.find(kLangKey);
  if (key == std::wstring::npos) return codes;
  bool inQuotes = false;
  size_t open = 0;
  for (size_t i = key + kScanOffset; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L']') break;
    if (c != L'"') continue;
    if (inQuotes) {
      codes.push_back(text.substr(open, i - open));
    } else {
      open = i + 1;
    }
    inQuotes = !inQuotes;
  }
  return codes;
}

bool Utf8ToWide(const std::string& bytes, std::wstring& text) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(kMaxParamsFileSize)) return false;
  const int length = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (units <= 0) return false;
  text.assign(static_cast<size_t>(units), L'\0');
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, &text[0], units) == units;
}

std::vector<std::wstring> ReadSupportedLanguages(const PageFiles& pages) {
  wchar_t path[MAX_PATH] = {};
  if (pages.folder().empty() || !PathCombineW(path, pages.folder().c_str(), kParamsFile)) return {};
  UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) return {};
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0 || size > kMaxParamsFileSize) return {};
  std::string bytes(size, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), &bytes[0], size, &read, nullptr)) return {};
  file.Reset();
  bytes.resize(read);
  std::wstring text;
  if (!Utf8ToWide(bytes, text)) return {};
  return ParseSupportedLanguages(text);
}

}  // namespace qrx
