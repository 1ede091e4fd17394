// Texts of the page-visible properties.
#pragma once

#include <windows.h>

#include <string>

namespace downloadmanagercore {

// Signed decimal: a leading "-" for negative values, no leading zeros, no grouping.
std::wstring CounterText(LONG value);
// "true" or "false", lower case.
const wchar_t* BoolText(bool value);
// A copy of `url` with "^" before every "&" (for the shell's command line).
std::wstring CaretBeforeAmpersands(const std::wstring& url);

}  // namespace downloadmanagercore
