#include <mshtml.h>
#include <mshtmdid.h>
#include <olectl.h>
#include <shlwapi.h>

#include <string>

#include "standin.h"
#include "standin_guids.h"

namespace standin {

LONG liveObjects = 0;
Stats stats;
std::wstring pageLog;

namespace {

// The document being shown, for the test exports; not counted.
Document* current = nullptr;
std::map<UINT_PTR, Document*> timerOwners;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  auto found = timerOwners.find(id);
  if (found != timerOwners.end()) found->second->FireTimer(id);
}

template <typename T>
HRESULT Hand(T* part, void** out) {
  part->AddRef();
  *out = part;
  return S_OK;
}

// The page file behind a file: URL or a plain path.
std::wstring PathOfUrl(const std::wstring& url) {
  if (url.compare(0, 5, L"file:") != 0) return url;
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = ARRAYSIZE(path);
  if (FAILED(PathCreateFromUrlW(url.c_str(), path, &size, 0))) return std::wstring();
  return path;
}

// Names the scenario script to run in place of any page loaded.
const wchar_t kScenarioVariable[] = L"QRX_STANDIN_SCENARIO";

bool IsHtml(const std::wstring& path) {
  const wchar_t* extension = PathFindExtensionW(path.c_str());
  return lstrcmpiW(extension, L".html") == 0 || lstrcmpiW(extension, L".htm") == 0;
}

bool ReadText(const std::wstring& path, std::wstring& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  text.assign(static_cast<size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], length);
  return true;
}

}  // namespace

Document::Document() {
  InterlockedIncrement(&liveObjects);
  ++stats.documentsCreated;
  current = this;
}

Document::~Document() {
  Shutdown();
  if (current == this) current = nullptr;
  InterlockedDecrement(&liveObjects);
}

void Document::Shutdown() {
  for (auto& timer : timers_) {
    KillTimer(nullptr, timer.first);
    timerOwners.erase(timer.first);
  }
  timers_.clear();
  if (startTimer_) {
    KillTimer(nullptr, startTimer_);
    timerOwners.erase(startTimer_);
    startTimer_ = 0;
  }
  if (runner_) {
    ScriptRunner* runner = runner_;
    runner_ = nullptr;
    runner->Close();
    runner->Release();
  }
}

void Document::SetReadyState(LONG state) {
  readyState_ = state;
  NotifyChanged(DISPID_READYSTATE);
}

void Document::NotifyChanged(DISPID id) {
  ComPtr<IPropertyNotifySink> sink = sink_;
  if (sink) sink->OnChanged(id);
}

void Document::SetTimeout(IDispatch* callback, UINT ms) {
  const UINT_PTR id = SetTimer(nullptr, 0, ms, OnTimer);
  if (!id) return;
  timers_[id] = ComPtr<IDispatch>(callback);
  timerOwners[id] = this;
}

void Document::FireTimer(UINT_PTR id) {
  KillTimer(nullptr, id);
  timerOwners.erase(id);
  ComPtr<Document> keep(this);
  if (id == startTimer_) {
    startTimer_ = 0;
    StartPage();
    return;
  }
  auto found = timers_.find(id);
  if (found == timers_.end()) return;
  ComPtr<IDispatch> callback = std::move(found->second);
  timers_.erase(found);
  DISPPARAMS none = {};
  if (callback) callback->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}

// The page's global code runs while the document is interactive; then it is complete.
void Document::StartPage() {
  if (!site_) return;
  SetReadyState(READYSTATE_INTERACTIVE);
  if (!script_.empty() && site_ && !runner_) {
    runner_ = new ScriptRunner(this);
    const HRESULT hr = runner_->Run(script_);
    if (FAILED(hr)) {
      wchar_t line[64];
      wsprintfW(line, L"error: script engine 0x%08lx\n", static_cast<unsigned long>(hr));
      pageLog += line;
      ++stats.scriptErrors;
    }
  }
  if (site_) SetReadyState(READYSTATE_COMPLETE);
}

// IUnknown:

STDMETHODIMP Document::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  // The document's own interface is served by the dispatch part: the site only reads the
  // ready state through it.
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument2) {
    return Hand(static_cast<IDispatch*>(this), out);
  }
  if (iid == IID_IOleObject) return Hand(static_cast<IOleObject*>(this), out);
  if (iid == IID_IOleDocument) return Hand(static_cast<IOleDocument*>(this), out);
  if (iid == IID_IOleDocumentView) return Hand(static_cast<IOleDocumentView*>(this), out);
  if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return Hand(static_cast<IOleInPlaceObject*>(this), out);
  if (iid == IID_IOleInPlaceActiveObject) return Hand(static_cast<IOleInPlaceActiveObject*>(this), out);
  if (iid == IID_IPersistMoniker) return Hand(static_cast<IPersistMoniker*>(this), out);
  if (iid == IID_IConnectionPointContainer) return Hand(static_cast<IConnectionPointContainer*>(this), out);
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) Document::AddRef() { return static_cast<ULONG>(++refs_); }

STDMETHODIMP_(ULONG) Document::Release() {
  const LONG refs = --refs_;
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

// IDispatch:

STDMETHODIMP Document::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
STDMETHODIMP Document::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP Document::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

// The ready state and, as a real document has, the URL it was loaded from (document.URL).
STDMETHODIMP Document::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                              UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (id != DISPID_READYSTATE && id != (DISPID_IHTMLDOCUMENT2_URL)) return DISP_E_MEMBERNOTFOUND;
  if (!result) return E_POINTER;
  VariantInit(result);
  if (id == DISPID_READYSTATE) {
    result->vt = VT_I4;
    result->lVal = readyState_;
    return S_OK;
  }
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocString(url_.c_str());
  return result->bstrVal ? S_OK : E_OUTOFMEMORY;
}

// IOleObject:

STDMETHODIMP Document::SetClientSite(IOleClientSite* site) {
  if (!site) {
    Shutdown();
    site_.Reset();
    inPlaceSite_.Reset();
    return S_OK;
  }
  site_ = ComPtr<IOleClientSite>(site);
  ComPtr<IDocHostUIHandler> handler;
  if (SUCCEEDED(site_.As(&handler))) {
    DOCHOSTUIINFO info = {};
    info.cbSize = sizeof(info);
    if (SUCCEEDED(handler->GetHostInfo(&info))) stats.hostFlags = static_cast<LONG>(info.dwFlags);
  }
  return S_OK;
}

STDMETHODIMP Document::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_.get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

STDMETHODIMP Document::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }
STDMETHODIMP Document::Close(DWORD) { return S_OK; }
STDMETHODIMP Document::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP Document::GetMoniker(DWORD, DWORD, IMoniker**) { return E_NOTIMPL; }
STDMETHODIMP Document::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP Document::GetClipboardData(DWORD, IDataObject**) { return E_NOTIMPL; }

// In-place activation as the engine does it: the site gives its window context, then is asked to
// activate the document, which makes it create and show a view.
STDMETHODIMP Document::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) {
  if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW && verb != OLEIVERB_UIACTIVATE) return E_NOTIMPL;
  if (!site) return E_INVALIDARG;
  ComPtr<IOleInPlaceSite> inPlace;
  HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, inPlace.put_void());
  if (FAILED(hr)) return hr;
  if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
  inPlace->OnInPlaceActivate();
  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> uiWindow;
  RECT position = {};
  RECT clip = {};
  OLEINPLACEFRAMEINFO frameInfo = {};
  frameInfo.cb = sizeof(frameInfo);
  hr = inPlace->GetWindowContext(frame.put(), uiWindow.put(), &position, &clip, &frameInfo);
  if (FAILED(hr)) return hr;
  ++stats.windowContextCalls;
  frameWindow_ = frameInfo.hwndFrame;
  inPlaceSite_ = inPlace;
  ComPtr<IOleDocumentSite> documentSite;
  if (SUCCEEDED(site->QueryInterface(IID_IOleDocumentSite, documentSite.put_void()))) {
    ++stats.activateMeCalls;
    return documentSite->ActivateMe(nullptr);
  }
  return S_OK;
}

STDMETHODIMP Document::EnumVerbs(IEnumOLEVERB**) { return E_NOTIMPL; }
STDMETHODIMP Document::Update() { return S_OK; }
STDMETHODIMP Document::IsUpToDate() { return S_OK; }

STDMETHODIMP Document::GetUserClassID(CLSID* id) {
  if (!id) return E_POINTER;
  *id = CLSID_HTMLDocument;
  return S_OK;
}

STDMETHODIMP Document::GetUserType(DWORD, LPOLESTR*) { return E_NOTIMPL; }
STDMETHODIMP Document::SetExtent(DWORD, SIZEL*) { return E_NOTIMPL; }
STDMETHODIMP Document::GetExtent(DWORD, SIZEL*) { return E_NOTIMPL; }
// OLE advise sinks are not supported; Unadvise below serves the connection point.
STDMETHODIMP Document::Advise(IAdviseSink*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP Document::EnumAdvise(IEnumSTATDATA**) { return E_NOTIMPL; }
STDMETHODIMP Document::GetMiscStatus(DWORD, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP Document::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// IOleDocument:

STDMETHODIMP Document::CreateView(IOleInPlaceSite* site, IStream*, DWORD, IOleDocumentView** view) {
  if (!view) return E_POINTER;
  if (site) inPlaceSite_ = ComPtr<IOleInPlaceSite>(site);
  return Hand(static_cast<IOleDocumentView*>(this), reinterpret_cast<void**>(view));
}

STDMETHODIMP Document::GetDocMiscStatus(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP Document::EnumViews(IEnumOleDocumentViews**, IOleDocumentView**) { return E_NOTIMPL; }

// IOleDocumentView:

STDMETHODIMP Document::SetInPlaceSite(IOleInPlaceSite* site) {
  inPlaceSite_ = ComPtr<IOleInPlaceSite>(site);
  return S_OK;
}

STDMETHODIMP Document::GetInPlaceSite(IOleInPlaceSite** site) {
  if (!site) return E_POINTER;
  *site = inPlaceSite_.get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

STDMETHODIMP Document::GetDocument(IUnknown** document) {
  if (!document) return E_POINTER;
  return Hand(static_cast<IDispatch*>(this), reinterpret_cast<void**>(document));
}

STDMETHODIMP Document::SetRect(LPRECT rect) {
  if (!rect) return E_POINTER;
  stats.viewRect = *rect;
  return S_OK;
}

STDMETHODIMP Document::GetRect(LPRECT rect) {
  if (!rect) return E_POINTER;
  *rect = stats.viewRect;
  return S_OK;
}

STDMETHODIMP Document::SetRectComplex(LPRECT, LPRECT, LPRECT, LPRECT) { return E_NOTIMPL; }

STDMETHODIMP Document::Show(BOOL show) {
  stats.viewShown = show ? 1 : 0;
  return S_OK;
}

STDMETHODIMP Document::UIActivate(BOOL) { return S_OK; }
STDMETHODIMP Document::Open() { return E_NOTIMPL; }

STDMETHODIMP Document::CloseView(DWORD) {
  stats.viewShown = 0;
  Shutdown();
  inPlaceSite_.Reset();
  return S_OK;
}

STDMETHODIMP Document::SaveViewState(LPSTREAM) { return E_NOTIMPL; }
STDMETHODIMP Document::ApplyViewState(LPSTREAM) { return E_NOTIMPL; }
STDMETHODIMP Document::Clone(IOleInPlaceSite*, IOleDocumentView**) { return E_NOTIMPL; }

// IOleWindow:

STDMETHODIMP Document::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = frameWindow_;
  return frameWindow_ ? S_OK : E_FAIL;
}

STDMETHODIMP Document::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceObject:

STDMETHODIMP Document::InPlaceDeactivate() { return S_OK; }
STDMETHODIMP Document::UIDeactivate() { return S_OK; }

STDMETHODIMP Document::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  stats.viewRect = *position;
  return S_OK;
}

STDMETHODIMP Document::ReactivateAndUndo() { return E_NOTIMPL; }

// IOleInPlaceActiveObject: F5 is the document's own key (the engine refreshes on it).

STDMETHODIMP Document::TranslateAccelerator(LPMSG message) {
  if (!message) return E_INVALIDARG;
  ++stats.acceleratorsOffered;
  if (message->message == WM_KEYDOWN && message->wParam == VK_F5) {
    ++stats.acceleratorsConsumed;
    return S_OK;
  }
  return S_FALSE;
}

STDMETHODIMP Document::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP Document::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP Document::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP Document::EnableModeless(BOOL) { return S_OK; }

// IPersistMoniker: the page is a script file; it starts from the message loop, as a real load.

STDMETHODIMP Document::GetClassID(CLSID* id) { return GetUserClassID(id); }
STDMETHODIMP Document::IsDirty() { return S_FALSE; }

STDMETHODIMP Document::Load(BOOL, IMoniker* moniker, LPBC context, DWORD) {
  if (!moniker) return E_INVALIDARG;
  LPOLESTR name = nullptr;
  HRESULT hr = moniker->GetDisplayName(context, nullptr, &name);
  if (FAILED(hr)) return hr;
  const std::wstring url = name;
  CoTaskMemFree(name);
  const std::wstring path = PathOfUrl(url);
  if (!ReadText(path, script_)) return INET_E_RESOURCE_NOT_FOUND;
  url_ = url;
  // A whole-program test names the scenario that stands for the product's pages; without one, an
  // HTML page has no script the stand-in could run and simply completes.
  wchar_t scenario[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(kScenarioVariable, scenario, ARRAYSIZE(scenario));
  if (length > 0 && length < ARRAYSIZE(scenario)) {
    if (!ReadText(scenario, script_)) return INET_E_RESOURCE_NOT_FOUND;
  } else if (IsHtml(path)) {
    script_.clear();
  }
  SetReadyState(READYSTATE_LOADING);
  startTimer_ = SetTimer(nullptr, 0, 0, OnTimer);
  if (startTimer_) timerOwners[startTimer_] = this;
  return S_OK;
}

STDMETHODIMP Document::Save(IMoniker*, LPBC, BOOL) { return E_NOTIMPL; }
STDMETHODIMP Document::SaveCompleted(IMoniker*, LPBC) { return E_NOTIMPL; }
STDMETHODIMP Document::GetCurMoniker(IMoniker**) { return E_NOTIMPL; }

// IConnectionPointContainer:

STDMETHODIMP Document::EnumConnectionPoints(IEnumConnectionPoints**) { return E_NOTIMPL; }

STDMETHODIMP Document::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != IID_IPropertyNotifySink) return CONNECT_E_NOCONNECTION;
  return Hand(static_cast<IConnectionPoint*>(this), reinterpret_cast<void**>(point));
}

// IConnectionPoint: one property-notification sink.

STDMETHODIMP Document::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = IID_IPropertyNotifySink;
  return S_OK;
}

STDMETHODIMP Document::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  return Hand(static_cast<IConnectionPointContainer*>(this), reinterpret_cast<void**>(container));
}

STDMETHODIMP Document::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  if (sink_) return CONNECT_E_ADVISELIMIT;
  HRESULT hr = sink->QueryInterface(IID_IPropertyNotifySink, sink_.put_void());
  if (FAILED(hr)) return CONNECT_E_CANNOTCONNECT;
  ++stats.sinkConnections;
  *cookie = 1;
  return S_OK;
}

STDMETHODIMP Document::Unadvise(DWORD cookie) {
  if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
  sink_.Reset();
  --stats.sinkConnections;
  return S_OK;
}

STDMETHODIMP Document::EnumConnections(IEnumConnections**) { return E_NOTIMPL; }

// For the test exports.
Document* CurrentDocument() { return current; }

}  // namespace standin
