#include "htmlhost/desktop_shell_execute.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "common/com_ptr.h"
#include "common/unique_any.h"

namespace htmlui {

using qrx::ComPtr;
using qrx::UniqueBstr;
using qrx::UniqueModule;
using qrx::UniqueVariant;

namespace {

// The shell's light-weight utility library exports IUnknown_QueryService by this ordinal only
// on the oldest systems.
constexpr WORD kQueryServiceOrdinal = 176;
using QueryServiceFunc = HRESULT(WINAPI*)(IUnknown*, REFGUID, REFIID, void**);

HRESULT QueryService(IUnknown* object, REFGUID service, REFIID iid, void** out) {
  UniqueModule shlwapi(LoadLibraryW(L"shlwapi.dll"));
  if (!shlwapi) return HRESULT_FROM_WIN32(GetLastError());
  auto query = reinterpret_cast<QueryServiceFunc>(
      reinterpret_cast<void*>(GetProcAddress(shlwapi.get(), MAKEINTRESOURCEA(kQueryServiceOrdinal))));
  if (!query) return HRESULT_FROM_WIN32(GetLastError());
  return query(object, service, iid, out);
}

// The shell's automation object, reached through the desktop window's shell view.
HRESULT FindDesktopShell(ComPtr<IShellDispatch2>* shell) {
  ComPtr<IShellWindows> windows;
  HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.put_void());
  if (FAILED(hr)) return hr;

  UniqueVariant location;
  UniqueVariant root;
  long desktopWindow = 0;
  ComPtr<IDispatch> desktop;
  hr = windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                             desktop.put());
  if (hr != S_OK || !desktop) return E_FAIL;

  ComPtr<IShellBrowser> browser;
  hr = QueryService(desktop.get(), SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void());
  if (FAILED(hr)) return hr;
  ComPtr<IShellView> activeView;
  hr = browser->QueryActiveShellView(activeView.put());
  if (FAILED(hr)) return hr;
  ComPtr<IShellView> view;
  hr = activeView.As(&view);
  if (FAILED(hr)) return hr;

  ComPtr<IDispatch> background;
  hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void());
  if (FAILED(hr)) return hr;
  ComPtr<IShellFolderViewDual> folderView;
  hr = background.As(&folderView);
  if (FAILED(hr)) return hr;
  ComPtr<IDispatch> application;
  hr = folderView->get_Application(application.put());
  if (FAILED(hr)) return hr;
  return application.As(shell);
}

}  // namespace

HRESULT DesktopShellExecute(const std::wstring& file, const std::wstring& arguments) {
  ComPtr<IShellDispatch2> shell;
  HRESULT hr = FindDesktopShell(&shell);
  if (FAILED(hr)) return hr;

  // Both by length, so the texts reach the shell exactly as given.
  UniqueBstr fileText(SysAllocStringLen(file.data(), static_cast<UINT>(file.size())));
  UniqueVariant args;
  args.get()->vt = VT_BSTR;
  args.get()->bstrVal = SysAllocStringLen(arguments.data(), static_cast<UINT>(arguments.size()));
  if (!fileText || !args.get()->bstrVal) return E_OUTOFMEMORY;
  // Directory, operation and show mode stay empty: the shell's defaults apply.
  UniqueVariant directory;
  UniqueVariant operation;
  UniqueVariant show;
  return shell->ShellExecute(fileText.get(), *args.get(), *directory.get(), *operation.get(), *show.get());
}

}  // namespace htmlui
