// The user's UI language, string resources, nation and default browser.
#include "common/unique_any.h"
#include "sysinfo/languages.h"

namespace qrx {

int GetUiLanguageIndex() { return LanguageIndexFromLangId(GetUserDefaultUILanguage()); }

std::wstring LoadLocalizedString(unsigned id, int index) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), kLanguages[index].langId);
  if (!resource) return std::wstring();
  HGLOBAL loaded = LoadResource(module, resource);
  if (!loaded) return std::wstring();
  const void* block = LockResource(loaded);
  const DWORD size = SizeofResource(module, resource);
  std::wstring text = block ? StringFromTableBlock(block, size, id) : std::wstring();
  FreeResource(loaded);
  return text;
}

std::wstring GetCountryCode() {
  wchar_t text[16];
  wsprintfW(text, L"%d", static_cast<int>(GetUserGeoID(GEOCLASS_NATION)));
  return text;
}

std::wstring GetDefaultBrowser() {
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", 0, KEY_READ, key.put()) !=
          ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\StartMenuInternet", 0, KEY_READ, key.put()) !=
          ERROR_SUCCESS) {
    return L"Other";
  }
  wchar_t buffer[MAX_PATH] = {};
  DWORD bytes = sizeof(buffer);
  const bool read = RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                     &bytes) == ERROR_SUCCESS;
  const bool closed = RegCloseKey(key.release()) == ERROR_SUCCESS;
  return BrowserNameFromValue(read && closed, buffer, MAX_PATH);
}

}  // namespace qrx
