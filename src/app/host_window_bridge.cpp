// The run sequence hands the window the product's bridge.
#include "app/host_window.h"
#include "bridge/qrx_external.h"

namespace qrx {

bool CreateHostWindow(const std::wstring& pageUrl, QRXExternal* bridge) {
  return CreateHostWindow(pageUrl, static_cast<htmlui::DocumentExternal*>(bridge));
}

}  // namespace qrx
