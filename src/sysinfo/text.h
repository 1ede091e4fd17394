// Text conversions.
#pragma once

#include <string>

namespace qrx {

// UTF-8 form of a wide text, up to its first zero character.
std::string ToUtf8(const std::wstring& text);

}  // namespace qrx
