// What the host window keeps at its window index 0; the script bridge reads the close flag.
#pragma once

#include <windows.h>

namespace htmlui {
class DocumentExternal;
class MSHTMLClient;
}  // namespace htmlui

namespace qrx {

struct WindowData {
  htmlui::MSHTMLClient* site;                // the document site; one reference, owned
  htmlui::DocumentExternal* bridge;           // not counted
  HWND savedFocus;                           // focus child at the last deactivation
  bool* closeFlag;                           // setting it ends the message loop
};

// The window's data, or null when `window` has none.
inline WindowData* GetWindowData(HWND window) {
  return window ? reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, 0)) : nullptr;
}

}  // namespace qrx
