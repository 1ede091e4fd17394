#include "htmlhost/page_trust.h"

#include "common/hex_text.h"
#include "common/path_text.h"

namespace htmlui {

const wchar_t kRefusedNavigationTarget[] = L"about:blank";
const wchar_t kLogNavigationRefused[] = L"Navigation outside the page folder refused: %s";

namespace {

bool StartsWithFolded(const std::wstring& text, const wchar_t* prefix) {
  size_t i = 0;
  for (; prefix[i] != L'\0'; ++i) {
    if (i >= text.size() || qrx::FoldAscii(text[i]) != qrx::FoldAscii(prefix[i])) return false;
  }
  return true;
}

// Appends the UTF-8 bytes `bytes` as UTF-16; false when they are not well-formed UTF-8.
bool AppendUtf8(const std::string& bytes, std::wstring& out) {
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const size_t length =
        lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    unsigned long code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (code >> 10));
      out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<wchar_t>(code);
    }
    i += length;
  }
  return true;
}

// Percent-decodes `text` once (escapes are UTF-8); false on a malformed escape or a NUL.
bool PercentDecode(const std::wstring& text, std::wstring& out) {
  std::string pending;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%') {
      const int high = i + 2 < text.size() ? qrx::HexDigitValue(text[i + 1]) : -1;
      const int low = high >= 0 ? qrx::HexDigitValue(text[i + 2]) : -1;
      if (low < 0 || (high == 0 && low == 0)) return false;
      pending += static_cast<char>(high * 16 + low);
      i += 2;
      continue;
    }
    if (!AppendUtf8(pending, out)) return false;
    pending.clear();
    out += text[i];
  }
  return AppendUtf8(pending, out);
}

bool IsDriveStart(const std::wstring& text) {
  if (text.size() < 2) return false;
  const wchar_t letter = qrx::FoldAscii(text[0]);
  return letter >= L'a' && letter <= L'z' && (text[1] == L':' || text[1] == L'|') &&
         (text.size() == 2 || text[2] == L'\\');
}

// The local path a file: URL names ("C:\..." with backslashes), or false.
bool LocalPathOfFileUrl(const std::wstring& url, std::wstring& path) {
  if (!StartsWithFolded(url, L"file:")) return false;
  std::wstring rest = url.substr(5);
  rest = rest.substr(0, rest.find_first_of(L"?#"));
  std::wstring decoded;
  if (!PercentDecode(rest, decoded)) return false;
  for (wchar_t& c : decoded) {
    if (c == L'/') c = L'\\';
  }
  if (decoded.compare(0, 2, L"\\\\") == 0) {
    // An authority: empty or "localhost" for this machine, or a drive ("file://C:/"); any other
    // host is a share.
    const size_t end = decoded.find(L'\\', 2);
    const std::wstring host = decoded.substr(2, end == std::wstring::npos ? std::wstring::npos : end - 2);
    if (IsDriveStart(decoded.substr(2))) {
      decoded.erase(0, 2);
    } else if (host.empty() || (host.size() == 9 && StartsWithFolded(host, L"localhost"))) {
      decoded.erase(0, end == std::wstring::npos ? decoded.size() : end + 1);
    } else {
      return false;
    }
  } else if (!decoded.empty() && decoded[0] == L'\\') {
    decoded.erase(0, 1);
  }
  if (!IsDriveStart(decoded)) return false;
  decoded[1] = L':';
  path = decoded;
  return true;
}

// "C:\a\.\b\..\c" -> "c:\a\c" (ASCII folded); false on an escape above the drive or a name that
// Windows would read differently from how it is written.
bool NormalizePath(const std::wstring& path, std::wstring& normal) {
  if (!IsDriveStart(path)) return false;
  normal.assign(1, qrx::FoldAscii(path[0]));
  normal += L':';
  for (size_t start = 3; start <= path.size();) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring segment = path.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == L".") continue;
    if (segment == L"..") {
      if (normal.size() == 2) return false;
      normal.erase(normal.rfind(L'\\'));
      continue;
    }
    if (segment.back() == L'.' || segment.back() == L' ') return false;
    normal += L'\\';
    for (wchar_t c : segment) {
      if (c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|') {
        return false;
      }
      normal += qrx::FoldAscii(c);
    }
  }
  return true;
}

}  // namespace

bool IsPageOfFolder(const std::wstring& url, const std::wstring& pageFolder) {
  for (wchar_t c : url) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  std::wstring path;
  std::wstring page;
  std::wstring folder;
  if (!LocalPathOfFileUrl(url, path) || !NormalizePath(path, page)) return false;
  std::wstring folderPath = pageFolder;
  for (wchar_t& c : folderPath) {
    if (c == L'/') c = L'\\';
  }
  if (!NormalizePath(folderPath, folder)) return false;
  return page.size() > folder.size() + 1 && page.compare(0, folder.size(), folder) == 0 &&
         page[folder.size()] == L'\\';
}

std::wstring FolderOfPage(const std::wstring& pagePath) {
  const size_t slash = pagePath.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : pagePath.substr(0, slash);
}

std::wstring LoggableUrl(const std::wstring& url) {
  std::wstring text = url.substr(0, kMaxLoggedUrl);
  for (wchar_t& c : text) {
    if (c < 0x20 || c == 0x7F) c = L'?';
  }
  return text;
}

UrlActionAnswer DecideUrlAction(unsigned long action, bool ourPage) {
  static const unsigned long kRefusedEverywhere[] = {
      kActionDownloadSignedActiveX, kActionDownloadUnsignedActiveX,     kActionActiveXRun,
      kActionActiveXOverrideObjectSafety, kActionActiveXOverrideDataSafety, kActionActiveXOverrideScriptSafety,
      kActionActiveXScriptletRun,   kActionScriptOverrideSafety,        kActionScriptJavaUse,
      kActionScriptSafeActiveX,     kActionHtmlJavaRun,                 kActionBehaviorRun};
  if (action == kActionScriptRun) return {true, ourPage ? kPolicyAllow : kPolicyDisallow};
  if (action == kActionJavaPermissions) return {true, kPolicyJavaProhibit};
  for (unsigned long refused : kRefusedEverywhere) {
    if (action == refused) return {true, kPolicyDisallow};
  }
  return {false, 0};
}

}  // namespace htmlui
