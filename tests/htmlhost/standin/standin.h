// A stand-in for the HTML engine's document object, for tests: it is registered in the test Wine
// prefix under the document's class id, runs a page's script (a plain JScript file) in Wine's
// script engine with the site's window.external, and reports what the site did through the
// exports in standin_exports.h.
#pragma once

#include <windows.h>
#include <activscp.h>
#include <docobj.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include <map>
#include <string>

#include "common/com_ptr.h"

namespace standin {

using qrx::ComPtr;

// Objects of this module alive now (documents, script sites, helpers, factories in use).
extern LONG liveObjects;

// Numbers the tests read back (see StandIn_Query).
struct Stats {
  LONG documentsCreated = 0;
  LONG hostFlags = -1;
  LONG activateMeCalls = 0;
  LONG windowContextCalls = 0;
  LONG viewShown = 0;
  LONG acceleratorsOffered = 0;
  LONG acceleratorsConsumed = 0;
  LONG alertsShown = 0;
  LONG scriptErrors = 0;
  LONG sinkConnections = 0;
  RECT viewRect = {};
};
extern Stats stats;
// Lines the page wrote with host.log, and the script errors, one per line.
extern std::wstring pageLog;

class Document;

// The page's script: Wine's JScript engine with "external" and "host" as named items.
class ScriptRunner : public IActiveScriptSite {
 public:
  explicit ScriptRunner(Document* document);
  HRESULT Run(const std::wstring& text);
  // Closes the engine and drops every reference to the page's objects.
  void Close();

  // IUnknown:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IActiveScriptSite:
  STDMETHODIMP GetLCID(LCID* locale) override;
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override;
  STDMETHODIMP GetDocVersionString(BSTR* version) override;
  STDMETHODIMP OnScriptTerminate(const VARIANT* result, const EXCEPINFO* exception) override;
  STDMETHODIMP OnStateChange(SCRIPTSTATE state) override;
  STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
  STDMETHODIMP OnEnterScript() override;
  STDMETHODIMP OnLeaveScript() override;

 private:
  virtual ~ScriptRunner();
  LONG refs_ = 1;
  Document* document_;  // not counted: the document owns this runner
  ComPtr<IActiveScript> engine_;
  ComPtr<IDispatch> helper_;
};

class Document : public IDispatch,
                 public IOleObject,
                 public IOleDocument,
                 public IOleDocumentView,
                 public IOleInPlaceObject,
                 public IOleInPlaceActiveObject,
                 public IPersistMoniker,
                 public IConnectionPointContainer,
                 public IConnectionPoint {
 public:
  Document();

  IOleClientSite* site() const { return site_.get(); }
  HWND frameWindow() const { return frameWindow_; }
  void SetReadyState(LONG state);
  void NotifyChanged(DISPID id);
  // Runs `callback` (a script function) after `ms` milliseconds.
  void SetTimeout(IDispatch* callback, UINT ms);
  void FireTimer(UINT_PTR id);

  // IUnknown:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IDispatch: the ready state.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;
  // IOleObject:
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  STDMETHODIMP Close(DWORD option) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* id) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;
  // IOleDocument:
  STDMETHODIMP CreateView(IOleInPlaceSite* site, IStream* stream, DWORD reserved, IOleDocumentView** view) override;
  STDMETHODIMP GetDocMiscStatus(DWORD* status) override;
  STDMETHODIMP EnumViews(IEnumOleDocumentViews** views, IOleDocumentView** view) override;
  // IOleDocumentView:
  STDMETHODIMP SetInPlaceSite(IOleInPlaceSite* site) override;
  STDMETHODIMP GetInPlaceSite(IOleInPlaceSite** site) override;
  STDMETHODIMP GetDocument(IUnknown** document) override;
  STDMETHODIMP SetRect(LPRECT rect) override;
  STDMETHODIMP GetRect(LPRECT rect) override;
  STDMETHODIMP SetRectComplex(LPRECT view, LPRECT hscroll, LPRECT vscroll, LPRECT sizeBox) override;
  STDMETHODIMP Show(BOOL show) override;
  STDMETHODIMP UIActivate(BOOL activate) override;
  STDMETHODIMP Open() override;
  STDMETHODIMP CloseView(DWORD reserved) override;
  STDMETHODIMP SaveViewState(LPSTREAM stream) override;
  STDMETHODIMP ApplyViewState(LPSTREAM stream) override;
  STDMETHODIMP Clone(IOleInPlaceSite* site, IOleDocumentView** view) override;
  // IOleWindow:
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  // IOleInPlaceObject:
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;
  // IOleInPlaceActiveObject:
  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  // IPersistMoniker:
  STDMETHODIMP GetClassID(CLSID* id) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(BOOL fullyAvailable, IMoniker* moniker, LPBC context, DWORD mode) override;
  STDMETHODIMP Save(IMoniker* moniker, LPBC context, BOOL remember) override;
  STDMETHODIMP SaveCompleted(IMoniker* moniker, LPBC context) override;
  STDMETHODIMP GetCurMoniker(IMoniker** moniker) override;
  // IConnectionPointContainer:
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
  // IConnectionPoint (property notifications):
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

 private:
  virtual ~Document();
  void StartPage();
  void Shutdown();

  LONG refs_ = 1;
  LONG readyState_ = 0;  // READYSTATE_UNINITIALIZED
  ComPtr<IOleClientSite> site_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IPropertyNotifySink> sink_;
  HWND frameWindow_ = nullptr;
  std::wstring script_;
  std::wstring url_;  // the loaded moniker's display name
  ScriptRunner* runner_ = nullptr;
  std::map<UINT_PTR, ComPtr<IDispatch>> timers_;
  UINT_PTR startTimer_ = 0;
};

// The page's "host" object: log, setTimeout, title, alert, ready, notify, post, quit.
ComPtr<IDispatch> CreateHelper(Document* document);

}  // namespace standin
