// Where the host window goes for a page size: scaled by the screen DPI, centred, kept on screen.
#pragma once

#include <windows.h>

namespace qrx {

// Pure arithmetic: `frame` is what the window style adds around a client rectangle at (0, 0)
// (negative left/top, positive right/bottom); `reference` is centred upon, `work` bounds it.
RECT PlaceWindowRect(int width, int height, int dpi, const RECT& frame, const RECT& reference, const RECT& work);

// The outer rectangle for a page of `width` x `height` units at 96 DPI.
RECT ComputeWindowRect(HWND window, int width, int height);

}  // namespace qrx
