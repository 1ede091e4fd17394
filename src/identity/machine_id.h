// The stable machine identifier and the per-run request token.
#pragma once

#include <string>

namespace qrx {

// Returned when no machine identifier could be resolved.
extern const wchar_t kMachineIdPlaceholder[];
// Returned when no GUID could be made for the request token.
extern const wchar_t kRequestTokenPlaceholder[];

// A new GUID as 36 upper-case characters without braces.
bool NewGuidText(std::wstring& text);
std::wstring NewRequestToken();
std::wstring GetMachineId();

}  // namespace qrx
