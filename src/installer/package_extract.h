// Unpacking the downloaded package on a thread of its own while the install progress creeps.
#pragma once

#include <windows.h>

#include <string>

#include "installer/install_owner.h"

namespace qrx {

// Extracts the open archive below the folder; the zip layer's ExtractArchive in the product.
using ExtractArchiveFunction = bool (*)(HANDLE archive, const wchar_t* targetFolder);

// Milliseconds between two extraction progress steps.
constexpr DWORD kUnzipStepIntervalMs = 2000;

// Unpacks the package into `targetFolder` on an extraction thread and applies one progress step
// (published through the owner) every two seconds while it runs. True only when the thread
// opened the package and extracted every entry.
bool ExtractPackage(InstallOwner& owner, const std::wstring& packagePath, const std::wstring& targetFolder,
                    ExtractArchiveFunction extract);

}  // namespace qrx
