// Windows Installer product codes of the product's packages, and where the product registers
// its install folder.
#pragma once

#include <string>

namespace qrx {

constexpr int kProductCodeCount = 6;

// Codes P1 to P8 in registry text form (38 characters with braces).
extern const wchar_t* const kProductCodeP[8];

// Install stages in order; "osbits" "64" selects the 64-bit list.
extern const wchar_t* const kProductCodes32[kProductCodeCount];
extern const wchar_t* const kProductCodes64[kProductCodeCount];

// The list for an "osbits" value.
const wchar_t* const* ProductCodesFor(const std::wstring& osBits);
// The package whose version becomes the product version: P2 (32-bit list) or P7 (64-bit list).
const wchar_t* MainProductCodeFor(const std::wstring& osBits);
// P6, the last package of both lists: registered means the product is installed.
extern const wchar_t* const kInstalledCheckCode;

extern const wchar_t kProductRegistryKey[];     // under HKEY_LOCAL_MACHINE
extern const wchar_t kProductDirectoryValue[];  // the install folder
extern const wchar_t kProductProgramName[];     // appended to the folder

}  // namespace qrx
