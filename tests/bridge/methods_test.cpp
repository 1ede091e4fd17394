// The fifteen script methods called directly: argument checks, effects and log lines.
#include <gtest/gtest.h>

#include "bridge/worker_threads.h"
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/bridge_support.h"
#include "common/unique_any.h"
#include "support/test_support.h"

namespace {

using bridgetest::BoolArg;
using bridgetest::CallMethod;
using bridgetest::DoubleArg;
using bridgetest::IntArg;
using bridgetest::TestBridge;
using bridgetest::TextArg;
using qrx::UniqueVariant;

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

enum Id {
  kSetWindowSize = 1, kCloseWindow, kDownload, kInstall, kGetProperty, kSetChannel, kSetInstallStatus,
  kStartInstallProgram, kHideWindow, kDragWindow, kMessageBox, kDisableCloseWindow, kRestoreWindow, kOpenPage,
  kRetryMessageBox
};

TEST(Methods, TableHasFifteenEntriesInOrder) {
  TestBridge t;
  const htmlui::MSHTMLExternal::MethodEntry* table = nullptr;
  ASSERT_EQ(t.bridge->GetMethodTable(&table), 15u);
  const wchar_t* names[] = {L"setWindowSize", L"closeWindow", L"download", L"install", L"getProperty",
                            L"setChannel", L"setInstallStatus", L"startInstallProgram", L"hideWindow",
                            L"dragWindow", L"messageBox", L"disableCloseWindow", L"restoreWindow",
                            L"openPage", L"retryMessageBox"};
  for (int i = 0; i < 15; ++i) {
    EXPECT_STREQ(table[i].name, names[i]);
    LPOLESTR name = const_cast<LPOLESTR>(names[i]);
    DISPID id = 0;
    EXPECT_EQ(t.bridge->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, i + 1);
  }
}

// Every rejection, before anything is logged or done.
TEST(Methods, RejectionsReturnTheirResultAndLogNothing) {
  struct Case {
    const char* what;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    HRESULT hr;
  };
  std::vector<Case> cases;
  cases.push_back({"setWindowSize flags 3", kSetWindowSize, kGet, {IntArg(1), IntArg(2)}, DISP_E_MEMBERNOTFOUND});
  cases.push_back({"setWindowSize flags 2", kSetWindowSize, DISPATCH_PROPERTYGET, {IntArg(1), IntArg(2)},
                   DISP_E_MEMBERNOTFOUND});
  cases.push_back({"setWindowSize one arg", kSetWindowSize, kMethod, {IntArg(1)}, DISP_E_BADPARAMCOUNT});
  cases.push_back({"setWindowSize three args", kSetWindowSize, kMethod, {IntArg(1), IntArg(2), IntArg(3)},
                   DISP_E_BADPARAMCOUNT});
  cases.push_back({"setWindowSize double width", kSetWindowSize, kMethod, {DoubleArg(647.0), IntArg(2)},
                   DISP_E_TYPEMISMATCH});
  cases.push_back({"setWindowSize double height", kSetWindowSize, kMethod, {IntArg(1), DoubleArg(2.0)},
                   DISP_E_TYPEMISMATCH});
  cases.push_back({"getProperty flags 1", kGetProperty, kMethod, {TextArg(L"osVersion")}, DISP_E_MEMBERNOTFOUND});
  cases.push_back({"getProperty number key", kGetProperty, kGet, {IntArg(5)}, DISP_E_TYPEMISMATCH});
  cases.push_back({"getProperty no key", kGetProperty, kGet, {}, DISP_E_BADPARAMCOUNT});
  cases.push_back({"closeWindow with arg", kCloseWindow, kMethod, {IntArg(1)}, DISP_E_BADPARAMCOUNT});
  cases.push_back({"download text callback", kDownload, kMethod, {TextArg(L"http://x/"), TextArg(L"f")},
                   DISP_E_TYPEMISMATCH});
  cases.push_back({"install number", kInstall, kMethod, {IntArg(1), TextArg(L"f")}, DISP_E_TYPEMISMATCH});
  cases.push_back({"setChannel number", kSetChannel, kMethod, {IntArg(1)}, DISP_E_TYPEMISMATCH});
  cases.push_back({"setInstallStatus 5", kSetInstallStatus, kMethod, {IntArg(5)}, STG_E_INVALIDPARAMETER});
  cases.push_back({"setInstallStatus -1", kSetInstallStatus, kMethod, {IntArg(-1)}, STG_E_INVALIDPARAMETER});
  cases.push_back({"setInstallStatus text", kSetInstallStatus, kMethod, {TextArg(L"1")}, DISP_E_TYPEMISMATCH});
  cases.push_back({"messageBox one arg", kMessageBox, kMethod, {TextArg(L"t")}, DISP_E_BADPARAMCOUNT});
  cases.push_back({"disableCloseWindow int", kDisableCloseWindow, kMethod, {IntArg(1)}, DISP_E_TYPEMISMATCH});
  cases.push_back({"openPage flags 3", kOpenPage, kGet, {TextArg(L"u")}, DISP_E_MEMBERNOTFOUND});
  cases.push_back({"retryMessageBox flags 1", kRetryMessageBox, kMethod, {TextArg(L"t")}, DISP_E_MEMBERNOTFOUND});
  cases.push_back({"hideWindow flags 3", kHideWindow, kGet, {}, DISP_E_MEMBERNOTFOUND});

  TestBridge t;
  for (Case& c : cases) {
    UniqueVariant result;
    EXPECT_EQ(CallMethod(t.bridge, c.id, c.flags, c.args, result.get()), c.hr) << c.what;
    EXPECT_EQ(result.get()->vt, VT_EMPTY) << c.what;
  }
  EXPECT_TRUE(t.LogMessages().empty());
  EXPECT_EQ(t.info.status, qrx::kEnvironmentNotMeet);
  EXPECT_TRUE(t.info.channelId.empty());
}

TEST(Methods, NamedArgumentsAndByReferenceFormsAreRejected) {
  TestBridge t;
  VARIANT arg = IntArg(2);
  DISPID named = 0;
  DISPPARAMS withNamed = {&arg, &named, 1, 1};
  EXPECT_EQ(t.bridge->Invoke(kSetInstallStatus, IID_NULL, 0, kMethod, &withNamed, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  LONG cell = 2;
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_I4 | VT_BYREF;
  byRef.plVal = &cell;
  DISPPARAMS params = {&byRef, nullptr, 1, 0};
  EXPECT_EQ(t.bridge->Invoke(kSetInstallStatus, IID_NULL, 0, kMethod, &params, nullptr, nullptr, nullptr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(t.info.status, qrx::kEnvironmentNotMeet);
}

TEST(Methods, AcceptedCallsLogTheirLines) {
  TestBridge t;
  EXPECT_EQ(CallMethod(t.bridge, kSetChannel, kMethod, {TextArg(L"beta\0tail", 9)}, nullptr), S_OK);
  EXPECT_EQ(t.info.channelId, L"beta") << "text up to the first zero";
  EXPECT_EQ(CallMethod(t.bridge, kSetInstallStatus, kMethod, {IntArg(4)}, nullptr), S_OK);
  EXPECT_EQ(t.info.status, 4);
  EXPECT_EQ(CallMethod(t.bridge, kSetInstallStatus, kMethod, {IntArg(0)}, nullptr), S_OK);
  EXPECT_EQ(t.info.status, 0);
  EXPECT_EQ(CallMethod(t.bridge, kDisableCloseWindow, kMethod, {BoolArg(true)}, nullptr), S_OK);
  EXPECT_TRUE(t.bridge->closeDisabled());
  EXPECT_EQ(CallMethod(t.bridge, kDisableCloseWindow, kMethod, {BoolArg(false)}, nullptr), S_OK);
  EXPECT_FALSE(t.bridge->closeDisabled());
  EXPECT_EQ(CallMethod(t.bridge, kCloseWindow, kMethod, {}, nullptr), S_OK);
  EXPECT_EQ(CallMethod(t.bridge, kHideWindow, kMethod, {}, nullptr), S_OK);
  EXPECT_EQ(CallMethod(t.bridge, kRestoreWindow, kMethod, {}, nullptr), S_OK);
  EXPECT_EQ(CallMethod(t.bridge, kDragWindow, kMethod, {}, nullptr), S_OK);
  EXPECT_EQ(CallMethod(t.bridge, kRetryMessageBox, kGet, {TextArg(L"again?")}, nullptr), S_OK)
      << "without a result variant no box is shown";

  const std::vector<std::string> expected = {
      "ZSSetChannel: beta",       "ZSSetInstallStatus: 4",     "ZSSetInstallStatus: 0",
      "ZSDisableWindowClose: -1", "ZSDisableWindowClose: 0",   "ZSClose",
      "ZSHideWindow",             "ZSRestoreWindow",           "ZSDragWindow",
      "ZSRetryMessageBox: again?"};
  EXPECT_EQ(t.LogMessages(), expected);
}

TEST(Methods, DownloadAndInstallCheckAndLog) {
  CoInitialize(nullptr);  // the callbacks are marshalled to the workers
  TestBridge t;
  // Any object serves as the callback for the checks.
  VARIANT callback;
  VariantInit(&callback);
  callback.vt = VT_DISPATCH;
  callback.pdispVal = t.bridge;
  t.bridge->AddRef();
  VARIANT callback2;
  VariantInit(&callback2);
  VariantCopy(&callback2, &callback);
  EXPECT_EQ(CallMethod(t.bridge, kDownload, kMethod, {TextArg(L"http://127.0.0.1:1/setup.zip"), callback}, nullptr),
            S_OK);
  EXPECT_EQ(CallMethod(t.bridge, kInstall, kMethod, {TextArg(L"-a \"b\""), callback2}, nullptr), S_OK);
  // Each call started a worker; they end (calling back into this thread) before the checks.
  EXPECT_TRUE(t.workers.Join(60000));
  // The download fails (nothing listens on port 1), so the install is refused; the path it names
  // depends on how far the download got when install was called.
  const std::vector<std::string> lines = bridgetest::ScriptMethodLines(t.LogMessages());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "ZSDownload: http://127.0.0.1:1/setup.zip");
  EXPECT_EQ(lines[1], "ZSInstall: -a \"b\"");
  EXPECT_EQ(lines[2].rfind("ZSInstall refused, no package downloaded and checked in this run: ", 0), 0u) << lines[2];
  CoUninitialize();
}

std::vector<std::pair<std::wstring, std::wstring>> g_launches;
HRESULT RecordLaunch(const std::wstring& file, const std::wstring& arguments) {
  g_launches.emplace_back(file, arguments);
  return E_FAIL;  // the outcome is not reported to the page
}

TEST(Methods, OpenPageCaretsAmpersandsAndLogsTheUrlAsReceived) {
  TestBridge t;
  g_launches.clear();
  t.bridge->SetShellLauncher(&RecordLaunch);
  EXPECT_EQ(CallMethod(t.bridge, kOpenPage, kMethod, {TextArg(L"https://h/thanks?a=1&b=2")}, nullptr), S_OK);
  EXPECT_EQ(CallMethod(t.bridge, kOpenPage, kMethod, {TextArg(L"HTTP://h/a&b&c")}, nullptr), S_OK);
  t.bridge->SetStartProgram(L"C:\\Lumenary\\Halvard Lumenary Pro.exe");
  EXPECT_EQ(CallMethod(t.bridge, kStartInstallProgram, kMethod, {TextArg(L"/first")}, nullptr), S_OK);
  ASSERT_EQ(g_launches.size(), 3u);
  EXPECT_EQ(g_launches[0].first, L"https://h/thanks?a=1^&b=2");
  EXPECT_EQ(g_launches[0].second, L"");
  EXPECT_EQ(g_launches[1].first, L"HTTP://h/a^&b^&c");
  EXPECT_EQ(g_launches[2].first, L"C:\\Lumenary\\Halvard Lumenary Pro.exe");
  EXPECT_EQ(g_launches[2].second, L"/first");
  const std::vector<std::string> expected = {"ZSOpenPage: https://h/thanks?a=1&b=2", "ZSOpenPage: HTTP://h/a&b&c"};
  EXPECT_EQ(t.LogMessages(), expected);
}

TEST(Methods, OpenPageLaunchesNothingButWebPagesAndLogsTheRest) {
  const wchar_t* const refused[] = {
      L"file:///C:/windows/win.ini", L"\\\\host\\share\\p.zip", L"javascript:alert(1)",
      L"C:\\Windows\\System32\\cmd.exe", L"res://shell32.dll/1", L"httpx://h/", L" http://h/", L"",
      L"mailto:a@b", L"http:h/p",
  };
  for (const wchar_t* url : refused) {
    TestBridge t;
    g_launches.clear();
    t.bridge->SetShellLauncher(&RecordLaunch);
    EXPECT_EQ(CallMethod(t.bridge, kOpenPage, kMethod, {TextArg(url)}, nullptr), S_OK);
    EXPECT_TRUE(g_launches.empty());
    const std::wstring wide(url);
    const std::string text(wide.begin(), wide.end());  // the cases are ASCII
    const std::vector<std::string> expected = {
        "ZSOpenPage refused, only http and https URLs are opened: " + text, "ZSOpenPage: " + text};
    EXPECT_EQ(t.LogMessages(), expected);
  }
}

TEST(Properties, StartValuesAndUnknownKeys) {
  TestBridge t;
  struct Case {
    const wchar_t* key;
    const wchar_t* value;
  };
  const Case cases[] = {
      {L"downloadTotal", L"1"}, {L"downloadCurrent", L"0"}, {L"installProgress", L"0"},
      {L"qrxInstalled", L"false"}, {L"osIsServer", L"false"}, {L"dpiSatisfied", L"true"},
      {L"osVersion", L"10.0"}, {L"osbits", t.info.properties[L"osbits"].c_str()},
      {L"OSVERSION", L""}, {L"neverWritten", L""},
  };
  for (const Case& c : cases) {
    UniqueVariant result;
    ASSERT_EQ(CallMethod(t.bridge, kGetProperty, kGet, {TextArg(c.key)}, result.get()), S_OK);
    ASSERT_EQ(result.get()->vt, VT_BSTR);
    EXPECT_EQ(std::wstring(result.get()->bstrVal, SysStringLen(result.get()->bstrVal)), c.value) << c.key;
  }
  // An unknown key read once stands in the map with an empty value.
  ASSERT_EQ(t.info.properties.count(L"neverWritten"), 1u);
  EXPECT_EQ(t.info.properties[L"neverWritten"], L"");
  EXPECT_TRUE(t.LogMessages().empty()) << "getProperty logs nothing";
  // Without a result variant nothing is looked up.
  EXPECT_EQ(CallMethod(t.bridge, kGetProperty, kGet, {TextArg(L"other")}, nullptr), S_OK);
  EXPECT_EQ(t.info.properties.count(L"other"), 0u);
}

TEST(Properties, ValuesKeepTheirFullLength) {
  TestBridge t;
  t.bridge->SetPropertyValue(L"withZero", std::wstring(L"a\0b", 3));
  UniqueVariant result;
  ASSERT_EQ(CallMethod(t.bridge, kGetProperty, kGet, {TextArg(L"withZero")}, result.get()), S_OK);
  EXPECT_EQ(SysStringLen(result.get()->bstrVal), 3u);
}

TEST(Properties, CounterSettersWriteSignedDecimal) {
  TestBridge t;
  t.bridge->SetDownloadTotal(3000000000u);
  t.bridge->SetDownloadCurrent(static_cast<ULONG>(-5));
  t.bridge->SetInstallProgress(100);
  EXPECT_EQ(t.bridge->GetPropertyValue(L"downloadTotal"), L"-1294967296");
  EXPECT_EQ(t.bridge->GetPropertyValue(L"downloadCurrent"), L"-5");
  EXPECT_EQ(t.bridge->GetPropertyValue(L"installProgress"), L"100");
}

TEST(Properties, StartFactsDecideTheEnvironmentKeys) {
  struct Case {
    bool installed;
    bool server;
    int dpi;
    int height;
    const wchar_t* dpiSatisfied;
  };
  const Case cases[] = {
      {true, true, 144, 1080, L"true"},
      {false, false, 144, 900, L"false"},
      {false, true, 120, 600, L"true"},
      {true, false, 192, 919, L"false"},
      {true, false, 143, 100, L"true"},
  };
  for (const Case& c : cases) {
    qrx::StartFacts facts = bridgetest::SampleFacts();
    facts.productInstalled = c.installed;
    facts.serverOs = c.server;
    facts.dpi = c.dpi;
    facts.screenHeight = c.height;
    facts.osVersion = L"6.1";
    TestBridge t(facts);
    EXPECT_EQ(t.info.properties[L"qrxInstalled"], c.installed ? L"true" : L"false");
    EXPECT_EQ(t.info.properties[L"osIsServer"], c.server ? L"true" : L"false");
    EXPECT_EQ(t.info.properties[L"dpiSatisfied"], c.dpiSatisfied) << c.dpi << " " << c.height;
    EXPECT_EQ(t.info.properties[L"osVersion"], L"6.1");
  }
}

TEST(Bridge, DownloadFolderLivesAsLongAsTheBridge) {
  qrxtest::TempDir temp;
  qrxtest::ScopedEnv tmp(L"TMP", temp.path());
  qrxtest::ScopedEnv tempVar(L"TEMP", temp.path());
  std::wstring folder;
  {
    TestBridge t;
    folder = t.bridge->GetDownloadFolder();
    ASSERT_FALSE(folder.empty());
    const std::wstring parent = qrxtest::WorkingParent();
    ASSERT_FALSE(parent.empty());
    EXPECT_EQ(folder.compare(0, parent.size(), parent), 0) << "under the working parent";
    EXPECT_TRUE(qrxtest::FolderIsEmpty(temp.path())) << "nothing in the user's temp folder";
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(qrxtest::WriteFileBytes(folder + L"setup.zip", "PK"));
    EXPECT_EQ(t.bridge->AddRef(), 2u);
    EXPECT_EQ(t.bridge->Release(), 1u);
    EXPECT_EQ(t.bridge->Release(), 0u);
    t.bridge = nullptr;
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted with its contents";
  }
}

// TEMP has no say in where the elevated run works: an over-long one changes nothing.
TEST(Bridge, TooLongTempPathStillGivesADownloadFolderBelowTheWorkingParent) {
  qrxtest::TempDir temp;
  std::wstring deep = temp.path() + std::wstring(250, L'd');
  qrxtest::ScopedEnv tmp(L"TMP", deep);
  qrxtest::ScopedEnv tempVar(L"TEMP", deep);
  TestBridge t;
  const std::wstring parent = qrxtest::WorkingParent();
  ASSERT_FALSE(parent.empty());
  EXPECT_EQ(t.bridge->GetDownloadFolder().compare(0, parent.size(), parent), 0);
  EXPECT_EQ(t.bridge->Release(), 0u);
  t.bridge = nullptr;
  EXPECT_NE(GetFileAttributesW(temp.path().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Bridge, GenericBridgeHasNoInstallerAndTheProductOneRunsIt) {
  TestBridge t;
  std::wstring path = L"unchanged";
  EXPECT_FALSE(t.bridge->downloadmanagercore::HtmlExternal::GetInstalledStartProgram(path));
  EXPECT_EQ(path, L"unchanged");
  EXPECT_EQ(t.bridge->downloadmanagercore::HtmlExternal::InstallPackage(L"x", L"y"), 2);
  // The product's bridge runs the installer, and only on this run's checked download: none here.
  EXPECT_EQ(t.bridge->InstallPackage(t.bridge->downloadFolder() + L"missing.zip", L"y"), 3);
  EXPECT_EQ(t.info.wrapperError, 0) << "refused before anything was unpacked";
}

}  // namespace

// The site reports a refused navigation; the bridge logs one warning line with the URL, made safe.
TEST(Methods, RefusedNavigationIsLoggedAsOneWarningLine) {
  TestBridge t;
  t.bridge->OnNavigationRefused(L"http://127.0.0.1:1/owned.html");
  t.bridge->OnNavigationRefused(L"http://a/\r\n[x] forged");
  const std::vector<std::string> expected = {
      "Navigation outside the page folder refused: http://127.0.0.1:1/owned.html",
      "Navigation outside the page folder refused: http://a/??[x] forged"};
  EXPECT_EQ(t.LogMessages(), expected);
  const std::string text = qrxtest::ReadFileBytes(t.logger->path());
  const char line[] = " WARNING] Navigation outside the page folder refused: http://127.0.0.1:1/owned.html";
  EXPECT_NE(std::string::npos, text.find(line)) << text;
}
