// The OLE document site that embeds the HTML engine's document in the host window.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <hlink.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <servprov.h>

#include <string>

#include "common/com_object.h"
#include "common/com_ptr.h"
#include "htmlhost/page_security_manager.h"

template <>
struct qrx::ComInterfaceBase<IDocHostUIHandler2> {
  using type = IDocHostUIHandler;
};
// Implemented for the document's calls through the frame, but not handed out by QueryInterface.
template <>
struct qrx::ComInterfaceHasId<IHlinkFrame> {
  static constexpr bool value = false;
};

namespace htmlui {

class DocumentExternal;

// Numbers the engine passes to ShowContextMenu for which its own menu is allowed.
constexpr DWORD kMenuControl = 2;
constexpr DWORD kMenuTextSelect = 4;
constexpr DWORD kMenuVScroll = 10;
constexpr DWORD kMenuHScroll = 11;

// Ambient download control: images, videos, background sounds, resynchronise.
constexpr LONG kAmbientDownloadControl = 0x2070;
// Dialog, no help menu, in-place navigation, themes, no outer 3-D border, DPI aware.
constexpr DWORD kHostUiFlags = 0x40250003;

// Standard command that carries the document title.
constexpr DWORD kCommandSetTitle = 28;
// Host command handler commands reported as handled: script error and its variant.
constexpr DWORD kCommandScriptError = 6;
constexpr DWORD kCommandScriptErrorEx = 6041;

// All interfaces share one reference count; everything runs on the window's thread. The site
// trusts the pages of one folder: only they get window.external, and its security manager lets
// only them run script; a navigation the engine reports to TranslateUrl that leaves the folder is
// sent to kRefusedNavigationTarget instead and reported to the external object.
class MSHTMLClient : public qrx::ComObject<MSHTMLClient, IDispatch, IDocHostUIHandler2, IDocHostShowUI,
                                           IOleClientSite, IOleDocumentSite, IOleInPlaceSiteEx, IOleInPlaceFrame,
                                           IHlinkFrame, IPropertyNotifySink, IOleCommandTarget, IServiceProvider> {
 public:
  // Starts with one reference, the window's.
  MSHTMLClient(HWND window, DocumentExternal* external);

  // Trusts the pages of `pageFolder` (a local path); without it no page is trusted. False when
  // the security manager could not be made.
  bool TrustPageFolder(const std::wstring& pageFolder);
  // Creates the document and attaches this site to it.
  bool CreateDocument();
  // Loads the page at `url` into the document.
  bool LoadUrl(const std::wstring& url);
  // Fits the document to the window's client area.
  void Resize();
  // Detaches from the document and releases it.
  void CloseDocument();

  // The window clears these just before its final Release.
  void ClearWindow() { window_ = nullptr; }
  void ClearExternal() { external_ = nullptr; }

  // The document, not AddRef'ed; null when none.
  IHTMLDocument2* document() const { return document_.get(); }
  HWND window() const { return window_; }

  // IDispatch:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

  // IDocHostUIHandler2:
  STDMETHODIMP ShowContextMenu(DWORD kind, POINT* point, IUnknown* target, IDispatch* object) override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD kind, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                      IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
  STDMETHODIMP HideUI() override;
  STDMETHODIMP UpdateUI() override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID* group, DWORD command) override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
  STDMETHODIMP GetDropTarget(IDropTarget* target, IDropTarget** hostTarget) override;
  STDMETHODIMP GetExternal(IDispatch** external) override;
  STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated) override;
  STDMETHODIMP FilterDataObject(IDataObject* object, IDataObject** filtered) override;
  STDMETHODIMP GetOverrideKeyPath(LPOLESTR* key, DWORD reserved) override;

  // IDocHostShowUI:
  STDMETHODIMP ShowMessage(HWND owner, LPOLESTR text, LPOLESTR caption, DWORD type, LPOLESTR helpFile,
                           DWORD helpContext, LRESULT* result) override;
  STDMETHODIMP ShowHelp(HWND owner, LPOLESTR helpFile, UINT command, DWORD data, POINT point,
                        IDispatch* object) override;

  // IOleClientSite:
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL show) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleDocumentSite:
  STDMETHODIMP ActivateMe(IOleDocumentView* view) override;

  // IOleWindow (shared by the in-place site and the frame):
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceSiteEx:
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) override;
  STDMETHODIMP Scroll(SIZE extent) override;
  STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT position) override;
  STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL noRedraw) override;
  STDMETHODIMP RequestUIActivate() override;

  // IOleInPlaceFrame:
  STDMETHODIMP GetBorder(LPRECT border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR name) override;
  STDMETHODIMP InsertMenus(HMENU menu, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenu(HMENU menu, HOLEMENU shared, HWND activeObject) override;
  STDMETHODIMP RemoveMenus(HMENU menu) override;
  STDMETHODIMP SetStatusText(LPCOLESTR text) override;
  STDMETHODIMP TranslateAccelerator(LPMSG message, WORD id) override;

  // IHlinkFrame (never handed out):
  STDMETHODIMP SetBrowseContext(IHlinkBrowseContext* context) override;
  STDMETHODIMP GetBrowseContext(IHlinkBrowseContext** context) override;
  STDMETHODIMP Navigate(DWORD flags, LPBC bindContext, IBindStatusCallback* callback, IHlink* target) override;
  STDMETHODIMP OnNavigate(DWORD flags, IMoniker* target, LPCWSTR location, LPCWSTR friendlyName,
                          DWORD reserved) override;
  STDMETHODIMP UpdateHlink(ULONG id, IMoniker* target, LPCWSTR location, LPCWSTR friendlyName) override;

  // IPropertyNotifySink:
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID id) override;

  // IOleCommandTarget:
  STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
  STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD options, VARIANT* input, VARIANT* output) override;

  // IServiceProvider: the security manager, and nothing else.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

 private:
  ~MSHTMLClient() override;

  bool AttachDocument(const qrx::ComPtr<IHTMLDocument2>& document);
  RECT ClientRect() const;
  HRESULT FindSinkConnection(qrx::ComPtr<IConnectionPoint>* point) const;
  // Whether the document now shows one of our pages, by its URL property.
  bool DocumentIsOurPage() const;

  HWND window_;
  qrx::ComPtr<IHTMLDocument2> document_;
  qrx::ComPtr<IOleDocumentView> view_;
  DocumentExternal* external_;
  DWORD sinkCookie_ = 0;
  qrx::ComPtr<PageSecurityManager> security_;
};

}  // namespace htmlui
