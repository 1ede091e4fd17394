// The borderless wizard window.
#pragma once

#include <windows.h>

#include <string>

namespace downloadmanagercore {
class WindowControl;
}  // namespace downloadmanagercore

namespace htmlui {
class DocumentExternal;
class MSHTMLClient;
}  // namespace htmlui

namespace qrx {

class QRXExternal;

// Registers the window class "HTMLUI" unless it is registered already.
bool RegisterHostClass();
// Creates the window on `pageUrl`, runs its message loop until it closes; false when it could not
// be created. `shown` (with `context`), when given, is called once the window is up, before the loop;
// `closing`, when given, once the loop has ended and before the window and its document are
// destroyed, so that nothing queued meanwhile reaches a closed document.
bool CreateHostWindow(const std::wstring& pageUrl, htmlui::DocumentExternal* bridge, void (*shown)(void*) = nullptr,
                      void* context = nullptr, void (*closing)(void*) = nullptr);
// The run sequence's form: the product's bridge, which reaches the window through
// HostWindowControl, and begins its shut-down before the window is destroyed.
bool CreateHostWindow(const std::wstring& pageUrl, QRXExternal* bridge);

// Runs the thread's messages, offering each to the document first, until `closeFlag` is set or
// WM_QUIT arrives (which is posted again for any outer loop).
void RunMessageLoop(htmlui::MSHTMLClient* site, const bool* closeFlag);

// Asks a host window's loop to end after the current message: true when `window` is a window of
// this class whose close flag was not yet set.
bool RequestHostWindowClose(HWND window);

// The window operations of the script bridge on a host window; closing is RequestHostWindowClose.
downloadmanagercore::WindowControl& HostWindowControl();

}  // namespace qrx
