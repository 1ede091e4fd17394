// A DLL planted beside the wizard under the names of system DLLs. When anything loads it, it leaves
// "<its file name>.loaded" in the folder named by QRX_PLANT_MARKER_DIR, holding the path it was
// loaded from; the whole-run test then sees that a planted copy got into the process.
#include <windows.h>

#include <cwchar>
#include <string>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"QRX_PLANT_MARKER_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  wchar_t self[MAX_PATH] = {};
  const DWORD selfLength = GetModuleFileNameW(module, self, MAX_PATH);
  if (selfLength == 0 || selfLength >= MAX_PATH) return TRUE;
  const wchar_t* name = std::wcsrchr(self, L'\\');
  name = name ? name + 1 : self;
  const std::wstring marker = std::wstring(folder) + L"\\" + name + L".loaded";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written = 0;
  WriteFile(file, self, selfLength * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
