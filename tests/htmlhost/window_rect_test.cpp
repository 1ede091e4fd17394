// Placement of the host window for a page size.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/window_rect.h"

namespace {

using qrx::PlaceWindowRect;

const RECT kNoFrame = {0, 0, 0, 0};

TEST(WindowRect, ScaledCentredAndKeptInTheWorkArea) {
  const struct {
    int width, height, dpi;
    RECT reference, work;
    RECT expected;
  } rows[] = {
      // 96 DPI, centred on a 1920 x 1040 work area.
      {647, 505, 96, {0, 0, 1920, 1040}, {0, 0, 1920, 1040}, {636, 267, 1283, 772}},
      // 144 DPI: 970 x 757 pixels.
      {647, 505, 144, {0, 0, 1920, 1040}, {0, 0, 1920, 1040}, {475, 141, 1445, 898}},
      // 120 DPI: truncated, not rounded: 808 x 631.
      {647, 505, 120, {0, 0, 1920, 1040}, {0, 0, 1920, 1040}, {556, 204, 1364, 835}},
      // The default size.
      {400, 200, 96, {0, 0, 1280, 1024}, {0, 0, 1280, 1024}, {440, 412, 840, 612}},
      // Larger than the work area: aligned to its left and top.
      {2000, 1200, 96, {0, 0, 1024, 738}, {0, 0, 1024, 738}, {0, 0, 2000, 1200}},
      // A work area away from the origin (second monitor, taskbar at the top).
      {400, 200, 96, {1920, 40, 3200, 1024}, {1920, 40, 3200, 1024}, {2360, 432, 2760, 632}},
      // A reference that would put the window past the right and bottom edges.
      {400, 200, 96, {900, 900, 1280, 1024}, {0, 0, 1280, 1024}, {880, 824, 1280, 1024}},
  };
  for (const auto& row : rows) {
    const RECT r = PlaceWindowRect(row.width, row.height, row.dpi, kNoFrame, row.reference, row.work);
    EXPECT_EQ(row.expected.left, r.left) << row.width << "x" << row.height << "@" << row.dpi;
    EXPECT_EQ(row.expected.top, r.top);
    EXPECT_EQ(row.expected.right, r.right);
    EXPECT_EQ(row.expected.bottom, r.bottom);
  }
}

TEST(WindowRect, FrameAddsToTheClientSize) {
  const RECT frame = {-8, -31, 8, 8};
  const RECT work = {0, 0, 1000, 1000};
  const RECT r = PlaceWindowRect(400, 200, 96, frame, work, work);
  EXPECT_EQ(416, r.right - r.left);
  EXPECT_EQ(239, r.bottom - r.top);
}

TEST(WindowRect, PopupWindowAtTheScreenDpi) {
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  const RECT r = qrx::ComputeWindowRect(window, 400, 200);
  EXPECT_EQ(400 * dpi / 96, r.right - r.left);
  EXPECT_EQ(200 * dpi / 96, r.bottom - r.top);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  POINT cursor = {};
  GetCursorPos(&cursor);
  GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
  EXPECT_GE(r.left, monitor.rcWork.left);
  EXPECT_LE(r.right, monitor.rcWork.right);
  DestroyWindow(window);
}

}  // namespace
