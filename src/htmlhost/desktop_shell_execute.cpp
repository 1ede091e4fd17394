// The desktop-shell launch is built with the document host; until then nothing is started.
#include "htmlhost/desktop_shell_execute.h"

namespace htmlui {

HRESULT DesktopShellExecute(const std::wstring&, const std::wstring&) { return E_NOTIMPL; }

}  // namespace htmlui
