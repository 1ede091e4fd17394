// Starts a program or opens a document or URL through the interactive desktop's shell.
#pragma once

#include <windows.h>

#include <string>

namespace htmlui {

// The shell's ShellExecute result; arguments may be empty.
HRESULT DesktopShellExecute(const std::wstring& file, const std::wstring& arguments);

}  // namespace htmlui
