// The desktop shortcut that resumes an unfinished installation, and the copy of this executable in
// the user's temp folder that it starts. Both lie where the user writes: every act on them checks
// that the name is no link, no hard link and not below a linked folder, and is refused (and
// logged) otherwise.
#pragma once

#include <string>

#include "log/logger.h"

namespace qrx {

extern const wchar_t kLogResumeCopyRefused[];
extern const wchar_t kLogShortcutRefused[];

// The desktop folder combined with `fileName`.
std::wstring GetShortcutPath(const std::wstring& fileName);
// Copies this executable into the temp folder; the copy's path goes to `copyPath`.
bool CopySelfToTemp(std::wstring& copyPath, Logger* logger = nullptr);
// Writes the shortcut to the copy; an earlier plain shortcut of that name is replaced.
bool CreateResumeShortcut(const std::wstring& copyPath, const std::wstring& shortcutPath, Logger* logger = nullptr);
// Removes the shortcut when it is a plain file at that name.
bool DeleteResumeShortcut(const std::wstring& shortcutPath, Logger* logger = nullptr);

}  // namespace qrx
