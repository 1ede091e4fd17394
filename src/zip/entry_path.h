// Whether an archive entry's name, as a relative Windows path, stays inside the folder it is
// extracted to. Standard C++ only.
#pragma once

#include <string>

namespace qrx {

// `name` uses "\" as separator (after "/" was replaced). Refused: an empty name; a rooted name
// ("\x", "\\server\share"); any ":" (drive letters, alternate data streams); a component that
// Windows reads as the parent folder (".." and variants with trailing dots or blanks, which
// Windows strips); a component naming a DOS device (CON, NUL, COM1, LPT1, ... also with an
// extension), which would write to the device instead of the folder.
bool IsContainedEntryPath(const std::wstring& name);

}  // namespace qrx
