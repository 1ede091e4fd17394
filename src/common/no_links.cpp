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

const wchar_t* LinkCheckText(LinkCheck check) {
  // In the order of LinkCheck.
  static const wchar_t* const kTexts[] = {L"a plain file", L"missing", L"a link or below one", L"a hard link",
                                          L"at another place"};
  const size_t index = static_cast<size_t>(check);
  return index < sizeof(kTexts) / sizeof(kTexts[0]) ? kTexts[index] : L"";
}

std::wstring FinalPathOf(HANDLE file) {
  wchar_t buffer[MAX_PATH + 16];
  const DWORD length = GetFinalPathNameByHandleW(file, buffer, MAX_PATH + 16, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= MAX_PATH + 16) return std::wstring();
  std::wstring path(buffer, length);
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + path.substr(7);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

namespace {

// The full, long form of a path that exists.
std::wstring CanonicalPath(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  wchar_t longPath[MAX_PATH];
  const DWORD longLength = GetLongPathNameW(full, longPath, MAX_PATH);
  if (longLength == 0 || longLength >= MAX_PATH) return full;
  return longPath;
}

}  // namespace

bool HandleIsAt(HANDLE file, const std::wstring& path) {
  const std::wstring expected = CanonicalPath(path);
  const std::wstring actual = FinalPathOf(file);
  return !expected.empty() && !actual.empty() && _wcsicmp(expected.c_str(), actual.c_str()) == 0;
}

bool DeleteByHandle(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

LinkCheck OpenLinkFreeFile(const std::wstring& top, const std::wstring& path, DWORD access, DWORD share,
                           UniqueFile& file) {
  file.Reset();
  std::wstring relative;
  if (!RelativePart(top, path, relative) || relative.empty()) return LinkCheck::kMoved;
  if (!PathBelowIsLinkFree(top, path)) return LinkCheck::kLink;
  UniqueFile opened(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!opened) return LinkCheck::kMissing;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(opened.get(), &info)) return LinkCheck::kMissing;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return LinkCheck::kLink;
  if (info.nNumberOfLinks > 1) return LinkCheck::kHardLink;
  if (!HandleIsAt(opened.get(), path)) return LinkCheck::kMoved;
  file = std::move(opened);
  return LinkCheck::kPlain;
}

}  // namespace qrx
