// Text prepared for the desktop shell.
#pragma once

#include <string>

namespace htmlui {

// A caret before every "&", so the shell passes the ampersands on literally: a&b&c -> a^&b^&c.
std::wstring InsertCaretsBeforeAmpersands(const std::wstring& text);

}  // namespace htmlui
