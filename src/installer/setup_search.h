// Finding the folder that holds the product's setup program.
#pragma once

#include <string>

namespace qrx {

// Depth-first search below `startFolder` for a folder holding `fileName` (a file or a folder of
// that name). A folder is tested before its subfolders; subfolders in the order the file system
// lists them. Folders whose setup paths would not fit in MAX_PATH characters are not used.
bool FindSetupFolder(const std::wstring& startFolder, const std::wstring& fileName, std::wstring& setupFolder);

}  // namespace qrx
