// The desktop shortcut that resumes an unfinished installation.
#pragma once

#include <string>

namespace qrx {

// The desktop folder combined with `fileName`.
std::wstring GetShortcutPath(const std::wstring& fileName);
// Copies this executable into the temp folder; the copy's path goes to `copyPath`.
bool CopySelfToTemp(std::wstring& copyPath);
void CreateResumeShortcut(const std::wstring& copyPath, const std::wstring& shortcutPath);

}  // namespace qrx
