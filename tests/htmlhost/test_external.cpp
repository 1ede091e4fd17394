#include "htmlhost/test_external.h"

#include "app/host_window.h"
#include "bridge/window_rect.h"

namespace qrxtest {

namespace {

const wchar_t* const kMethods[] = {L"note", L"getProperty", L"setWindowSize", L"closeWindow", L"caption",
                                   L"windowSize"};

std::wstring TextArg(DISPPARAMS* params, UINT index) {
  if (!params || index >= params->cArgs) return L"<missing>";
  const VARIANT& arg = params->rgvarg[params->cArgs - 1 - index];
  if (arg.vt == VT_BSTR) return arg.bstrVal ? arg.bstrVal : L"";
  if (arg.vt == VT_I4) return std::to_wstring(arg.lVal);
  return L"<vt " + std::to_wstring(arg.vt) + L">";
}

LONG IntArg(DISPPARAMS* params, UINT index) {
  if (!params || index >= params->cArgs) return 0;
  const VARIANT& arg = params->rgvarg[params->cArgs - 1 - index];
  return arg.vt == VT_I4 ? arg.lVal : 0;
}

// What the product's bridge does for a page size: DPI-scaled, centred, moved only on a change.
void ApplySize(HWND window, int width, int height) {
  POINT cursor = {};
  GetCursorPos(&cursor);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  const RECT rect = downloadmanagercore::ComputeWindowRectFor(dpi, width, height, monitor.rcWork, monitor.rcWork);
  SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

bool quitByWatchdog = false;
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
  quitByWatchdog = true;
  PostQuitMessage(0x7D09);
}

}  // namespace

STDMETHODIMP TestExternal::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IDispatchEx) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDispatchEx*>(this);
  return S_OK;
}

STDMETHODIMP TestExternal::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

STDMETHODIMP TestExternal::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    BSTR name = SysAllocString(names[i]);
    if (GetDispID(name, 0, &ids[i]) != S_OK) hr = DISP_E_UNKNOWNNAME;
    SysFreeString(name);
  }
  return hr;
}

STDMETHODIMP TestExternal::GetDispID(BSTR name, DWORD, DISPID* id) {
  *id = DISPID_UNKNOWN;
  for (size_t i = 0; i < ARRAYSIZE(kMethods); ++i) {
    if (name && lstrcmpW(name, kMethods[i]) == 0) *id = static_cast<DISPID>(i + 1);
  }
  return *id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP TestExternal::InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception, IServiceProvider*) {
  return Invoke(id, IID_NULL, locale, flags, params, result, exception, nullptr);
}

STDMETHODIMP TestExternal::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO*, UINT*) {
  if (id < 1 || id > static_cast<DISPID>(ARRAYSIZE(kMethods))) return DISP_E_MEMBERNOTFOUND;
  const std::wstring method = kMethods[id - 1];
  if (method == L"note") {
    events.push_back(L"note:" + TextArg(params, 0));
  } else if (method == L"getProperty") {
    events.push_back(L"getProperty:" + TextArg(params, 0) + L" flags " + std::to_wstring(flags));
    if (result) {
      VariantInit(result);
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString((L"value:" + TextArg(params, 0)).c_str());
    }
  } else if (method == L"setWindowSize") {
    events.push_back(L"setWindowSize:" + TextArg(params, 0) + L"x" + TextArg(params, 1));
    ApplySize(hostWindow, IntArg(params, 0), IntArg(params, 1));
  } else if (method == L"closeWindow") {
    events.push_back(std::wstring(L"close:") + (qrx::RequestHostWindowClose(hostWindow) ? L"1" : L"0"));
  } else if (method == L"caption") {
    wchar_t text[256] = {};
    GetWindowTextW(hostWindow, text, ARRAYSIZE(text));
    events.push_back(std::wstring(L"caption:") + text);
  } else if (method == L"windowSize") {
    RECT rect = {};
    GetWindowRect(hostWindow, &rect);
    events.push_back(L"size:" + std::to_wstring(rect.right - rect.left) + L"x" +
                     std::to_wstring(rect.bottom - rect.top));
  }
  return S_OK;
}

void TestExternal::SetHostWindow(HWND window) {
  events.push_back(window ? L"attach" : L"detach");
  hostWindow = window;
}

void TestExternal::OnDocumentReady(htmlui::MSHTMLClient* site) {
  events.push_back(L"ready");
  if (keepSite && !keptSite) {
    site->AddRef();
    keptSite = site;
  }
  RECT client = {};
  if (hostWindow && GetClientRect(hostWindow, &client) && (client.right == 0 || client.bottom == 0)) {
    ApplySize(hostWindow, 400, 200);
  }
}

void TestExternal::OnNavigationRefused(const wchar_t* url) { events.push_back(std::wstring(L"refused:") + url); }

HostRun RunHostWindow(const std::wstring& pageUrl, htmlui::DocumentExternal* external, UINT timeoutMs) {
  HostRun run;
  quitByWatchdog = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, timeoutMs, Watchdog);
  qrx::RegisterHostClass();
  run.created = qrx::CreateHostWindow(pageUrl, external);
  KillTimer(nullptr, timer);
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    run.quitPosted = true;
    run.quitCode = message.wParam;
  }
  run.timedOut = quitByWatchdog;
  return run;
}

}  // namespace qrxtest
