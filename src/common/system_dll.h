// Keeps DLL loading to the system folder. The executable usually sits in a folder that other
// programs can write to (Downloads, the temp folder of the resume copy); a DLL planted there must
// never be loaded into the elevated process.
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

// Limits the process's DLL search to the system folder (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32) and, where that call is missing, drops the current folder from the
// search (SetDllDirectoryW(L"")). Called before anything loads a DLL. True when the search is
// limited to the system folder.
bool RestrictDllSearch();

// "<system folder>\<name>"; false for a name that is not a bare file name.
bool SystemDllPath(const std::wstring& name, std::wstring& path);

// Loads a DLL from the system folder by its full path; null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace qrx
