// The document site's fixed answers, without a document.
#include <windows.h>
#include <mshtmdid.h>

#include <gtest/gtest.h>

#include "htmlhost/mshtml_client.h"
#include "htmlhost/test_external.h"

extern "C" const GUID CGID_DocHostCommandHandler;
extern "C" const GUID IID_IDocHostUIHandler2;
extern "C" const GUID IID_IDocHostShowUI;

namespace {

using htmlui::MSHTMLClient;

// A plain window for the site to title.
class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window_);
    site_ = new MSHTMLClient(window_, &external_);
  }
  void TearDown() override {
    EXPECT_EQ(0u, site_->Release()) << "every interface handed out was given back";
    EXPECT_EQ(1, external_.refs());
    DestroyWindow(window_);
  }
  std::wstring Caption() const {
    wchar_t text[128] = {};
    GetWindowTextW(window_, text, ARRAYSIZE(text));
    return text;
  }
  template <typename T>
  T* As(REFIID iid) {
    void* out = nullptr;
    EXPECT_EQ(S_OK, site_->QueryInterface(iid, &out));
    return static_cast<T*>(out);
  }

  HWND window_ = nullptr;
  qrxtest::TestExternal external_;
  MSHTMLClient* site_ = nullptr;
};

TEST_F(SiteTest, QueryInterfaceHandsOutEachPart) {
  struct Row {
    const IID* iid;
    void* expected;
  };
  const Row rows[] = {
      {&IID_IUnknown, static_cast<IDispatch*>(site_)},
      {&IID_IDispatch, static_cast<IDispatch*>(site_)},
      {&IID_IDocHostUIHandler, static_cast<IDocHostUIHandler2*>(site_)},
      {&IID_IDocHostUIHandler2, static_cast<IDocHostUIHandler2*>(site_)},
      {&IID_IDocHostShowUI, static_cast<IDocHostShowUI*>(site_)},
      {&IID_IOleClientSite, static_cast<IOleClientSite*>(site_)},
      {&IID_IOleDocumentSite, static_cast<IOleDocumentSite*>(site_)},
      {&IID_IOleWindow, static_cast<IOleInPlaceSiteEx*>(site_)},
      {&IID_IOleInPlaceSite, static_cast<IOleInPlaceSiteEx*>(site_)},
      {&IID_IOleInPlaceSiteEx, static_cast<IOleInPlaceSiteEx*>(site_)},
      {&IID_IOleInPlaceUIWindow, static_cast<IOleInPlaceFrame*>(site_)},
      {&IID_IOleInPlaceFrame, static_cast<IOleInPlaceFrame*>(site_)},
      {&IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(site_)},
      {&IID_IOleCommandTarget, static_cast<IOleCommandTarget*>(site_)},
  };
  for (size_t i = 0; i < ARRAYSIZE(rows); ++i) {
    void* out = nullptr;
    ASSERT_EQ(S_OK, site_->QueryInterface(*rows[i].iid, &out)) << "row " << i;
    EXPECT_EQ(rows[i].expected, out) << "row " << i;
    static_cast<IUnknown*>(out)->Release();
  }
}

TEST_F(SiteTest, QueryInterfaceRefusesTheRest) {
  const IID* refused[] = {&IID_IHlinkFrame, &IID_IServiceProvider, &IID_IOleInPlaceSiteWindowless,
                          &IID_IOleControlSite, &IID_IDispatchEx, &IID_IOleContainer};
  for (const IID* iid : refused) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, site_->QueryInterface(*iid, &out));
    EXPECT_EQ(nullptr, out);
  }
}

TEST_F(SiteTest, AmbientDownloadControlIsTheOnlyAmbientProperty) {
  DISPPARAMS none = {};
  VARIANT value;
  VariantInit(&value);
  ASSERT_EQ(S_OK, site_->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value,
                                nullptr, nullptr));
  EXPECT_EQ(VT_I4, value.vt);
  EXPECT_EQ(0x2070, value.lVal);
  EXPECT_EQ(DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_RESYNCHRONIZE, value.lVal);
  // User agent, offline-if-not-connected, silent, value, ready state.
  for (DISPID other : {-5513, -5501, -5502, 0,
                       -525}) {
    VariantInit(&value);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              site_->Invoke(other, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr));
    EXPECT_EQ(VT_EMPTY, value.vt);
  }
}

TEST_F(SiteTest, ContextMenusByKind) {
  for (DWORD kind = 0; kind <= 20; ++kind) {
    const bool engineMenu = kind == 2 || kind == 4 || kind == 10 || kind == 11;
    POINT point = {1, 1};
    EXPECT_EQ(engineMenu ? S_FALSE : S_OK, site_->ShowContextMenu(kind, &point, nullptr, nullptr)) << kind;
  }
}

TEST_F(SiteTest, HostInfoFlags) {
  DOCHOSTUIINFO info = {};
  info.cbSize = 1234;
  info.dwDoubleClick = 7;
  ASSERT_EQ(S_OK, site_->GetHostInfo(&info));
  EXPECT_EQ(0x40250003u, info.dwFlags);
  EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_DISABLE_HELP_MENU |
                               DOCHOSTUIFLAG_ENABLE_INPLACE_NAVIGATION | DOCHOSTUIFLAG_THEME |
                               DOCHOSTUIFLAG_NO3DOUTERBORDER | DOCHOSTUIFLAG_DPI_AWARE),
            info.dwFlags);
  EXPECT_EQ(0u, info.dwDoubleClick);
  EXPECT_EQ(1234u, info.cbSize);
  EXPECT_EQ(nullptr, info.pchHostCss);
  EXPECT_EQ(nullptr, info.pchHostNS);
}

TEST_F(SiteTest, ShowMessageSwallowsTheBox) {
  wchar_t text[] = L"text";
  wchar_t caption[] = L"caption";
  LRESULT result = 12345;
  EXPECT_EQ(S_OK, site_->ShowMessage(window_, text, caption, MB_OK, nullptr, 0, &result));
  EXPECT_EQ(12345, result) << "the result is left alone";
  EXPECT_EQ(E_NOTIMPL, site_->ShowHelp(window_, nullptr, 0, 0, POINT{}, nullptr));
}

TEST_F(SiteTest, ExecCommands) {
  VARIANT title;
  title.vt = VT_BSTR;
  title.bstrVal = SysAllocString(L"New title");
  EXPECT_EQ(S_OK, site_->Exec(nullptr, 28, 0, &title, nullptr));
  EXPECT_EQ(L"New title", Caption());
  VariantClear(&title);

  VARIANT number;
  number.vt = VT_I4;
  number.lVal = 5;
  EXPECT_EQ(S_OK, site_->Exec(nullptr, 28, 0, &number, nullptr));
  EXPECT_EQ(S_OK, site_->Exec(nullptr, 28, 0, nullptr, nullptr));
  EXPECT_EQ(L"New title", Caption()) << "only a text changes the caption";

  struct Row {
    const GUID* group;
    DWORD command;
    HRESULT expected;
  };
  const GUID other = IID_IDispatch;
  const Row rows[] = {
      {nullptr, 29, E_NOTIMPL},
      {nullptr, 0, E_NOTIMPL},
      {&CGID_DocHostCommandHandler, 6, S_OK},
      {&CGID_DocHostCommandHandler, 6041, S_OK},
      {&CGID_DocHostCommandHandler, 7, OLECMDERR_E_NOTSUPPORTED},
      {&CGID_DocHostCommandHandler, 28, OLECMDERR_E_NOTSUPPORTED},
      {&other, 6, OLECMDERR_E_UNKNOWNGROUP},
      {&other, 28, OLECMDERR_E_UNKNOWNGROUP},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, site_->Exec(row.group, row.command, 0, nullptr, nullptr)) << row.command;
  }
  EXPECT_EQ(E_NOTIMPL, site_->QueryStatus(nullptr, 0, nullptr, nullptr));
}

TEST_F(SiteTest, ExternalIsHandedOutUntilCleared) {
  IDispatch* external = nullptr;
  ASSERT_EQ(S_OK, site_->GetExternal(&external));
  EXPECT_EQ(static_cast<IDispatch*>(&external_), external);
  EXPECT_EQ(2, external_.refs());
  external->Release();

  site_->ClearExternal();
  external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(S_FALSE, site_->GetExternal(&external));
  EXPECT_EQ(nullptr, external);
  // Without an external object, ready-state changes reach nobody.
  EXPECT_EQ(S_OK, site_->OnChanged(DISPID_READYSTATE));
  EXPECT_TRUE(external_.events.empty());
}

TEST_F(SiteTest, FixedAnswers) {
  LPOLESTR key = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(S_FALSE, site_->GetOptionKeyPath(&key, 0));
  EXPECT_EQ(nullptr, key);
  key = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(S_FALSE, site_->GetOverrideKeyPath(&key, 0));
  EXPECT_EQ(nullptr, key);
  wchar_t url[] = L"http://example.invalid/";
  LPWSTR translated = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(S_FALSE, site_->TranslateUrl(0, url, &translated));
  EXPECT_EQ(nullptr, translated);
  IDropTarget* target = nullptr;
  EXPECT_EQ(E_FAIL, site_->GetDropTarget(nullptr, &target));
  IOleContainer* container = reinterpret_cast<IOleContainer*>(1);
  EXPECT_EQ(E_NOINTERFACE, site_->GetContainer(&container));
  EXPECT_EQ(nullptr, container);
  EXPECT_EQ(S_FALSE, site_->ShowUI(0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(S_OK, site_->HideUI());
  EXPECT_EQ(S_OK, site_->UpdateUI());
  EXPECT_EQ(E_NOTIMPL, site_->TranslateAccelerator(nullptr, nullptr, 0));
  EXPECT_EQ(E_NOTIMPL, static_cast<IOleInPlaceFrame*>(site_)->TranslateAccelerator(nullptr, 0));
  EXPECT_EQ(S_OK, site_->SetStatusText(L"status"));
  EXPECT_EQ(S_OK, site_->SetStatusText(nullptr));
  EXPECT_EQ(S_OK, site_->SetActiveObject(nullptr, nullptr));
  EXPECT_EQ(E_NOTIMPL, site_->GetBorder(nullptr));
  EXPECT_EQ(E_NOTIMPL, site_->SaveObject());
  EXPECT_EQ(E_NOTIMPL, site_->ShowObject());
  EXPECT_EQ(S_OK, site_->CanInPlaceActivate());
  EXPECT_EQ(S_OK, site_->OnChanged(1000));
  EXPECT_EQ(S_OK, site_->OnRequestEdit(DISPID_READYSTATE));
  BOOL noRedraw = FALSE;
  EXPECT_EQ(S_OK, site_->OnInPlaceActivateEx(&noRedraw, 0));
  EXPECT_TRUE(noRedraw);
  EXPECT_EQ(E_NOTIMPL, site_->Navigate(0, nullptr, nullptr, nullptr));
}

TEST_F(SiteTest, WindowContextIsTheWholeClientArea) {
  HWND window = nullptr;
  EXPECT_EQ(S_OK, site_->GetWindow(&window));
  EXPECT_EQ(window_, window);

  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* uiWindow = reinterpret_cast<IOleInPlaceUIWindow*>(1);
  RECT position = {};
  RECT clip = {};
  OLEINPLACEFRAMEINFO info = {};
  info.cb = 99;
  info.fMDIApp = TRUE;
  info.cAccelEntries = 3;
  ASSERT_EQ(S_OK, site_->GetWindowContext(&frame, &uiWindow, &position, &clip, &info));
  EXPECT_EQ(static_cast<IOleInPlaceFrame*>(site_), frame);
  EXPECT_EQ(nullptr, uiWindow);
  EXPECT_EQ(10, position.right);
  EXPECT_EQ(10, position.bottom);
  EXPECT_TRUE(EqualRect(&position, &clip));
  EXPECT_FALSE(info.fMDIApp);
  EXPECT_EQ(window_, info.hwndFrame);
  EXPECT_EQ(nullptr, info.haccel);
  EXPECT_EQ(0u, info.cAccelEntries);
  EXPECT_EQ(99u, info.cb);
  frame->Release();
}

TEST_F(SiteTest, WithoutADocumentLoadFails) {
  EXPECT_FALSE(site_->LoadUrl(L"Z:\\anything.html"));
  site_->Resize();
  site_->CloseDocument();
  EXPECT_EQ(E_UNEXPECTED, site_->ActivateMe(nullptr));
}

}  // namespace
