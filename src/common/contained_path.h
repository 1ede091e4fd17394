// Whether a relative path taken from a file (an archive entry's name, a page record's name) stays
// inside the folder it is written to. Standard C++ only.
#pragma once

#include <string>

namespace qrx {

// `name` separates its components with "\" or "/". Refused: an empty name; a rooted name ("\x",
// "\\server\share"); any ":" (drive letters, alternate data streams); an empty component (doubled
// or trailing separators); "." and a component that Windows reads as the parent folder (".." and
// variants with trailing dots or blanks, which Windows strips); a component naming a DOS device
// (CON, NUL, COM1, LPT1, ... also with an extension), which would write to the device instead of
// the folder.
bool IsContainedRelativePath(const std::wstring& name);

}  // namespace qrx
