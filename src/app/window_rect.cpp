#include "app/window_rect.h"

#include <algorithm>

namespace qrx {

RECT PlaceWindowRect(int width, int height, int dpi, const RECT& frame, const RECT& reference, const RECT& work) {
  const int clientWidth = width * dpi / 96;
  const int clientHeight = height * dpi / 96;
  const int w = clientWidth + frame.right - frame.left;
  const int h = clientHeight + frame.bottom - frame.top;

  int right = (reference.left + reference.right + w) / 2;
  right = std::min(right, static_cast<int>(work.right));
  const int left = std::max(right - w, static_cast<int>(work.left));
  int bottom = (reference.top + reference.bottom + h) / 2;
  bottom = std::min(bottom, static_cast<int>(work.bottom));
  const int top = std::max(bottom - h, static_cast<int>(work.top));
  return RECT{left, top, left + w, top + h};
}

RECT ComputeWindowRect(HWND window, int width, int height) {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);

  RECT frame = {0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));

  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  RECT reference = {};
  HWND owner = window ? GetWindow(window, GW_OWNER) : nullptr;
  if (owner) {
    GetWindowRect(owner, &reference);
    GetMonitorInfoW(MonitorFromRect(&reference, MONITOR_DEFAULTTONEAREST), &monitor);
  } else {
    POINT cursor = {};
    GetCursorPos(&cursor);
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    reference = monitor.rcWork;
  }
  return PlaceWindowRect(width, height, dpi, frame, reference, monitor.rcWork);
}

}  // namespace qrx
