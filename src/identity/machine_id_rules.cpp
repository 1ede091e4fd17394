#include "identity/machine_id_rules.h"

#include <algorithm>
#include <cwchar>

#include "common/hex_text.h"

namespace qrx {

const VirtualMachineSignature kVirtualMachineSignatures[kVirtualMachineSignatureCount] = {
    {L"VirtualBox", L"innotek GmbH"},
    {L"VMware Virtual Platform", L"VMware, Inc."},
    {L"Virtual Machine", L"Microsoft Corporation"},
};

namespace {

// Adapters whose device path names one of these enumerators early are not physical network cards.
const wchar_t* const kSkippedEnumerators[] = {L"root", L"usb", L"bth"};
const wchar_t kSkippedDescription[] = L"microsoft";
constexpr size_t kPrefixWindow = 8;
// Printable ASCII that a URL query, XML text or a log line would misread.
const wchar_t kUnsafeIdCharacters[] = L"&#%?+<>\"'";

bool FoundEarly(const std::wstring& text, const wchar_t* word) {
  const size_t position = text.find(word);
  return position != std::wstring::npos && position < kPrefixWindow;
}

bool IsAsciiLetterOrDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

}  // namespace

bool IsVirtualMachineSignature(const std::wstring& model, const std::wstring& manufacturer) {
  for (const auto& row : kVirtualMachineSignatures) {
    if (model == row.model && manufacturer == row.manufacturer) return true;
  }
  return false;
}

size_t FindUnsafeIdCharacter(const std::wstring& id) {
  for (size_t i = 0; i < id.size(); ++i) {
    const wchar_t c = id[i];
    if (c <= L' ' || c >= 0x7F || std::wcschr(kUnsafeIdCharacters, c)) return i;
  }
  return std::wstring::npos;
}

StoreFolderAction DecideStoreFolder(const StoreFolderFacts& facts) {
  if (facts.isReparsePoint || !facts.isDirectory) return StoreFolderAction::kRefuse;
  return facts.ownerTrusted ? StoreFolderAction::kUse : StoreFolderAction::kReclaim;
}

bool KeepAdapter(const std::wstring& devicePath, const std::wstring& description) {
  std::wstring lower = devicePath;
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  for (const wchar_t* word : kSkippedEnumerators) {
    if (FoundEarly(lower, word)) return false;
  }
  // The description is compared as the system wrote it.
  return !FoundEarly(description, kSkippedDescription);
}

std::wstring FormatMacAddress(const unsigned char* bytes, size_t length) {
  if (length != 6) return std::wstring();
  // Upper-case pairs with colons, as the system shows an adapter's address.
  std::wstring text;
  for (size_t i = 0; i < length; ++i) {
    if (i != 0) text += L':';
    AppendHexByte(text, bytes[i], true);
  }
  return text;
}

std::wstring SmallestAddress(std::vector<std::wstring> addresses) {
  if (addresses.empty()) return std::wstring();
  std::sort(addresses.begin(), addresses.end());
  return addresses.front();
}

bool ShapeMacId(std::wstring& text) {
  // Without a letter or digit the loop below would never grow the output.
  if (std::none_of(text.begin(), text.end(), IsAsciiLetterOrDigit)) return false;
  std::wstring shaped;
  size_t position = 0;
  while (shaped.size() < 36) {
    const size_t length = shaped.size();
    if (length == 8 || length == 13 || length == 18 || length == 23) {
      shaped += L'-';
      continue;
    }
    const wchar_t c = text[position];
    if (IsAsciiLetterOrDigit(c)) shaped += c;
    position = (position + 1) % text.size();
  }
  text = shaped;
  return true;
}

std::wstring IdentifierFromBytes(const unsigned char* bytes, size_t length) {
  std::wstring id(length / 2, L'\0');
  for (size_t i = 0; i < id.size(); ++i) {
    id[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return id;
}

std::string IdentifierBytes(const std::wstring& id) {
  std::string bytes;
  bytes.reserve(id.size() * 2);
  for (wchar_t c : id) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

}  // namespace qrx
