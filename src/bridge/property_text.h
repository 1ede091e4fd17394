// Texts of the page-visible properties.
#pragma once

#include <windows.h>

#include <string>

namespace downloadmanagercore {

// "true" or "false", lower case.
const wchar_t* BoolText(bool value);

}  // namespace downloadmanagercore
