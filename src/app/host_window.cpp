// The document host is not built yet: no window can be created.
#include "app/host_window.h"

namespace qrx {

bool RegisterHostClass() { return false; }

bool CreateHostWindow(const std::wstring&, QRXExternal*) { return false; }

}  // namespace qrx
