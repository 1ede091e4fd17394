// What the bridge does to its host window. app/ implements it for its window class; the bridge
// keeps the window handle (and its close guard) and changes the window only through this.
#pragma once

#include <windows.h>

namespace downloadmanagercore {

class WindowControl {
 public:
  // Moves and sizes `window` to the outer rectangle `rect`, in screen coordinates.
  virtual void Place(HWND window, const RECT& rect) = 0;
  // Asks the window's message loop to end after the current message: true when `window` is a host
  // window whose close flag was not yet set. The window is not destroyed here.
  virtual bool RequestClose(HWND window) = 0;
  // Minimises `window`; `keepActive` leaves it the active window, otherwise the next one is.
  virtual void Minimize(HWND window, bool keepActive) = 0;
  // Brings `window` to the foreground, restoring it when minimised.
  virtual void Restore(HWND window) = 0;
  // Moves `window` with the mouse, as a drag on a caption would; returns when the drag ends.
  virtual void Drag(HWND window) = 0;
  // A modal message box owned by `window`; the id of the button chosen.
  virtual int ShowMessageBox(HWND window, const wchar_t* text, const wchar_t* caption, UINT type) = 0;

 protected:
  ~WindowControl() = default;
};

}  // namespace downloadmanagercore
