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

// An existing folder, not a link.
bool IsRealFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && !IsLinkAttributes(attributes) &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// What a visit of one path component decides.
enum class Walk { kGoOn, kStopTrue, kStopFalse };

// Visits `top` joined with each leading part of `relative` in turn ("top\a", "top\a\b", ...);
// true when every visit goes on or one stops with kStopTrue.
template <typename Visit>
bool ForEachFolderBelow(const std::wstring& top, const std::wstring& relative, Visit visit) {
  std::wstring current = WithoutTrailingBackslash(top);
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) {
      if (current.back() != L'\\') current += L'\\';
      current.append(relative, start, end - start);
      const Walk next = visit(current);
      if (next != Walk::kGoOn) return next == Walk::kStopTrue;
    }
    start = end + 1;
  }
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
  if (IsLinkPath(WithoutTrailingBackslash(top))) return false;
  return ForEachFolderBelow(top, relative, [](const std::wstring& current) {
    const DWORD attributes = GetPathAttributes(current);
    // Below a missing component nothing exists yet that could be a link.
    if (attributes == INVALID_FILE_ATTRIBUTES) return Walk::kStopTrue;
    return IsLinkAttributes(attributes) ? Walk::kStopFalse : Walk::kGoOn;
  });
}

bool CreateFoldersBelow(const std::wstring& top, const std::wstring& path) {
  std::wstring relative;
  if (!RelativePart(top, path, relative)) return false;
  if (!IsRealFolder(GetPathAttributes(WithoutTrailingBackslash(top)))) return false;
  return ForEachFolderBelow(top, relative, [](const std::wstring& current) {
    DWORD attributes = GetPathAttributes(current);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      // A name taken in the meantime is looked at again below rather than trusted.
      if (!CreateDirectoryW(current.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return Walk::kStopFalse;
      }
      attributes = GetPathAttributes(current);
    }
    return IsRealFolder(attributes) ? Walk::kGoOn : Walk::kStopFalse;
  });
}

}  // namespace qrx
