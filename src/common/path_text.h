// Small edits and comparisons of path and name text. Standard C++ only.
#pragma once

#include <string>

namespace qrx {

// `path` without its trailing backslashes ("C:\" becomes "C:", "\" becomes "").
inline std::wstring WithoutTrailingBackslashes(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// A-Z folded onto a-z and nothing else, as _wcsicmp does in the C locale: names and URLs compare
// the same whatever the user's locale.
inline wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace qrx
