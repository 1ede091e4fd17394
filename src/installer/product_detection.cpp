#include "installer/product_detection.h"

#include <shlwapi.h>

#include <cwchar>

#include "common/system_dll.h"
#include "common/unique_any.h"
#include "installer/product_codes.h"

namespace qrx {

namespace {

constexpr WORD kMsiGetProductInfoOrdinal = 70;
const wchar_t kInstallLocationProperty[] = L"InstallLocation";
const wchar_t kVersionStringProperty[] = L"VersionString";

}  // namespace

MsiGetProductInfoFn GetMsiGetProductInfo() {
  // msi.dll stays loaded for the rest of the process once a query has needed it. Two threads may
  // both load it the first time; the loser drops its extra reference.
  static HMODULE loaded = nullptr;
  HMODULE msi = static_cast<HMODULE>(InterlockedCompareExchangePointer(
      reinterpret_cast<void* volatile*>(&loaded), nullptr, nullptr));
  if (!msi) {
    msi = LoadSystemLibrary(L"msi.dll");
    if (!msi) return nullptr;
    if (void* earlier = InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&loaded),
                                                          msi, nullptr)) {
      FreeLibrary(msi);
      msi = static_cast<HMODULE>(earlier);
    }
  }
  return reinterpret_cast<MsiGetProductInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(msi, MAKEINTRESOURCEA(kMsiGetProductInfoOrdinal))));
}

bool IsProductInstalled(const wchar_t* productCode) {
  MsiGetProductInfoFn query = GetMsiGetProductInfo();
  if (!query) return false;
  wchar_t location[MAX_PATH] = {};
  DWORD count = MAX_PATH;
  return query(productCode, kInstallLocationProperty, location, &count) == ERROR_SUCCESS;
}

std::wstring QueryProductVersion(const wchar_t* productCode) {
  MsiGetProductInfoFn query = GetMsiGetProductInfo();
  if (!query) return std::wstring();
  wchar_t version[256] = {};
  DWORD count = 256;
  if (query(productCode, kVersionStringProperty, version, &count) != ERROR_SUCCESS) return std::wstring();
  version[255] = L'\0';
  return version;
}

std::wstring RegistryTextFromBuffer(const wchar_t* buffer, size_t capacity, DWORD bytes) {
  size_t length = bytes / sizeof(wchar_t);
  if (length > capacity) length = capacity;
  size_t end = 0;
  while (end < length && buffer[end] != L'\0') ++end;
  return std::wstring(buffer, end);
}

bool ReadMachineFolderValue(const wchar_t* key, const wchar_t* valueName, REGSAM view, std::wstring& folder) {
  UniqueHKey opened;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, opened.put()) != ERROR_SUCCESS) return false;
  wchar_t buffer[MAX_PATH] = {};
  DWORD bytes = sizeof(buffer);
  if (RegQueryValueExW(opened.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
      ERROR_SUCCESS) {
    return false;
  }
  folder = RegistryTextFromBuffer(buffer, MAX_PATH, bytes);
  return true;
}

bool JoinProgramPath(const std::wstring& folder, const wchar_t* programName, std::wstring& path) {
  if (folder.size() >= MAX_PATH) return false;
  wchar_t joined[MAX_PATH] = {};
  std::wcsncpy(joined, folder.c_str(), MAX_PATH - 1);
  if (!PathAppendW(joined, programName)) return false;
  path = joined;
  return true;
}

bool FindStartProgram(const wchar_t* key, REGSAM firstView, REGSAM secondView, std::wstring& path) {
  std::wstring folder;
  if (!ReadMachineFolderValue(key, kProductDirectoryValue, firstView, folder) &&
      !ReadMachineFolderValue(key, kProductDirectoryValue, secondView, folder)) {
    return false;
  }
  return JoinProgramPath(folder, kProductProgramName, path);
}

bool FindInstalledStartProgram(std::wstring& path) {
  // No view flag first: a 32-bit process on a 64-bit system sees the 32-bit view.
  return FindStartProgram(kProductRegistryKey, 0, KEY_WOW64_64KEY, path);
}

}  // namespace qrx
