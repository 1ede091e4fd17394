// What the document site needs of the object that script reaches as window.external.
#pragma once

#include <windows.h>
#include <dispex.h>

#include "common/com_object.h"

namespace htmlui {

class MSHTMLClient;

// The script-facing object: its IDispatchEx is handed to the engine by the site, the window
// attaches itself to it, and the site reports when the page has finished loading.
class DocumentExternal : public IDispatchEx {
 public:
  virtual ~DocumentExternal() = default;
  // The host window, or none once it is destroyed.
  virtual void SetHostWindow(HWND window) = 0;
  // Called each time the document's ready state becomes complete.
  virtual void OnDocumentReady(MSHTMLClient* site) = 0;
  // The site refused a navigation to `url` (outside our page folder); the object logs it.
  virtual void OnNavigationRefused(const wchar_t* url) = 0;
};

}  // namespace htmlui

// Not an interface of its own: QueryInterface answers for IDispatchEx and what that derives from.
template <>
struct qrx::ComInterfaceBase<htmlui::DocumentExternal> {
  using type = IDispatchEx;
};
template <>
struct qrx::ComInterfaceHasId<htmlui::DocumentExternal> {
  static constexpr bool value = false;
};
