// The product's bridge on the host window: the window operations it calls, and handing it the window.
#include "app/host_window.h"
#include "app/startup_steps.h"
#include "bridge/qrx_external.h"
#include "bridge/window_control.h"

namespace qrx {

namespace {

// The caption-drag form of SC_MOVE.
constexpr WPARAM kCaptionDrag = 0xF012;

class HostWindowOperations final : public downloadmanagercore::WindowControl {
 public:
  void Place(HWND window, const RECT& rect) override {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  }
  bool RequestClose(HWND window) override { return RequestHostWindowClose(window); }
  void Minimize(HWND window, bool keepActive) override {
    ShowWindow(window, keepActive ? SW_SHOWMINIMIZED : SW_MINIMIZE);
  }
  void Restore(HWND window) override {
    SetForegroundWindow(window);
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  }
  void Drag(HWND window) override { SendMessageW(window, WM_SYSCOMMAND, kCaptionDrag, 0); }
  int ShowMessageBox(HWND window, const wchar_t* text, const wchar_t* caption, UINT type) override {
    return MessageBoxW(window, text, caption, type);
  }
};

HostWindowOperations hostWindowOperations;

}  // namespace

downloadmanagercore::WindowControl& HostWindowControl() { return hostWindowOperations; }

bool CreateHostWindow(const std::wstring& pageUrl, QRXExternal* bridge) {
  if (bridge) bridge->AttachWindowControl(&HostWindowControl());
  if (!bridge) return CreateHostWindow(pageUrl, static_cast<htmlui::DocumentExternal*>(nullptr));
  return CreateHostWindow(
      pageUrl, static_cast<htmlui::DocumentExternal*>(bridge),
      [](void* run) { LogStartupStep(static_cast<QRXExternal*>(run)->logger(), kStepWindow); }, bridge,
      [](void* run) { static_cast<QRXExternal*>(run)->BeginShutdown(); });
}

}  // namespace qrx
