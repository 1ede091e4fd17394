// Unpacking the downloaded package on the install worker while the install progress creeps.
#pragma once

#include <windows.h>

#include <string>

#include "installer/install_owner.h"
#include "zip/zip_files.h"

namespace qrx {

// Extracts the open archive below the folder, asking `control` as it goes; the zip layer's
// ExtractArchive in the product.
using ExtractArchiveFunction = bool (*)(HANDLE archive, const wchar_t* targetFolder, const ExtractControl* control);

// Milliseconds between two extraction progress steps.
constexpr DWORD kUnzipStepIntervalMs = 2000;

enum class ExtractOutcome { kExtracted, kFailed, kStopped };

// Unpacks the package into `targetFolder` on the calling thread and applies one progress step
// (published through the owner) for every two seconds it has run. The owner's stop event is looked
// at before every entry and after every mebibyte of an entry's data; once it is set the extraction
// ends (kStopped, the entry being written deleted). kExtracted only when the package was opened and
// every entry extracted.
ExtractOutcome ExtractPackage(InstallOwner& owner, const std::wstring& packagePath, const std::wstring& targetFolder,
                              ExtractArchiveFunction extract);

}  // namespace qrx
