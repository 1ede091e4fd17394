#include "app/host_window.h"

#include "app/window_data.h"

#include <ole2.h>

#include <new>

#include "common/com_ptr.h"
#include "htmlhost/document_external.h"
#include "htmlhost/mshtml_client.h"
#include "htmlhost/page_trust.h"

namespace qrx {

extern const wchar_t kHostWindowClass[];

namespace {

ATOM hostClassAtom = 0;

struct CreateParams {
  const wchar_t* pageUrl;
  htmlui::DocumentExternal* bridge;
  bool* closeFlag;
};

void OnDestroy(HWND window);

LRESULT OnCreate(HWND window, const CREATESTRUCTW* create) {
  const auto* params = static_cast<const CreateParams*>(create->lpCreateParams);
  if (!params || !params->pageUrl) return -1;
  auto* data = new (std::nothrow) WindowData{};
  if (!data) return -1;
  data->site = new (std::nothrow) htmlui::MSHTMLClient(window, params->bridge);
  if (!data->site) {
    delete data;
    return -1;
  }
  data->bridge = params->bridge;
  data->savedFocus = nullptr;
  data->closeFlag = params->closeFlag;
  SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(data));
  if (data->bridge) data->bridge->SetHostWindow(window);
  // The folder of the first page is our page folder: only its pages are trusted.
  if (data->site->TrustPageFolder(htmlui::FolderOfPage(params->pageUrl)) && data->site->CreateDocument() &&
      data->site->LoadUrl(params->pageUrl)) {
    return 0;
  }
  // The creation fails. Wine sends no WM_DESTROY then, so release what was made here; the window
  // data is gone before any WM_DESTROY that Windows sends.
  OnDestroy(window);
  return -1;
}

void OnDestroy(HWND window) {
  WindowData* data = GetWindowData(window);
  if (!data) return;
  SetWindowLongPtrW(window, 0, 0);
  data->site->CloseDocument();
  data->site->ClearWindow();
  data->site->ClearExternal();
  data->site->Release();
  if (data->bridge) data->bridge->SetHostWindow(nullptr);
  delete data;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    case WM_DESTROY:
      OnDestroy(window);
      return 0;
    case WM_SIZE:
      if (WindowData* data = GetWindowData(window)) data->site->Resize();
      return 0;
    case WM_ACTIVATE:
      if (wParam == 0) {
        if (WindowData* data = GetWindowData(window)) {
          HWND focus = GetFocus();
          data->savedFocus = focus == window ? nullptr : focus;
        }
      }
      break;
    case WM_SETFOCUS:
      if (WindowData* data = GetWindowData(window)) {
        if (data->savedFocus) {
          SetFocus(data->savedFocus);
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      if (WindowData* data = GetWindowData(window)) {
        if (data->closeFlag) {
          *data->closeFlag = true;
          return 0;
        }
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// True when the document's in-place active object consumed the message.
bool OfferToDocument(htmlui::MSHTMLClient* site, MSG* message) {
  if (!site || !site->document()) return false;
  ComPtr<IOleInPlaceActiveObject> active;
  if (FAILED(site->document()->QueryInterface(IID_IOleInPlaceActiveObject, active.put_void())) || !active) {
    return false;
  }
  return active->TranslateAccelerator(message) == S_OK;
}

}  // namespace

bool RegisterHostClass() {
  if (hostClassAtom) return true;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = HostWindowProc;
  // One pointer: the window's data.
  windowClass.cbWndExtra = sizeof(LONG_PTR);
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kHostWindowClass;
  hostClassAtom = RegisterClassExW(&windowClass);
  return hostClassAtom != 0;
}

void RunMessageLoop(htmlui::MSHTMLClient* site, const bool* closeFlag) {
  // The window may be destroyed from inside a dispatched message; keep the site alive meanwhile.
  ComPtr<htmlui::MSHTMLClient> keep(site);
  auto closed = [closeFlag] { return closeFlag && *closeFlag; };
  if (closed()) return;
  for (;;) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (closed()) return;
      WaitMessage();
    } else if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    } else if (!OfferToDocument(site, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (closed()) return;
  }
}

bool CreateHostWindow(const std::wstring& pageUrl, htmlui::DocumentExternal* bridge, void (*shown)(void*),
                      void* context, void (*closing)(void*)) {
  bool closeFlag = false;
  CreateParams params{pageUrl.c_str(), bridge, &closeFlag};
  const wchar_t* windowClass = hostClassAtom ? MAKEINTATOM(hostClassAtom) : kHostWindowClass;
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, windowClass, nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleHandleW(nullptr), &params);
  if (!window) return false;
  if (shown) shown(context);
  WindowData* data = GetWindowData(window);
  RunMessageLoop(data ? data->site : nullptr, &closeFlag);
  if (closing) closing(context);
  DestroyWindow(window);
  return true;
}

bool RequestHostWindowClose(HWND window) {
  if (!window) return false;
  // By the class name: a window of the class is a host window whoever registered the class.
  WNDCLASSEXW hostClass = {};
  hostClass.cbSize = sizeof(hostClass);
  const ATOM atom = static_cast<ATOM>(GetClassInfoExW(GetModuleHandleW(nullptr), kHostWindowClass, &hostClass));
  if (atom == 0 || static_cast<ATOM>(GetClassLongPtrW(window, GCW_ATOM)) != atom) return false;
  WindowData* data = GetWindowData(window);
  if (!data || !data->closeFlag || *data->closeFlag) return false;
  *data->closeFlag = true;
  return true;
}

}  // namespace qrx
