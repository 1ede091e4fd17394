#include "app/resume_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/com_ptr.h"
#include "common/scope_guard.h"
#include "common/unique_any.h"
#include "sysinfo/security_descriptors.h"

namespace qrx {

std::wstring GetShortcutPath(const std::wstring& fileName) {
  wchar_t desktop[MAX_PATH] = {};
  // Without a desktop folder there is nowhere to put the shortcut: no path, no shortcut.
  if (SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop) != S_OK) {
    return std::wstring();
  }
  wchar_t path[MAX_PATH] = {};
  if (!PathCombineW(path, desktop, fileName.c_str())) return std::wstring();
  return path;
}

namespace {

// The copy replaces whatever has the name: the old name is deleted first (a link as a link, so
// nothing is written through it) and the new file made with CREATE_NEW and its own descriptor,
// so the user's processes can read and run it but never write it.
bool WriteProtectedCopy(const wchar_t* source, const wchar_t* copy) {
  if (!DeleteFileW(copy) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  UniqueFile input(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input) return false;
  SecurityAttributes security(kResumeCopySecurity);
  if (!security.get()) return false;
  UniqueFile output(
      CreateFileW(copy, GENERIC_WRITE, 0, security.get(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) return false;
  auto removeCopy = MakeScopeGuard([&output, copy] {
    output.Reset();
    DeleteFileW(copy);
  });
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(input.get(), buffer, sizeof(buffer), &read, nullptr)) return false;
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(output.get(), buffer, read, &written, nullptr) || written != read) return false;
  }
  removeCopy.release();
  return true;
}

}  // namespace

bool CopySelfToTemp(std::wstring& copyPath) {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  // A truncated path names another file.
  if (length == 0 || length >= MAX_PATH) return false;
  wchar_t copy[MAX_PATH] = {};
  const DWORD tempLength = GetTempPathW(MAX_PATH, copy);
  if (tempLength == 0 || tempLength >= MAX_PATH) return false;
  if (!PathAppendW(copy, PathFindFileNameW(self))) return false;
  copyPath = copy;
  // Started from the copy itself: nothing to copy.
  if (wcscmp(self, copy) == 0) return true;
  return WriteProtectedCopy(self, copy);
}

void CreateResumeShortcut(const std::wstring& copyPath, const std::wstring& shortcutPath) {
  if (shortcutPath.empty()) return;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
    return;
  }
  link->SetPath(copyPath.c_str());
  wchar_t folder[MAX_PATH] = {};
  lstrcpynW(folder, copyPath.c_str(), MAX_PATH);
  PathRemoveFileSpecW(folder);
  link->SetWorkingDirectory(folder);
  ComPtr<IPersistFile> file;
  if (SUCCEEDED(link.As(&file))) file->Save(shortcutPath.c_str(), TRUE);
}

}  // namespace qrx
