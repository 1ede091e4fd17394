// Whether the product is installed, and where: Windows Installer registrations and the product's
// registry value.
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

// MsiGetProductInfoW, reached from msi.dll by ordinal; null when it cannot be loaded.
using MsiGetProductInfoFn = UINT(WINAPI*)(const wchar_t* product, const wchar_t* property, wchar_t* value,
                                          DWORD* count);
MsiGetProductInfoFn GetMsiGetProductInfo();

// Registered with Windows Installer (an empty install location counts).
bool IsProductInstalled(const wchar_t* productCode);
// The registered "VersionString", or empty.
std::wstring QueryProductVersion(const wchar_t* productCode);

// The text of a registry string read into a buffer of `capacity` characters that returned
// `bytes` bytes: up to the first zero, never past the buffer (a value that fills the buffer has
// no room for a terminator of its own).
std::wstring RegistryTextFromBuffer(const wchar_t* buffer, size_t capacity, DWORD bytes);

// Reads `valueName` of `key` under HKEY_LOCAL_MACHINE through the given view flag (0: the
// process's own view) into a 260-character buffer.
bool ReadMachineFolderValue(const wchar_t* key, const wchar_t* valueName, REGSAM view, std::wstring& folder);

// The program path for an install folder: the folder and `programName` joined with one backslash.
bool JoinProgramPath(const std::wstring& folder, const wchar_t* programName, std::wstring& path);

// The program path from the "Directory" value of `key`: `firstView` first, then `secondView`.
// False (path untouched) when neither has it.
bool FindStartProgram(const wchar_t* key, REGSAM firstView, REGSAM secondView, std::wstring& path);

// The installed program: "Directory" of the product key in the process's own view first, then
// in the 64-bit view. False (path untouched) when neither has it.
bool FindInstalledStartProgram(std::wstring& path);

}  // namespace qrx
