// The borderless wizard window.
#pragma once

#include <string>

namespace qrx {

class QRXExternal;

// Registers the window class "HTMLUI" unless it is registered already.
bool RegisterHostClass();
// Creates the window on `pageUrl`, runs its message loop until it closes; false when it could not
// be created.
bool CreateHostWindow(const std::wstring& pageUrl, QRXExternal* bridge);

}  // namespace qrx
