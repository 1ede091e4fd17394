// The bridge called by Wine's JScript engine, hosted with the bridge as the named item
// "external", the way a page calls window.external.
#include <gtest/gtest.h>

#include "bridge/worker_threads.h"
#include <windows.h>
#include <activscp.h>

#include <string>
#include <vector>

#include "bridge/bridge_support.h"
#include "common/com_ptr.h"
#include "common/extra_guids.h"
#include "common/unique_any.h"
#include "support/test_support.h"

namespace {

using qrx::ComPtr;

// Records how the engine calls the bridge.
class RecordingBridge : public qrx::QRXExternal {
 public:
  using QRXExternal::QRXExternal;
  struct Call {
    DISPID id;
    WORD flags;
    bool withResult;
    HRESULT hr;
  };
  HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD grfdex, DISPID* id) override {
    lookups.push_back({name ? name : L"", grfdex});
    return QRXExternal::GetDispID(name, grfdex, id);
  }
  HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, IServiceProvider* caller) override {
    const HRESULT hr = QRXExternal::InvokeEx(id, lcid, flags, params, result, excepInfo, caller);
    calls.push_back({id, flags, result != nullptr, hr});
    return hr;
  }
  std::vector<std::pair<std::wstring, DWORD>> lookups;
  std::vector<Call> calls;
};

class Site final : public IActiveScriptSite {
 public:
  explicit Site(IUnknown* external) : external_(external) {}
  virtual ~Site() = default;
  // IUnknown:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite)) {
      *out = static_cast<IActiveScriptSite*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  // IActiveScriptSite:
  HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
    if (info) *info = nullptr;
    if (item) *item = nullptr;
    if (std::wstring(name) != L"external") return TYPE_E_ELEMENTNOTFOUND;
    if (mask & SCRIPTINFO_ITYPEINFO) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
      *item = external_;
      external_->AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
    EXCEPINFO info = {};
    if (error && SUCCEEDED(error->GetExceptionInfo(&info))) {
      errors.push_back(info.scode);
      SysFreeString(info.bstrSource);
      SysFreeString(info.bstrDescription);
      SysFreeString(info.bstrHelpFile);
    } else {
      errors.push_back(E_FAIL);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

  LONG refs = 1;
  std::vector<HRESULT> errors;

 private:
  IUnknown* external_;
};

class Script : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    bridge_ = new RecordingBridge(&info_, &reporter_, logger_.get(), bridgetest::SampleFacts());
    bridge_->AttachWorkers(&workers_);
    site_ = new Site(static_cast<IDispatchEx*>(bridge_));
    CLSID jscript;
    ASSERT_EQ(CLSIDFromProgID(L"JScript", &jscript), S_OK);
    ASSERT_EQ(CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine_.put_void()), S_OK);
    ASSERT_EQ(engine_->QueryInterface(IID_IActiveScriptParse64, parse_.put_void()), S_OK);
    ASSERT_EQ(engine_->SetScriptSite(site_), S_OK);
    ASSERT_EQ(parse_->InitNew(), S_OK);
    ASSERT_EQ(engine_->AddNamedItem(L"external", SCRIPTITEM_ISVISIBLE), S_OK);
    ASSERT_EQ(engine_->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
  }
  void TearDown() override {
    // `download` and `install` started workers; they end (calling back into this thread) first.
    EXPECT_TRUE(workers_.Join(60000));
    if (engine_) engine_->Close();
    parse_.Reset();
    engine_.Reset();
    EXPECT_EQ(site_->refs, 1);
    delete site_;
    EXPECT_EQ(bridge_->Release(), 0u) << "the engine gave back every reference";
    CoUninitialize();
  }
  HRESULT Run(const wchar_t* code) {
    EXCEPINFO info = {};
    const HRESULT hr = parse_->ParseScriptText(code, nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE,
                                               nullptr, &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return hr;
  }
  std::wstring Expando(const wchar_t* name) {
    qrx::UniqueBstr bstr(SysAllocString(name));
    DISPID id = 0;
    if (bridge_->QRXExternal::GetDispID(bstr.get(), 0, &id) != S_OK) return L"<missing>";
    qrx::UniqueVariant value;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (bridge_->QRXExternal::InvokeEx(id, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr) != S_OK) {
      return L"<unreadable>";
    }
    if (VariantChangeType(value.get(), value.get(), 0, VT_BSTR) != S_OK) return L"<not text>";
    return value.get()->bstrVal;
  }

  downloadmanagercore::WorkerPool workers_;
  qrx::SessionInfo info_{L"QRX", L"1.0.79.1"};
  qrx::ErrorReporter reporter_{&info_};
  std::unique_ptr<qrx::Logger> logger_{new qrx::Logger()};
  RecordingBridge* bridge_ = nullptr;
  Site* site_ = nullptr;
  ComPtr<IActiveScript> engine_;
  ComPtr<IActiveScriptParse64> parse_;
};

TEST_F(Script, PageStyleCallsAreAccepted) {
  ASSERT_EQ(Run(L"external.setInstallStatus(2);\n"
                L"external.setChannel('beta');\n"
                L"var v = external.getProperty('osVersion');\n"
                L"external.seenVersion = v;\n"
                L"external.seenTotal = external.getProperty('downloadTotal');\n"
                L"external.seenUnknown = '[' + external.getProperty('nothing') + ']';\n"
                L"external.disableCloseWindow(true);\n"
                L"external.download('http://127.0.0.1:1/setup.zip', function (code) {});\n"
                L"external.install('-lang en', function (code) {});\n"),
            S_OK);
  EXPECT_TRUE(site_->errors.empty());
  EXPECT_EQ(info_.status, 2);
  EXPECT_EQ(info_.channelId, L"beta");
  EXPECT_TRUE(bridge_->closeDisabled());
  EXPECT_EQ(Expando(L"seenVersion"), L"10.0");
  EXPECT_EQ(Expando(L"seenTotal"), L"1");
  EXPECT_EQ(Expando(L"seenUnknown"), L"[]");

  // What the engine sent: flags 1 without a result for statements, 3 with one for used values.
  ASSERT_FALSE(bridge_->calls.empty());
  for (const auto& call : bridge_->calls) {
    if (call.id == 5) {
      EXPECT_EQ(call.flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
      EXPECT_TRUE(call.withResult);
    } else if (call.id == 7 || call.id == 6 || call.id == 12 || call.id == 3 || call.id == 4) {
      EXPECT_EQ(call.flags, DISPATCH_METHOD) << call.id;
    }
    RecordProperty("call_" + std::to_string(call.id & 0xFFFF) + "_flags", call.flags);
  }
  for (const auto& lookup : bridge_->lookups) {
    EXPECT_FALSE(lookup.second & fdexNameCaseInsensitive) << "names are looked up case-sensitively";
  }
  const std::vector<std::string> expected = {"ZSSetInstallStatus: 2", "ZSSetChannel: beta",
                                             "ZSDisableWindowClose: -1", "ZSDownload: http://127.0.0.1:1/setup.zip",
                                             "ZSInstall: -lang en"};
  EXPECT_EQ(bridgetest::ScriptMethodLines(bridgetest::LogMessagesOf(logger_->path())), expected);
}

TEST_F(Script, WrongInvocationFormsSurfaceAsScriptErrors) {
  // getProperty as a statement arrives with flags 1 and is refused.
  EXPECT_TRUE(FAILED(Run(L"external.getProperty('osVersion');\n")));
  // A double where a whole number belongs, a string where a function belongs.
  EXPECT_TRUE(FAILED(Run(L"external.setWindowSize(647.5, 505);\n")));
  EXPECT_TRUE(FAILED(Run(L"external.download('http://x/', 'notAFunction');\n")));
  EXPECT_TRUE(FAILED(Run(L"external.setInstallStatus(5);\n")));
  EXPECT_TRUE(FAILED(Run(L"external.SetInstallStatus(1);\n"))) << "names are case-sensitive";
  EXPECT_EQ(info_.status, qrx::kEnvironmentNotMeet);
  const std::vector<HRESULT> expected = {DISP_E_MEMBERNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_TYPEMISMATCH,
                                         STG_E_INVALIDPARAMETER};
  std::vector<HRESULT> seen;
  for (const auto& call : bridge_->calls) seen.push_back(call.hr);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(site_->errors.size(), 5u);
  EXPECT_TRUE(bridgetest::LogMessagesOf(logger_->path()).empty());
}

TEST_F(Script, ExpandoMembersHoldFunctionsAndNumbers) {
  ASSERT_EQ(Run(L"external.counter = 0;\n"
                L"external.bump = function (n) { external.counter = external.counter + n; };\n"
                L"external.bump(5); external.bump(2);\n"
                L"external.number = 3;\n"
                L"delete external.number;\n"
                L"external.after = typeof external.number;\n"),
            S_OK);
  EXPECT_TRUE(site_->errors.empty());
  EXPECT_EQ(Expando(L"counter"), L"7");
  const std::wstring after = Expando(L"after");
  RecordProperty("typeof_after_delete", std::string(after.begin(), after.end()));
}

}  // namespace
