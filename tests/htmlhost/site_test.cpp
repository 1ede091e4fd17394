// The document site's fixed answers, without a document.
#include <windows.h>
#include <exdisp.h>
#include <mshtmdid.h>

#include <gtest/gtest.h>

#include "htmlhost/mshtml_client.h"
#include "htmlhost/test_external.h"
#include "htmlhost/page_security_manager.h"

extern "C" const GUID CGID_DocHostCommandHandler;
extern "C" const GUID IID_IDocHostUIHandler2;
extern "C" const GUID IID_IDocHostShowUI;

namespace {

using htmlui::MSHTMLClient;

const wchar_t kFolder[] = L"C:\\ProgramData\\QRX\\run1\\pages";
const wchar_t kOurPage[] = L"file:///C:/ProgramData/QRX/run1/pages/Welcome.html";
const wchar_t kOutside[] = L"http://127.0.0.1:1/owned.html";

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
      {&IID_IServiceProvider, static_cast<IServiceProvider*>(site_)},
  };
  for (size_t i = 0; i < ARRAYSIZE(rows); ++i) {
    void* out = nullptr;
    ASSERT_EQ(S_OK, site_->QueryInterface(*rows[i].iid, &out)) << "row " << i;
    EXPECT_EQ(rows[i].expected, out) << "row " << i;
    static_cast<IUnknown*>(out)->Release();
  }
}

TEST_F(SiteTest, QueryInterfaceRefusesTheRest) {
  const IID* refused[] = {&IID_IHlinkFrame, &IID_IInternetSecurityManager, &IID_IOleInPlaceSiteWindowless,
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

TEST_F(SiteTest, WithoutADocumentOfOurFolderThereIsNoExternal) {
  site_->TrustPageFolder(kFolder);
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(S_FALSE, site_->GetExternal(&external));
  EXPECT_EQ(nullptr, external);
  EXPECT_EQ(1, external_.refs());

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

// The service table: the security manager under its own service id, for its own interfaces only.
TEST_F(SiteTest, ServiceTableOffersOnlyTheSecurityManager) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, site_->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager, &out))
      << "no folder trusted, no security manager";
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, site_->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager, nullptr));

  ASSERT_TRUE(site_->TrustPageFolder(kFolder));
  IInternetSecurityManager* manager = nullptr;
  ASSERT_EQ(S_OK, site_->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager,
                                      reinterpret_cast<void**>(&manager)));
  ASSERT_NE(nullptr, manager);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(S_OK, site_->QueryService(SID_SInternetSecurityManager, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  EXPECT_EQ(static_cast<IUnknown*>(manager), unknown);
  unknown->Release();

  struct Row {
    const GUID* service;
    const IID* iid;
  };
  const Row refused[] = {
      {&SID_SInternetSecurityManager, &IID_IInternetZoneManager},
      {&SID_SInternetSecurityManager, &IID_IInternetHostSecurityManager},
      {&SID_SInternetSecurityManager, &IID_IDispatch},
      {&SID_SInternetHostSecurityManager, &IID_IInternetHostSecurityManager},
      {&IID_IHlinkFrame, &IID_IHlinkFrame},
      {&IID_IWebBrowserApp, &IID_IWebBrowser2},
      {&IID_IOleClientSite, &IID_IOleClientSite},
      {&IID_IDocHostUIHandler, &IID_IDocHostUIHandler},
      {&IID_IInternetSecurityManager, &IID_IServiceProvider},
      {&GUID_NULL, &IID_IUnknown},
  };
  for (size_t i = 0; i < ARRAYSIZE(refused); ++i) {
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, site_->QueryService(*refused[i].service, *refused[i].iid, &out)) << "row " << i;
    EXPECT_EQ(nullptr, out) << "row " << i;
  }

  // The manager's references go back through the shared count: the site's, then ours.
  manager->AddRef();
  EXPECT_EQ(2u, manager->Release());
  site_->AddRef();
  EXPECT_EQ(1u, site_->Release());
  manager->Release();
}

TEST(SiteServiceTest, SecurityManagerOutlivesNothing) {
  MSHTMLClient* site = new MSHTMLClient(nullptr, nullptr);
  ASSERT_TRUE(site->TrustPageFolder(kFolder));
  IInternetSecurityManager* manager = nullptr;
  ASSERT_EQ(S_OK, site->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager,
                                     reinterpret_cast<void**>(&manager)));
  EXPECT_EQ(0u, site->Release());
  EXPECT_EQ(0u, manager->Release()) << "the site gave back its reference when it went";
}

struct ActionRow {
  const wchar_t* url;
  DWORD action;
  HRESULT expected;
  DWORD policy;  // 0xEEEE: left as it was
};

TEST_F(SiteTest, SecurityManagerAllowsScriptOnlyInOurPages) {
  ASSERT_TRUE(site_->TrustPageFolder(kFolder));
  IInternetSecurityManager* manager = nullptr;
  ASSERT_EQ(S_OK, site_->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager,
                                      reinterpret_cast<void**>(&manager)));
  const ActionRow rows[] = {
      {kOurPage, URLACTION_SCRIPT_RUN, S_OK, URLPOLICY_ALLOW},
      {kOutside, URLACTION_SCRIPT_RUN, S_FALSE, URLPOLICY_DISALLOW},
      {L"about:blank", URLACTION_SCRIPT_RUN, S_FALSE, URLPOLICY_DISALLOW},
      {L"file:///C:/ProgramData/QRX/run1/pages/../x.html", URLACTION_SCRIPT_RUN, S_FALSE, URLPOLICY_DISALLOW},
      {nullptr, URLACTION_SCRIPT_RUN, S_FALSE, URLPOLICY_DISALLOW},
      {kOurPage, URLACTION_ACTIVEX_RUN, S_FALSE, URLPOLICY_DISALLOW},
      {kOurPage, URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX, S_FALSE, URLPOLICY_DISALLOW},
      {kOurPage, URLACTION_SCRIPT_SAFE_ACTIVEX, S_FALSE, URLPOLICY_DISALLOW},
      {kOutside, URLACTION_HTML_JAVA_RUN, S_FALSE, URLPOLICY_DISALLOW},
      {kOurPage, URLACTION_JAVA_PERMISSIONS, S_FALSE, URLPOLICY_JAVA_PROHIBIT},
      {kOurPage, 0x2000 /* URLACTION_BEHAVIOR_RUN */, S_FALSE, URLPOLICY_DISALLOW},
      {kOutside, 0x2000, S_FALSE, URLPOLICY_DISALLOW},
      {kOurPage, URLACTION_HTML_SUBMIT_FORMS, INET_E_DEFAULT_ACTION, 0xEEEE},
      {kOutside, URLACTION_COOKIES, INET_E_DEFAULT_ACTION, 0xEEEE},
  };
  for (size_t i = 0; i < ARRAYSIZE(rows); ++i) {
    DWORD policy = 0xEEEE;
    EXPECT_EQ(rows[i].expected, manager->ProcessUrlAction(rows[i].url, rows[i].action, reinterpret_cast<BYTE*>(&policy),
                                                          sizeof(policy), nullptr, 0, 0, 0))
        << "row " << i;
    EXPECT_EQ(rows[i].policy, policy) << "row " << i;
  }
  BYTE small = 0;
  EXPECT_EQ(E_INVALIDARG, manager->ProcessUrlAction(kOurPage, URLACTION_SCRIPT_RUN, &small, 1, nullptr, 0, 0, 0));
  EXPECT_EQ(E_INVALIDARG, manager->ProcessUrlAction(kOurPage, URLACTION_SCRIPT_RUN, nullptr, 4, nullptr, 0, 0, 0));

  // Zones, origins, custom policies and mappings stay the engine's.
  DWORD zone = 77;
  EXPECT_EQ(INET_E_DEFAULT_ACTION, manager->MapUrlToZone(kOutside, &zone, 0));
  EXPECT_EQ(77u, zone);
  BYTE id[64] = {};
  DWORD idSize = sizeof(id);
  EXPECT_EQ(INET_E_DEFAULT_ACTION, manager->GetSecurityId(kOurPage, id, &idSize, 0));
  BYTE* custom = reinterpret_cast<BYTE*>(1);
  DWORD customSize = 5;
  EXPECT_EQ(INET_E_DEFAULT_ACTION,
            manager->QueryCustomPolicy(kOurPage, GUID_NULL, &custom, &customSize, nullptr, 0, 0));
  EXPECT_EQ(nullptr, custom);
  EXPECT_EQ(INET_E_DEFAULT_ACTION, manager->SetZoneMapping(0, L"file:", 0));
  IEnumString* mappings = reinterpret_cast<IEnumString*>(1);
  EXPECT_EQ(INET_E_DEFAULT_ACTION, manager->GetZoneMappings(0, &mappings, 0));
  EXPECT_EQ(nullptr, mappings);
  EXPECT_EQ(INET_E_DEFAULT_ACTION, manager->SetSecuritySite(nullptr));
  manager->Release();
}

struct NavigationRow {
  const wchar_t* url;
  bool refused;
};

// A navigation of the top document to http: (or anywhere else outside the folder) never reaches
// its target: the engine is handed the refusal target, and the external object logs the URL.
TEST_F(SiteTest, NavigationsOutsideThePageFolderAreRefused) {
  ASSERT_TRUE(site_->TrustPageFolder(kFolder));
  const NavigationRow rows[] = {
      {kOurPage, false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Installing.html#top", false},
      {kOutside, true},
      {L"https://example.com/", true},
      {L"file:///C:/ProgramData/QRX/run1/pages/../../secret.html", true},
      {L"file://server/share/Load.html", true},
      {L"res://ieframe.dll/navcancl.htm", true},
      {L"javascript:external.install('x','y')", true},
      {L"about:blank", false},  // the refusal target itself
  };
  for (const NavigationRow& row : rows) {
    external_.events.clear();
    std::wstring url = row.url;
    LPWSTR translated = reinterpret_cast<LPWSTR>(1);
    const HRESULT hr = site_->TranslateUrl(0, &url[0], &translated);
    if (!row.refused) {
      EXPECT_EQ(S_FALSE, hr);
      EXPECT_EQ(nullptr, translated);
      EXPECT_TRUE(external_.events.empty());
      continue;
    }
    EXPECT_EQ(S_OK, hr);
    ASSERT_NE(nullptr, translated);
    EXPECT_STREQ(L"about:blank", translated);
    CoTaskMemFree(translated);
    ASSERT_EQ(1u, external_.events.size());
    EXPECT_EQ(L"refused:" + url, external_.events[0]);
  }
  EXPECT_EQ(E_POINTER, site_->TranslateUrl(0, &std::wstring(kOutside)[0], nullptr));

  // Without an external object the navigation is refused all the same.
  site_->ClearExternal();
  external_.events.clear();
  std::wstring url = kOutside;
  LPWSTR translated = nullptr;
  EXPECT_EQ(S_OK, site_->TranslateUrl(0, &url[0], &translated));
  EXPECT_STREQ(L"about:blank", translated);
  CoTaskMemFree(translated);
  EXPECT_TRUE(external_.events.empty());
}

TEST_F(SiteTest, WithoutATrustedFolderEveryNavigationIsRefused) {
  std::wstring url = kOurPage;
  LPWSTR translated = nullptr;
  EXPECT_EQ(S_OK, site_->TranslateUrl(0, &url[0], &translated));
  EXPECT_STREQ(L"about:blank", translated);
  CoTaskMemFree(translated);
}

}  // namespace
