#include "app/resume_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/com_ptr.h"
#include "common/no_links.h"
#include "common/scope_guard.h"
#include "common/unique_any.h"
#include "sysinfo/security_descriptors.h"
#include "sysinfo/temp_folder.h"

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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder part of `path` (no trailing backslash).
std::wstring FolderOf(const std::wstring& path) {
  wchar_t folder[MAX_PATH] = {};
  lstrcpynW(folder, path.c_str(), MAX_PATH);
  PathRemoveFileSpecW(folder);
  return folder;
}

// Makes the name `path` in `folder` free: nothing there, or a plain file that is deleted through
// its handle. A link, a hard link or a linked folder is refused and logged with `refusal`.
bool FreeName(const std::wstring& folder, const std::wstring& path, const wchar_t* refusal, Logger* logger) {
  UniqueFile existing;
  const LinkCheck check = OpenLinkFreeFile(folder, path, DELETE | FILE_READ_ATTRIBUTES, kShareAll, existing);
  if (check == LinkCheck::kMissing) return true;
  if (check != LinkCheck::kPlain) {
    LogError(logger, refusal, path.c_str(), LinkCheckText(check));
    return false;
  }
  return DeleteByHandle(existing.get());
}

// A new file at `path` (CREATE_NEW: nothing that has the name is taken over), checked to be there.
bool CreateNewFile(const std::wstring& path, DWORD share, SECURITY_ATTRIBUTES* security, UniqueFile& file) {
  file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, share, security, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  if (HandleIsAt(file.get(), path)) return true;
  DeleteByHandle(file.get());
  file.Reset();
  return false;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// The new copy has its own descriptor, so the user's processes can read and run it but never
// write it.
bool WriteProtectedCopy(const wchar_t* source, const std::wstring& copy) {
  UniqueFile input(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input) return false;
  SecurityAttributes security(kResumeCopySecurity);
  if (!security.get()) return false;
  UniqueFile output;
  if (!CreateNewFile(copy, 0, security.get(), output)) return false;
  auto removeCopy = MakeScopeGuard([&output] {
    DeleteByHandle(output.get());
    output.Reset();
  });
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(input.get(), buffer, sizeof(buffer), &read, nullptr)) return false;
    if (read == 0) break;
    if (!WriteAll(output.get(), buffer, read)) return false;
  }
  removeCopy.release();
  return true;
}

}  // namespace

const wchar_t kLogResumeCopyRefused[] = L"Resume copy %s not written: the name is %s";
const wchar_t kLogShortcutRefused[] = L"Resume shortcut %s not touched: the name is %s";

bool CopySelfToTemp(std::wstring& copyPath, Logger* logger) {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  // A truncated path names another file.
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring temp;
  if (!GetTempFolder(temp)) return false;
  const std::wstring copy = temp + PathFindFileNameW(self);
  if (copy.size() >= MAX_PATH) return false;
  copyPath = copy;
  // Started from the copy itself: nothing to copy.
  if (copy == self) return true;
  if (!FreeName(temp, copyPath, kLogResumeCopyRefused, logger)) return false;
  return WriteProtectedCopy(self, copyPath);
}

bool CreateResumeShortcut(const std::wstring& copyPath, const std::wstring& shortcutPath, Logger* logger) {
  if (shortcutPath.empty()) return false;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
    return false;
  }
  link->SetPath(copyPath.c_str());
  link->SetWorkingDirectory(FolderOf(copyPath).c_str());
  // The shortcut is saved into memory and written through a handle this process made, never by
  // a path the shell would follow.
  ComPtr<IPersistStream> persist;
  ComPtr<IStream> stream;
  if (FAILED(link.As(&persist)) || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
      FAILED(persist->Save(stream.get(), TRUE))) {
    return false;
  }
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.get(), &memory))) return false;
  STATSTG stat = {};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.HighPart != 0) return false;
  if (!FreeName(FolderOf(shortcutPath), shortcutPath, kLogShortcutRefused, logger)) return false;
  UniqueFile file;
  if (!CreateNewFile(shortcutPath, FILE_SHARE_READ, nullptr, file)) return false;
  const void* bytes = GlobalLock(memory);
  const bool written = bytes && WriteAll(file.get(), bytes, stat.cbSize.LowPart);
  if (bytes) GlobalUnlock(memory);
  if (!written) DeleteByHandle(file.get());
  return written;
}

bool DeleteResumeShortcut(const std::wstring& shortcutPath, Logger* logger) {
  if (shortcutPath.empty()) return false;
  return FreeName(FolderOf(shortcutPath), shortcutPath, kLogShortcutRefused, logger);
}

}  // namespace qrx
