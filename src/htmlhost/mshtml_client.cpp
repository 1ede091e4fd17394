#include "htmlhost/mshtml_client.h"

#include <mshtmdid.h>
#include <urlmon.h>

#include <new>

#include "htmlhost/document_external.h"
#include "common/extra_guids.h"
#include "htmlhost/page_trust.h"
#include "htmlhost/trace.h"

namespace htmlui {

using qrx::ComPtr;

namespace {

// The locale the ready state is read with (the system default).
constexpr LCID kSystemDefaultLocale = 0x0800;

}  // namespace

MSHTMLClient::MSHTMLClient(HWND window, DocumentExternal* external) : window_(window), external_(external) {}

MSHTMLClient::~MSHTMLClient() { CloseDocument(); }

RECT MSHTMLClient::ClientRect() const {
  RECT rect = {};
  if (window_) GetClientRect(window_, &rect);
  return rect;
}

bool MSHTMLClient::TrustPageFolder(const std::wstring& pageFolder) {
  security_ = ComPtr<PageSecurityManager>::Attach(new (std::nothrow) PageSecurityManager(pageFolder));
  return static_cast<bool>(security_);
}

bool MSHTMLClient::DocumentIsOurPage() const {
  if (!document_ || !security_) return false;
  DISPPARAMS none = {};
  VARIANT url;
  VariantInit(&url);
  const HRESULT hr = document_->Invoke((DISPID_IHTMLDOCUMENT2_URL), IID_NULL, kSystemDefaultLocale,
                                       DISPATCH_PROPERTYGET, &none, &url, nullptr, nullptr);
  const bool ours = SUCCEEDED(hr) && url.vt == VT_BSTR && url.bstrVal &&
                    IsPageOfFolder(url.bstrVal, security_->pageFolder());
  VariantClear(&url);
  return ours;
}

bool MSHTMLClient::CreateDocument() {
  ComPtr<IHTMLDocument2> document;
  if (FAILED(CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2,
                              document.put_void()))) {
    return false;
  }
  return AttachDocument(document);
}

bool MSHTMLClient::AttachDocument(const ComPtr<IHTMLDocument2>& document) {
  CloseDocument();
  document_ = document;

  ComPtr<IConnectionPoint> point;
  if (FAILED(FindSinkConnection(&point))) return false;
  DWORD cookie = 0;
  if (FAILED(point->Advise(static_cast<IDispatch*>(this), &cookie))) return false;
  sinkCookie_ = cookie;

  ComPtr<IOleObject> object;
  if (FAILED(document_.As(&object))) return false;
  if (FAILED(object->SetClientSite(static_cast<IOleClientSite*>(this)))) return false;
  RECT rect = ClientRect();
  return SUCCEEDED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                                  window_, &rect));
}

HRESULT MSHTMLClient::FindSinkConnection(ComPtr<IConnectionPoint>* point) const {
  ComPtr<IConnectionPointContainer> container;
  HRESULT hr = document_.As(&container);
  if (FAILED(hr)) return hr;
  hr = container->FindConnectionPoint(IID_IPropertyNotifySink, point->put());
  if (SUCCEEDED(hr) && !point->get()) hr = E_POINTER;
  return hr;
}

bool MSHTMLClient::LoadUrl(const std::wstring& url) {
  if (!document_) return false;
  ComPtr<IMoniker> moniker;
  if (FAILED(CreateURLMonikerEx(nullptr, url.c_str(), moniker.put(), URL_MK_UNIFORM))) return false;
  ComPtr<IBindCtx> context;
  if (FAILED(CreateBindCtx(0, context.put()))) return false;
  ComPtr<IPersistMoniker> persist;
  if (FAILED(document_.As(&persist))) return false;
  return SUCCEEDED(persist->Load(FALSE, moniker.get(), context.get(), 0));
}

void MSHTMLClient::Resize() {
  RECT rect = ClientRect();
  if (view_) {
    view_->SetRect(&rect);
    return;
  }
  ComPtr<IOleInPlaceObject> object;
  if (document_ && SUCCEEDED(document_.As(&object))) object->SetObjectRects(&rect, &rect);
}

void MSHTMLClient::CloseDocument() {
  if (view_) {
    // Hold the view in a local: CloseView may call back into this site.
    ComPtr<IOleDocumentView> view = std::move(view_);
    view->CloseView(0);
  }
  if (sinkCookie_) {
    ComPtr<IConnectionPoint> point;
    if (document_ && SUCCEEDED(FindSinkConnection(&point))) point->Unadvise(sinkCookie_);
    sinkCookie_ = 0;
  }
  if (document_) {
    ComPtr<IHTMLDocument2> document = std::move(document_);
    ComPtr<IOleObject> object;
    if (SUCCEEDED(document.As(&object))) object->SetClientSite(nullptr);
  }
}

// IDispatch: the ambient properties.

STDMETHODIMP MSHTMLClient::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                  UINT*) {
  if (id != DISPID_AMBIENT_DLCONTROL) return DISP_E_MEMBERNOTFOUND;
  if (!result) return E_POINTER;
  VariantInit(result);
  result->vt = VT_I4;
  result->lVal = kAmbientDownloadControl;
  return S_OK;
}

// IDocHostUIHandler2:

STDMETHODIMP MSHTMLClient::ShowContextMenu(DWORD kind, POINT*, IUnknown*, IDispatch*) {
  switch (kind) {
    case kMenuControl:
    case kMenuTextSelect:
    case kMenuVScroll:
    case kMenuHScroll:
      return S_FALSE;
    default:
      return S_OK;
  }
}

STDMETHODIMP MSHTMLClient::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return E_POINTER;
  info->dwFlags = kHostUiFlags;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  info->pchHostCss = nullptr;
  info->pchHostNS = nullptr;
  return S_OK;
}

STDMETHODIMP MSHTMLClient::ShowUI(DWORD kind, IOleInPlaceActiveObject* active, IOleCommandTarget*,
                                  IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
  HostTrace("ShowUI %d %p\n", static_cast<int>(kind), static_cast<void*>(active));
  return S_FALSE;
}

STDMETHODIMP MSHTMLClient::HideUI() { return S_OK; }
STDMETHODIMP MSHTMLClient::UpdateUI() { return S_OK; }
STDMETHODIMP MSHTMLClient::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP MSHTMLClient::OnDocWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::GetOptionKeyPath(LPOLESTR* key, DWORD) {
  if (key) *key = nullptr;
  return S_FALSE;
}

STDMETHODIMP MSHTMLClient::GetDropTarget(IDropTarget*, IDropTarget**) { return E_FAIL; }

STDMETHODIMP MSHTMLClient::GetExternal(IDispatch** external) {
  if (!external) return E_POINTER;
  *external = nullptr;
  if (!external_ || !DocumentIsOurPage()) return S_FALSE;
  external_->AddRef();
  *external = external_;
  return S_OK;
}

// Every navigation the engine reports here stays in our page folder; any other goes to the
// refusal target, which is let through as it is.
STDMETHODIMP MSHTMLClient::TranslateUrl(DWORD, LPWSTR url, LPWSTR* translated) {
  if (!translated) return E_POINTER;
  *translated = nullptr;
  if (!url || lstrcmpW(url, kRefusedNavigationTarget) == 0) return S_FALSE;
  if (security_ && IsPageOfFolder(url, security_->pageFolder())) return S_FALSE;
  const size_t bytes = (static_cast<size_t>(lstrlenW(kRefusedNavigationTarget)) + 1) * sizeof(wchar_t);
  *translated = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*translated) return E_OUTOFMEMORY;
  CopyMemory(*translated, kRefusedNavigationTarget, bytes);
  if (external_) external_->OnNavigationRefused(url);
  return S_OK;
}

STDMETHODIMP MSHTMLClient::FilterDataObject(IDataObject*, IDataObject**) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::GetOverrideKeyPath(LPOLESTR* key, DWORD) {
  if (key) *key = nullptr;
  return S_FALSE;
}

// IDocHostShowUI: script message boxes are swallowed.

STDMETHODIMP MSHTMLClient::ShowMessage(HWND owner, LPOLESTR text, LPOLESTR caption, DWORD type, LPOLESTR,
                                       DWORD, LRESULT*) {
  HostTrace("ShowMessage %p %d\n  %S\n  %S\n", static_cast<void*>(owner), static_cast<int>(type), caption, text);
  return S_OK;
}

STDMETHODIMP MSHTMLClient::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) { return E_NOTIMPL; }

// IOleClientSite:

STDMETHODIMP MSHTMLClient::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetMoniker(DWORD, DWORD, IMoniker**) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP MSHTMLClient::ShowObject() { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnShowWindow(BOOL) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleDocumentSite:

STDMETHODIMP MSHTMLClient::ActivateMe(IOleDocumentView* view) {
  if (view) {
    view->SetInPlaceSite(static_cast<IOleInPlaceSiteEx*>(this));
    RECT rect = ClientRect();
    view->SetRect(&rect);
    view->UIActivate(TRUE);
    view->Show(TRUE);
    view_ = ComPtr<IOleDocumentView>(view);
    return S_OK;
  }
  ComPtr<IOleDocument> document;
  HRESULT hr = document_ ? document_.As(&document) : E_UNEXPECTED;
  if (FAILED(hr)) return hr;
  ComPtr<IOleDocumentView> created;
  hr = document->CreateView(static_cast<IOleInPlaceSiteEx*>(this), nullptr, 0, created.put());
  if (FAILED(hr)) return hr;
  if (!created) return E_POINTER;
  return ActivateMe(created.get());
}

// IOleWindow:

STDMETHODIMP MSHTMLClient::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

STDMETHODIMP MSHTMLClient::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceSiteEx:

STDMETHODIMP MSHTMLClient::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP MSHTMLClient::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP MSHTMLClient::OnUIActivate() { return S_OK; }

STDMETHODIMP MSHTMLClient::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                            LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
  if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
  AddRef();
  *frame = static_cast<IOleInPlaceFrame*>(this);
  *document = nullptr;
  *position = ClientRect();
  *clip = *position;
  frameInfo->fMDIApp = FALSE;
  frameInfo->hwndFrame = window_;
  frameInfo->haccel = nullptr;
  frameInfo->cAccelEntries = 0;
  return S_OK;
}

STDMETHODIMP MSHTMLClient::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP MSHTMLClient::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP MSHTMLClient::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnPosRectChange(LPCRECT) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) {
  if (noRedraw) *noRedraw = TRUE;
  return S_OK;
}

STDMETHODIMP MSHTMLClient::OnInPlaceDeactivateEx(BOOL) { return S_OK; }
STDMETHODIMP MSHTMLClient::RequestUIActivate() { return S_OK; }

// IOleInPlaceFrame:

STDMETHODIMP MSHTMLClient::GetBorder(LPRECT) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::RequestBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
STDMETHODIMP MSHTMLClient::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetMenu(HMENU, HOLEMENU, HWND) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::RemoveMenus(HMENU) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::SetStatusText(LPCOLESTR text) {
  if (text) HostTrace("StatusText: %S\n", text);
  return S_OK;
}

STDMETHODIMP MSHTMLClient::TranslateAccelerator(LPMSG, WORD) { return E_NOTIMPL; }

// IHlinkFrame:

STDMETHODIMP MSHTMLClient::SetBrowseContext(IHlinkBrowseContext*) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetBrowseContext(IHlinkBrowseContext**) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::Navigate(DWORD, LPBC, IBindStatusCallback*, IHlink*) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnNavigate(DWORD, IMoniker*, LPCWSTR, LPCWSTR, DWORD) { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::UpdateHlink(ULONG, IMoniker*, LPCWSTR, LPCWSTR) { return E_NOTIMPL; }

// IPropertyNotifySink:

STDMETHODIMP MSHTMLClient::OnChanged(DISPID id) {
  if (!external_ || id != DISPID_READYSTATE || !document_) return S_OK;
  DISPPARAMS none = {};
  VARIANT state;
  VariantInit(&state);
  const HRESULT hr = document_->Invoke(DISPID_READYSTATE, IID_NULL, kSystemDefaultLocale, DISPATCH_PROPERTYGET,
                                       &none, &state, nullptr, nullptr);
  const bool complete = SUCCEEDED(hr) && state.vt == VT_I4 && state.lVal == READYSTATE_COMPLETE;
  VariantClear(&state);
  // The external object may end the page; keep this site alive through the call.
  if (complete) {
    AddRef();
    external_->OnDocumentReady(this);
    Release();
  }
  return S_OK;
}

STDMETHODIMP MSHTMLClient::OnRequestEdit(DISPID) { return S_OK; }

// IOleCommandTarget:

STDMETHODIMP MSHTMLClient::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) { return E_NOTIMPL; }

STDMETHODIMP MSHTMLClient::Exec(const GUID* group, DWORD command, DWORD, VARIANT* input, VARIANT*) {
  if (!group) {
    if (command != kCommandSetTitle) return E_NOTIMPL;
    if (input && input->vt == VT_BSTR && window_) {
      SetWindowTextW(window_, input->bstrVal ? input->bstrVal : L"");
    }
    return S_OK;
  }
  if (*group == CGID_DocHostCommandHandler) {
    if (command == kCommandScriptError || command == kCommandScriptErrorEx) return S_OK;
    return OLECMDERR_E_NOTSUPPORTED;
  }
  return OLECMDERR_E_UNKNOWNGROUP;
}

// IServiceProvider:

STDMETHODIMP MSHTMLClient::QueryService(REFGUID service, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(service, SID_SInternetSecurityManager) || !security_) return E_NOINTERFACE;
  return security_->QueryInterface(iid, out);
}

}  // namespace htmlui
