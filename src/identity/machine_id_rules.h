// The pure rules behind the machine identifier: adapter filter, address text, shaping, signatures.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qrx {

struct VirtualMachineSignature {
  const wchar_t* model;
  const wchar_t* manufacturer;
};

constexpr size_t kVirtualMachineSignatureCount = 3;
// (model, manufacturer) pairs, as WMI reports the computer system, of known virtual machines.
extern const VirtualMachineSignature kVirtualMachineSignatures[kVirtualMachineSignatureCount];

// Length of a resolved identifier: a source tag, a hyphen and 36 characters.
constexpr size_t kMachineIdLength = 38;

// Index of the first character of `id` that a report cannot carry as it is, or npos. The id goes
// unencoded into the crash upload's URL query, the analytics XML and the log: control characters,
// space, any of & # % ? + < > " ' and non-ASCII are unsafe.
size_t FindUnsafeIdCharacter(const std::wstring& id);

// What an existing store folder is, read from the folder entry itself (never through a link).
struct StoreFolderFacts {
  bool isDirectory = false;
  bool isReparsePoint = false;
  // Owned by Administrators or SYSTEM.
  bool ownerTrusted = false;
};
enum class StoreFolderAction { kUse, kReclaim, kRefuse };
// A link or a file is never used; a folder someone else owns is taken over before use.
StoreFolderAction DecideStoreFolder(const StoreFolderFacts& facts);

// True when the pair equals a signature row exactly (case-sensitive, whole text).
bool IsVirtualMachineSignature(const std::wstring& model, const std::wstring& manufacturer);

// False for root-enumerated, USB and Bluetooth adapters ("root", "usb" or "bth" within the first
// eight characters of the device path, any case) and for descriptions that carry "microsoft" in
// their first eight characters.
bool KeepAdapter(const std::wstring& devicePath, const std::wstring& description);

// "%02X:%02X:%02X:%02X:%02X:%02X" of a six-byte address; empty for any other length.
std::wstring FormatMacAddress(const unsigned char* bytes, size_t length);

// The smallest text by UTF-16 code unit; empty for an empty list.
std::wstring SmallestAddress(std::vector<std::wstring> addresses);

// Repeats the letters and digits of `text` through the 32 digit places of a GUID-shaped text
// (hyphens after 8, 13, 18 and 23 characters). False, and `text` unchanged, when it has no letter
// or digit to repeat.
bool ShapeMacId(std::wstring& text);

// The identifier held by decrypted store bytes: UTF-16LE, an odd last byte dropped.
std::wstring IdentifierFromBytes(const unsigned char* bytes, size_t length);
// The UTF-16LE bytes of an identifier, no terminator.
std::string IdentifierBytes(const std::wstring& id);

}  // namespace qrx
