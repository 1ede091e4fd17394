#include "common/no_links.h"

#include <cwchar>

namespace qrx {

namespace {

PathAttributesFunction g_pathAttributes = &GetFileAttributesW;

std::wstring WithoutTrailingBackslash(const std::wstring& path) {
  std::wstring result = path;
  // "C:\" keeps its backslash: "C:" alone names the drive's current folder.
  while (result.size() > 1 && result.back() == L'\\' && result[result.size() - 2] != L':') result.pop_back();
  return result;
}

// The part of `path` below `top`, without a leading backslash; false when `path` is not below it.
bool RelativePart(const std::wstring& top, const std::wstring& path, std::wstring& relative) {
  const std::wstring base = WithoutTrailingBackslash(top);
  if (base.empty() || path.size() < base.size() || _wcsnicmp(path.c_str(), base.c_str(), base.size()) != 0) {
    return false;
  }
  relative = path.substr(base.size());
  if (!relative.empty() && relative[0] != L'\\' && base.back() != L'\\') return false;
  while (!relative.empty() && relative[0] == L'\\') relative.erase(0, 1);
  return true;
}

}  // namespace

PathAttributesFunction SetPathAttributesFunction(PathAttributesFunction function) {
  const PathAttributesFunction previous = g_pathAttributes;
  g_pathAttributes = function ? function : &GetFileAttributesW;
  return previous;
}

DWORD GetPathAttributes(const std::wstring& path) {
  return g_pathAttributes(WithoutTrailingBackslash(path).c_str());
}

bool IsLinkPath(const std::wstring& path) { return IsLinkAttributes(GetPathAttributes(path)); }

bool PathBelowIsLinkFree(const std::wstring& top, const std::wstring& path) {
  std::wstring relative;
  if (!RelativePart(top, path, relative)) return false;
  std::wstring current = WithoutTrailingBackslash(top);
  if (IsLinkPath(current)) return false;
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) {
      if (current.back() != L'\\') current += L'\\';
      current.append(relative, start, end - start);
      const DWORD attributes = GetPathAttributes(current);
      // Below a missing component nothing exists yet that could be a link.
      if (attributes == INVALID_FILE_ATTRIBUTES) return true;
      if (IsLinkAttributes(attributes)) return false;
    }
    start = end + 1;
  }
  return true;
}

bool CreateFoldersBelow(const std::wstring& top, const std::wstring& path) {
  std::wstring relative;
  if (!RelativePart(top, path, relative)) return false;
  std::wstring current = WithoutTrailingBackslash(top);
  DWORD attributes = GetPathAttributes(current);
  if (attributes == INVALID_FILE_ATTRIBUTES || IsLinkAttributes(attributes) ||
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) {
      if (current.back() != L'\\') current += L'\\';
      current.append(relative, start, end - start);
      attributes = GetPathAttributes(current);
      if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A name taken in the meantime is looked at again below rather than trusted.
        if (!CreateDirectoryW(current.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        attributes = GetPathAttributes(current);
      }
      if (attributes == INVALID_FILE_ATTRIBUTES || IsLinkAttributes(attributes) ||
          !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
      }
    }
    start = end + 1;
  }
  return true;
}

}  // namespace qrx
