// Small edits of path text. Standard C++ only.
#pragma once

#include <string>

namespace qrx {

// `path` without its trailing backslashes ("C:\" becomes "C:", "\" becomes "").
inline std::wstring WithoutTrailingBackslashes(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace qrx
