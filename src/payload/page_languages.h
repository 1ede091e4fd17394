// The list of languages the pages offer, from the "LANG" key of "js\installparams.js".
#pragma once

#include <string>
#include <vector>

namespace qrx {

// The quoted codes of the array after the first "LANG" key text; the scan ends at the first
// closing square bracket or at the end of the text.
std::vector<std::wstring> ParseSupportedLanguages(const std::wstring& text);

// UTF-8 bytes to UTF-16; false for bytes that are not valid UTF-8 (and for no bytes).
bool Utf8ToWide(const std::string& bytes, std::wstring& text);

}  // namespace qrx
