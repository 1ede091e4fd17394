// Starts a program, document or URL through the desktop shell, with the shell's own identity.
#pragma once

#include <windows.h>

#include <string>

namespace htmlui {

// The calling thread must have initialised COM. Returns the shell's answer or the first failure.
HRESULT DesktopShellExecute(const std::wstring& file, const std::wstring& arguments);

}  // namespace htmlui
