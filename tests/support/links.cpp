// Links for the no-links tests: real Unix links through Wine, and a seam for the rest.
#include <windows.h>

#include <string>
#include <vector>

#include "common/no_links.h"
#include "support/test_support.h"

namespace qrxtest {

namespace {

std::wstring UnixPathOf(const std::wstring& windowsPath) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto toUnix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::wstring();
  char* unixPath = toUnix(windowsPath.c_str());
  if (!unixPath) return std::wstring();
  const std::string narrow = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return std::wstring(narrow.begin(), narrow.end());
}

std::vector<std::wstring> g_fakeLinks;
qrx::PathAttributesFunction g_realAttributes = nullptr;

DWORD WINAPI FakeLinkAttributes(LPCWSTR path) {
  const DWORD attributes = g_realAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
  for (const std::wstring& link : g_fakeLinks) {
    if (_wcsicmp(link.c_str(), path) == 0) return attributes | FILE_ATTRIBUTE_REPARSE_POINT;
  }
  return attributes;
}

std::wstring Trimmed(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

namespace {

// Starts a Unix command. A Unix child cannot be waited on under Wine, so the caller
// watches for its effect.
bool StartUnixCommand(const std::wstring& command) {
  std::wstring line = command;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Polls for another process's result for up to 10 s.
bool WaitUntil(bool (*done)(const std::wstring&), const std::wstring& path) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 10000) {
    if (done(path)) return true;
    Sleep(10);
  }
  return false;
}

bool EntryListed(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(path.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool EntryGone(const std::wstring& path) { return !EntryListed(path); }

}  // namespace

bool MakeUnixLink(const std::wstring& link, const std::wstring& target) {
  const std::wstring unixLink = UnixPathOf(Trimmed(link));
  const std::wstring unixTarget = UnixPathOf(Trimmed(target));
  if (unixLink.empty() || unixTarget.empty()) return false;
  return StartUnixCommand(L"/bin/ln -s \"" + unixTarget + L"\" \"" + unixLink + L"\"") &&
         WaitUntil(EntryListed, Trimmed(link));
}

bool RemoveUnixLink(const std::wstring& link) {
  const std::wstring unixLink = UnixPathOf(Trimmed(link));
  if (unixLink.empty()) return false;
  return StartUnixCommand(L"/bin/rm -f \"" + unixLink + L"\"") && WaitUntil(EntryGone, Trimmed(link));
}

ScopedFakeLinks::ScopedFakeLinks(std::initializer_list<std::wstring> paths) {
  for (const std::wstring& path : paths) g_fakeLinks.push_back(Trimmed(path));
  g_realAttributes = qrx::SetPathAttributesFunction(&FakeLinkAttributes);
}

ScopedFakeLinks::~ScopedFakeLinks() {
  qrx::SetPathAttributesFunction(g_realAttributes);
  g_fakeLinks.clear();
}

}  // namespace qrxtest

namespace qrxtest {

std::string Narrow(const std::wstring& text) {
  std::string result;
  for (wchar_t c : text) result += c < 0x80 ? static_cast<char>(c) : '?';
  return result;
}

}  // namespace qrxtest
