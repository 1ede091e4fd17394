// The run sequence hands the window the product's bridge.
#include "app/host_window.h"

#include "htmlhost/document_external.h"

namespace qrx {

// The bridge serves the page as window.external once it is a document external; until then the
// window shows the pages without one.
bool CreateHostWindow(const std::wstring& pageUrl, QRXExternal*) {
  return CreateHostWindow(pageUrl, static_cast<htmlui::DocumentExternal*>(nullptr));
}

}  // namespace qrx
