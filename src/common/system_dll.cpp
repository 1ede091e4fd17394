#include "common/system_dll.h"

#include <delayimp.h>

namespace qrx {

namespace {

// Set once the process-wide search is limited to the system folder.
bool searchRestricted = false;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

bool IsBareFileName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." && name != L"..";
}

// The delay-load helper asks here before it loads a DLL by bare name: the DLL comes from the system
// folder or not at all.
FARPROC WINAPI DelayLoadNotify(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  std::wstring name;
  for (const char* c = info->szDll; *c; ++c) name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  HMODULE module = LoadSystemLibrary(name.c_str());
  if (!module) {
    // Returning null would make the helper try the bare name through the whole search path.
    // Fail the import the way the helper does itself.
    info->dwLastError = GetLastError();
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
  }
  return reinterpret_cast<FARPROC>(module);
}

}  // namespace

bool RestrictDllSearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    searchRestricted = true;
    return true;
  }
  // XP, or Vista/7 without the loader update: at least the current folder is no longer searched.
  SetDllDirectoryW(L"");
  return false;
}

bool SystemDllPath(const std::wstring& name, std::wstring& path) {
  if (!IsBareFileName(name)) return false;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  path.assign(folder, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  return true;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  std::wstring path;
  if (!name || !SystemDllPath(name, path)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // The DLL's own imports: from the process-wide search when it is limited, otherwise from the
  // DLL's folder first (the altered search order leaves out the executable's folder).
  return LoadLibraryExW(path.c_str(), nullptr, searchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace qrx

// The delay-load helper's notification hook (it reads this variable on every delay-loaded call).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = qrx::DelayLoadNotify;
}
