// The resume shortcut is not built yet: no copy, no shortcut.
#include "app/resume_shortcut.h"

namespace qrx {

std::wstring GetShortcutPath(const std::wstring&) { return std::wstring(); }

bool CopySelfToTemp(std::wstring&) { return false; }

void CreateResumeShortcut(const std::wstring&, const std::wstring&) {}

}  // namespace qrx
