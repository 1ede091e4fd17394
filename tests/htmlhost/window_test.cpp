// The host window on the stand-in document: real windows, Wine's script engine, the site between.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/host_window.h"
#include "common/unique_any.h"
#include "common/extra_guids.h"
#include "htmlhost/page_trust.h"
#include "htmlhost/test_external.h"
#include "support/test_support.h"
#include "standin/standin_exports.h"

namespace {

using qrxtest::HostRun;
using qrxtest::RunHostWindow;
using qrxtest::TestExternal;
using Events = std::vector<std::wstring>;

class HostWindowTest : public ::testing::Test {
 protected:
  // One apartment for the whole suite: under Wine each CoUninitialize with an in-process server
  // loaded costs about two seconds.
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    module_.Reset(LoadLibraryW(QRX_STANDIN_DLL));
    ASSERT_TRUE(module_) << "stand-in document DLL missing";
    query_ = Export<StandInQueryFunc>("StandIn_Query");
    copyLog_ = Export<StandInCopyLogFunc>("StandIn_CopyLog");
    auto reset = Export<StandInResetFunc>("StandIn_Reset");
    ASSERT_TRUE(query_ && copyLog_ && reset);
    reset();
  }
  void TearDown() override {
    // Every object of the stand-in has gone: the site released the document and the script.
    if (query_) {
      EXPECT_EQ(0, query_(L"live"));
    }
    EXPECT_EQ(1, external_.refs()) << "the site and the script engine gave back their references";
  }

  template <typename F>
  F Export(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
  }
  static std::wstring Page(const wchar_t* name) { return std::wstring(QRX_SCENARIO_DIR) + name; }
  std::wstring PageLog() const {
    wchar_t buffer[4096] = {};
    copyLog_(buffer, ARRAYSIZE(buffer));
    return buffer;
  }
  HostRun Run(const wchar_t* page) {
    HostRun run = RunHostWindow(Page(page), &external_);
    EXPECT_FALSE(run.timedOut) << "page log: " << std::string(PageLog().begin(), PageLog().end());
    EXPECT_EQ(0, query_(L"scriptErrors")) << std::string(PageLog().begin(), PageLog().end());
    return run;
  }

  qrx::UniqueModule module_;
  StandInQueryFunc query_ = nullptr;
  StandInCopyLogFunc copyLog_ = nullptr;
  TestExternal external_;
};

TEST_F(HostWindowTest, StandInIsRegisteredForTheHtmlDocumentClass) {
  IUnknown* document = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&document)));
  EXPECT_EQ(1, query_(L"live"));
  EXPECT_EQ(0u, document->Release());
}

TEST_F(HostWindowTest, ScenarioPageReachesTheExternalObject) {
  const HostRun run = Run(L"calls.js");
  EXPECT_TRUE(run.created);
  EXPECT_FALSE(run.quitPosted);
  const Events expected = {L"attach",
                           L"note:start",
                           L"getProperty:osVersion flags 3",
                           L"note:value:osVersion",
                           L"note:ambient 8304",
                           L"ready",
                           L"note:polled 3",
                           L"close:1",
                           L"close:0",
                           L"detach"};
  EXPECT_EQ(expected, external_.events);
}

// The closing hook (where the product begins the bridge's shut-down) runs once the loop has ended,
// while the window and its document are still there: nothing queued meanwhile reaches a closed page.
TEST_F(HostWindowTest, ClosingHookRunsBeforeTheWindowGoes) {
  struct Seen {
    TestExternal* external;
    bool windowAlive;
  } seen{&external_, false};
  qrx::RegisterHostClass();
  ASSERT_TRUE(qrx::CreateHostWindow(Page(L"unsized.js"), &external_, nullptr, &seen, [](void* context) {
    auto* s = static_cast<Seen*>(context);
    s->external->events.push_back(L"closing");
    s->windowAlive = IsWindow(s->external->hostWindow) != FALSE;
  }));
  const Events expected = {L"attach", L"ready", L"size:400x200", L"close:1", L"closing", L"detach"};
  EXPECT_EQ(expected, external_.events);
  EXPECT_TRUE(seen.windowAlive);
}

TEST_F(HostWindowTest, DocumentIsActivatedInPlaceWithTheHostFlags) {
  Run(L"calls.js");
  EXPECT_EQ(0x40250003, query_(L"hostFlags"));
  EXPECT_EQ(1, query_(L"windowContext"));
  EXPECT_EQ(1, query_(L"activateMe"));
  EXPECT_EQ(0, query_(L"viewShown")) << "the view is closed with the window";
  EXPECT_EQ(0, query_(L"sinks")) << "the property sink is disconnected";
}

TEST_F(HostWindowTest, UnsizedPageGetsTheDefaultSizeAndTheDocumentFollows) {
  Run(L"unsized.js");
  const Events expected = {L"attach", L"ready", L"size:400x200", L"close:1", L"detach"};
  EXPECT_EQ(expected, external_.events);
  // WM_SIZE fitted the document to the client area.
  EXPECT_EQ(400, query_(L"viewWidth"));
  EXPECT_EQ(200, query_(L"viewHeight"));
}

TEST_F(HostWindowTest, SizedPageKeepsItsSize) {
  Run(L"sized.js");
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  const std::wstring size = L"size:" + std::to_wstring(647 * dpi / 96) + L"x" + std::to_wstring(505 * dpi / 96);
  const Events expected = {L"attach", L"setWindowSize:647x505", L"ready", size, L"close:1", L"detach"};
  EXPECT_EQ(expected, external_.events);
}

TEST_F(HostWindowTest, DocumentTitleBecomesTheWindowCaption) {
  Run(L"title.js");
  ASSERT_GE(external_.events.size(), 2u);
  EXPECT_EQ(L"caption:Lumenary R7 Setup", external_.events[1]);
}

TEST_F(HostWindowTest, ScriptAlertsAreSwallowed) {
  Run(L"alert.js");
  ASSERT_GE(external_.events.size(), 2u);
  EXPECT_EQ(L"note:alert answered 0", external_.events[1]);
  EXPECT_EQ(0, query_(L"alertsShown"));
}

TEST_F(HostWindowTest, OnlyACompleteReadyStateReachesTheExternalObject) {
  Run(L"ready.js");
  const Events expected = {L"attach", L"note:loaded",         L"ready",   L"note:timer", L"ready",
                           L"note:complete again", L"close:1", L"detach"};
  EXPECT_EQ(expected, external_.events);
}

TEST_F(HostWindowTest, CloseMessageEndsTheLoop) {
  const HostRun run = Run(L"postclose.js");
  EXPECT_TRUE(run.created);
  EXPECT_FALSE(run.quitPosted);
  const Events expected = {L"attach", L"ready", L"detach"};
  EXPECT_EQ(expected, external_.events);
}

TEST_F(HostWindowTest, QuitMessageEndsTheLoopAndIsPostedAgain) {
  const HostRun run = Run(L"quit.js");
  EXPECT_TRUE(run.created);
  EXPECT_TRUE(run.quitPosted);
  EXPECT_EQ(7u, run.quitCode);
  const Events expected = {L"attach", L"ready", L"detach"};
  EXPECT_EQ(expected, external_.events);
}

TEST_F(HostWindowTest, MessagesAreOfferedToTheDocumentFirst) {
  Run(L"keys.js");
  EXPECT_EQ(1, query_(L"consumed"));
  EXPECT_GE(query_(L"offered"), 3) << "both keys and the timer messages";
}

TEST_F(HostWindowTest, OnlyControlTextSelectionAndScrollBarMenusAreShown) {
  Run(L"context.js");
  ASSERT_GE(external_.events.size(), 2u);
  EXPECT_EQ(L"note:0=0 1=0 2=1 3=0 4=1 5=0 6=0 9=0 10=1 11=1 12=0 ", external_.events[1]);
}

TEST_F(HostWindowTest, ExternalIsGoneAfterTheWindowIsDestroyed) {
  external_.keepSite = true;
  Run(L"unsized.js");
  htmlui::MSHTMLClient* site = external_.keptSite;
  ASSERT_NE(nullptr, site);
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(S_FALSE, site->GetExternal(&external));
  EXPECT_EQ(nullptr, external);
  EXPECT_EQ(nullptr, site->window());
  EXPECT_EQ(nullptr, site->document());
  EXPECT_EQ(0u, site->Release()) << "the kept reference was the last one";
}

TEST_F(HostWindowTest, MissingPageFailsTheWindow) {
  const HostRun run = RunHostWindow(L"Z:\\no\\such\\folder\\Load.html", &external_, 5000);
  EXPECT_FALSE(run.created);
  EXPECT_FALSE(run.timedOut);
  const Events expected = {L"attach", L"detach"};
  EXPECT_EQ(expected, external_.events);
  EXPECT_EQ(nullptr, FindWindowW(L"HTMLUI", nullptr));
}

TEST_F(HostWindowTest, ScenarioStandsInForAnHtmlPage) {
  qrxtest::ScopedEnv scenario(QRX_STANDIN_SCENARIO_VARIABLE, Page(L"calls.js"));
  Run(L"page.html");
  ASSERT_EQ(10u, external_.events.size());
  EXPECT_EQ(L"note:start", external_.events[1]);
  EXPECT_EQ(L"close:1", external_.events[7]);
}

void CALLBACK CloseHostWindow(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostMessageW(FindWindowW(L"HTMLUI", nullptr), WM_CLOSE, 0, 0);
}

TEST_F(HostWindowTest, HtmlPageWithoutScenarioCompletesAndWaitsForClose) {
  SetTimer(nullptr, 0, 300, CloseHostWindow);
  const HostRun run = Run(L"page.html");
  EXPECT_TRUE(run.created);
  const Events expected = {L"attach", L"ready", L"detach"};
  EXPECT_EQ(expected, external_.events);
}

// window.external answers a document by the URL it reports: one of the trusted folder, yes; the
// same document with another folder trusted, no.
TEST_F(HostWindowTest, ExternalOnlyForDocumentsOfTheTrustedFolder) {
  const std::wstring scenarios = htmlui::FolderOfPage(Page(L"page.html"));
  struct Row {
    std::wstring folder;
    HRESULT expected;
  };
  const Row rows[] = {
      {scenarios, S_OK},
      {scenarios + L"\\", S_OK},
      {scenarios + L"\\..\\standin", S_FALSE},
      {scenarios + L"\\sub", S_FALSE},
      {scenarios + L"X", S_FALSE},
  };
  for (const Row& row : rows) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    auto* site = new htmlui::MSHTMLClient(window, &external_);
    ASSERT_TRUE(site->TrustPageFolder(row.folder));
    ASSERT_TRUE(site->CreateDocument());
    ASSERT_TRUE(site->LoadUrl(Page(L"page.html")));
    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(row.expected, site->GetExternal(&external)) << std::string(row.folder.begin(), row.folder.end());
    if (row.expected == S_OK) {
      EXPECT_EQ(static_cast<IDispatch*>(&external_), external);
      external->Release();
    } else {
      EXPECT_EQ(nullptr, external);
    }
    site->CloseDocument();
    EXPECT_EQ(0u, site->Release());
    DestroyWindow(window);
  }
}

TEST_F(HostWindowTest, CloseRequestOnlyForHostWindows) {
  EXPECT_FALSE(qrx::RequestHostWindowClose(nullptr));
  EXPECT_FALSE(qrx::RequestHostWindowClose(GetDesktopWindow()));
}

}  // namespace
