// Which files of the unpacked package must carry a listed signature before setup starts.
#pragma once

#include <string>
#include <vector>

namespace qrx {

// Log line of a refused package file other than setup.exe.
extern const wchar_t kLogPackageSignerRefused[];

// Whether a file of this name is run or loaded by setup: ".exe", ".dll" or ".msi", any case.
bool NeedsSigner(const std::wstring& name);

// Every such file below `folder` (no trailing backslash needed), folders that are links not
// entered, in the order the file system lists them.
std::vector<std::wstring> FilesNeedingSigner(const std::wstring& folder);

}  // namespace qrx
