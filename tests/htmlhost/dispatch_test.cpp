// The IDispatchEx layer of window.external: name lookup, routing, expando members, results.
#include <gtest/gtest.h>
#include <windows.h>
#include <dispex.h>

#include <string>
#include <vector>

#include "common/com_ptr.h"
#include "common/extra_guids.h"
#include "common/unique_any.h"
#include "htmlhost/mshtml_external.h"

namespace {

using htmlui::MSHTMLExternal;
using qrx::UniqueBstr;
using qrx::UniqueVariant;

constexpr DISPID kMember0 = static_cast<DISPID>(0x80000000u);

// A small method table: calls are recorded.
class TestExternal : public MSHTMLExternal {
 public:
  TestExternal(int* destroyed) : destroyed_(destroyed) {}
  ~TestExternal() override {
    if (destroyed_) ++*destroyed_;
  }
  void OnDocumentReady(htmlui::MSHTMLClient*) override {}
  void OnNavigationRefused(const wchar_t*) override {}
  ULONG GetMethodTable(const MethodEntry** table) override {
    static const MethodEntry kTable[] = {
        {L"download", static_cast<Handler>(&TestExternal::First)},
        {L"getProperty", static_cast<Handler>(&TestExternal::Second)},
    };
    *table = kTable;
    return 2;
  }
  HRESULT First(WORD flags, DISPPARAMS* params, VARIANT*) {
    calls.push_back({1, flags, params->cArgs});
    return S_OK;
  }
  HRESULT Second(WORD flags, DISPPARAMS* params, VARIANT* result) {
    calls.push_back({2, flags, params->cArgs});
    if (result) {
      result->vt = VT_I4;
      result->lVal = 42;
    }
    return S_FALSE;  // distinct, so the test sees the handler's own result come back
  }
  struct Call {
    int method;
    WORD flags;
    UINT args;
  };
  std::vector<Call> calls;

 private:
  int* destroyed_;
};

// A callable object: counts calls through IDispatch (and optionally IDispatchEx).
class Callable : public IDispatchEx {
 public:
  explicit Callable(bool withEx) : withEx_(withEx) {}
  // IUnknown:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        (withEx_ && IsEqualIID(riid, IID_IDispatchEx))) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  // IDispatch:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    ++invokes;
    lastId = id;
    lastFlags = flags;
    lastArgs = params ? params->cArgs : 99;
    return S_OK;
  }
  // IDispatchEx:
  HRESULT STDMETHODCALLTYPE GetDispID(BSTR, DWORD, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     IServiceProvider*) override {
    ++invokeExs;
    lastId = id;
    lastFlags = flags;
    lastArgs = params ? params->cArgs : 99;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

  LONG refs = 1;
  int invokes = 0;
  int invokeExs = 0;
  DISPID lastId = 12345;
  WORD lastFlags = 0;
  UINT lastArgs = 0;

 private:
  bool withEx_;
};

class Dispatch : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(object_->Release(), 0u);
    EXPECT_EQ(destroyed_, 1);
  }
  HRESULT GetDispID(const wchar_t* name, DWORD grfdex, DISPID* id) {
    UniqueBstr bstr(SysAllocString(name));
    return object_->GetDispID(bstr.get(), grfdex, id);
  }
  DISPID Ensure(const wchar_t* name) {
    DISPID id = 0;
    EXPECT_EQ(GetDispID(name, fdexNameEnsure | fdexNameCaseSensitive, &id), S_OK);
    return id;
  }
  HRESULT Put(DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    return object_->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
  }
  HRESULT Get(DISPID id, VARIANT* result, WORD flags = DISPATCH_PROPERTYGET) {
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    return object_->InvokeEx(id, 0, flags, &params, result, nullptr, nullptr);
  }
  static VARIANT Int(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }

  int destroyed_ = 0;
  TestExternal* object_ = new TestExternal(&destroyed_);
};

TEST_F(Dispatch, QueryInterfaceAnswersTheThreeDispatchInterfaces) {
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IDispatchEx}) {
    void* out = nullptr;
    ASSERT_EQ(object_->QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDispatchEx*>(object_));
    EXPECT_EQ(object_->refCount(), 2);
    object_->Release();
  }
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(object_->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object_->AddRef(), 2u);
  EXPECT_EQ(object_->Release(), 1u);
}

TEST_F(Dispatch, TypeInformationAndEnumerationAreNotImplemented) {
  UINT count = 7;
  EXPECT_EQ(object_->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(object_->GetTypeInfo(0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(object_->GetMemberProperties(1, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(object_->GetMemberName(1, nullptr), E_NOTIMPL);
  EXPECT_EQ(object_->GetNextDispID(0, DISPID_STARTENUM, nullptr), E_NOTIMPL);
  EXPECT_EQ(object_->GetNameSpaceParent(nullptr), E_NOTIMPL);
}

TEST_F(Dispatch, GetIDsOfNamesFindsMethodsExactlyAndReportsPartialFailures) {
  struct Case {
    std::vector<const wchar_t*> names;
    std::vector<DISPID> ids;
    HRESULT hr;
  };
  const Case cases[] = {
      {{L"download"}, {1}, S_OK},
      {{L"getProperty"}, {2}, S_OK},
      {{L"Download"}, {DISPID_UNKNOWN}, DISP_E_UNKNOWNNAME},
      {{L"download", L"nothing", L"getProperty"}, {1, DISPID_UNKNOWN, 2}, DISP_E_UNKNOWNNAME},
      {{L""}, {DISPID_UNKNOWN}, DISP_E_UNKNOWNNAME},
  };
  // An expando member is not found by GetIDsOfNames.
  Ensure(L"custom");
  for (const Case& c : cases) {
    std::vector<LPOLESTR> names;
    for (const wchar_t* n : c.names) names.push_back(const_cast<LPOLESTR>(n));
    std::vector<DISPID> ids(names.size(), 777);
    EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data()), c.hr);
    EXPECT_EQ(ids, c.ids) << c.names[0];
  }
  LPOLESTR custom = const_cast<LPOLESTR>(L"custom");
  DISPID id = 0;
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, &custom, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(Dispatch, GetDispIDCaseRulesAndFlags) {
  struct Case {
    const wchar_t* name;
    DWORD grfdex;
    DISPID id;
    HRESULT hr;
  };
  const Case cases[] = {
      {L"download", 0, 1, S_OK},
      {L"download", fdexNameCaseSensitive, 1, S_OK},
      {L"Download", 0, DISPID_UNKNOWN, DISP_E_UNKNOWNNAME},
      {L"Download", fdexNameCaseInsensitive, 1, S_OK},
      {L"GETPROPERTY", fdexNameCaseInsensitive, 2, S_OK},
      // Only A-Z fold: a non-ASCII letter stays distinct.
      {L"downloAd\u00c9", fdexNameCaseInsensitive, DISPID_UNKNOWN, DISP_E_UNKNOWNNAME},
      {L"unknown", fdexNameCaseSensitive, DISPID_UNKNOWN, DISP_E_UNKNOWNNAME},
      // Methods are found even when expando members are excluded.
      {L"download", fdexNameImplicit, 1, S_OK},
  };
  for (const Case& c : cases) {
    DISPID id = 777;
    EXPECT_EQ(GetDispID(c.name, c.grfdex, &id), c.hr) << c.name;
    EXPECT_EQ(id, c.id) << c.name;
  }
  EXPECT_EQ(object_->memberCount(), 0u);
}

TEST_F(Dispatch, InvokeRoutesByDispIdAndRejectsTheRest) {
  struct Case {
    DISPID id;
    const IID* iid;
    HRESULT hr;
    int method;
  };
  const Case cases[] = {
      {1, &IID_NULL, S_OK, 1},
      {2, &IID_NULL, S_FALSE, 2},
      {0, &IID_NULL, DISP_E_MEMBERNOTFOUND, 0},
      {3, &IID_NULL, DISP_E_MEMBERNOTFOUND, 0},
      {-1, &IID_NULL, DISP_E_MEMBERNOTFOUND, 0},
      {static_cast<DISPID>(0x80000000u), &IID_NULL, DISP_E_MEMBERNOTFOUND, 0},
      {1, &IID_IDispatch, DISP_E_UNKNOWNINTERFACE, 0},
  };
  for (const Case& c : cases) {
    object_->calls.clear();
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    UniqueVariant result;
    EXPECT_EQ(object_->Invoke(c.id, *c.iid, 0, DISPATCH_METHOD, &params, result.get(), nullptr, nullptr), c.hr)
        << c.id;
    if (c.method) {
      ASSERT_EQ(object_->calls.size(), 1u);
      EXPECT_EQ(object_->calls[0].method, c.method);
      EXPECT_EQ(object_->calls[0].flags, DISPATCH_METHOD);
    } else {
      EXPECT_TRUE(object_->calls.empty());
    }
  }
}

TEST_F(Dispatch, InvokeExPassesMethodCallsAndFlagsThrough) {
  VARIANT arg = Int(5);
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  UniqueVariant result;
  EXPECT_EQ(object_->InvokeEx(2, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result.get(), nullptr, nullptr),
            S_FALSE);
  ASSERT_EQ(object_->calls.size(), 1u);
  EXPECT_EQ(object_->calls[0].flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  EXPECT_EQ(object_->calls[0].args, 1u);
  EXPECT_EQ(result.get()->vt, VT_I4);
  EXPECT_EQ(result.get()->lVal, 42);
  // Null DISPPARAMS reach the handler as an empty argument list.
  EXPECT_EQ(object_->InvokeEx(1, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(object_->calls.back().args, 0u);
}

TEST_F(Dispatch, ExpandoPropertyRoundTrips) {
  const DISPID id = Ensure(L"answer");
  EXPECT_EQ(id, kMember0);
  // A fresh member reads as empty.
  UniqueVariant empty;
  EXPECT_EQ(Get(id, empty.put()), S_OK);
  EXPECT_EQ(empty.get()->vt, VT_EMPTY);

  UniqueVariant text;
  text.get()->vt = VT_BSTR;
  text.get()->bstrVal = SysAllocString(L"forty-two");
  EXPECT_EQ(Put(id, *text.get()), S_OK);
  UniqueVariant back;
  EXPECT_EQ(Get(id, back.put()), S_OK);
  ASSERT_EQ(back.get()->vt, VT_BSTR);
  EXPECT_STREQ(back.get()->bstrVal, L"forty-two");
  EXPECT_NE(back.get()->bstrVal, text.get()->bstrVal) << "a copy, not the caller's string";

  // Overwrite; flags 3 on a member read the value.
  EXPECT_EQ(Put(id, Int(7)), S_OK);
  UniqueVariant seven;
  EXPECT_EQ(Get(id, seven.put(), DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(seven.get()->vt, VT_I4);
  EXPECT_EQ(seven.get()->lVal, 7);

  // The same name finds the same member, case-insensitively when asked.
  DISPID again = 0;
  EXPECT_EQ(GetDispID(L"ANSWER", fdexNameCaseInsensitive, &again), S_OK);
  EXPECT_EQ(again, id);
  EXPECT_EQ(GetDispID(L"ANSWER", fdexNameCaseSensitive, &again), DISP_E_UNKNOWNNAME);
  // fdexNameImplicit skips members: with ensure it appends a second one.
  EXPECT_EQ(GetDispID(L"answer", fdexNameImplicit | fdexNameEnsure, &again), S_OK);
  EXPECT_EQ(again, kMember0 | 1);
}

TEST_F(Dispatch, PropertyCallsCheckTheirArguments) {
  const DISPID id = Ensure(L"x");
  VARIANT args[2] = {Int(1), Int(2)};
  DISPID named[2] = {DISPID_PROPERTYPUT, 5};
  struct Case {
    WORD flags;
    UINT cArgs;
    UINT cNamed;
    DISPID firstNamed;
    HRESULT hr;
  };
  const Case cases[] = {
      {DISPATCH_PROPERTYGET, 1, 0, 0, DISP_E_BADPARAMCOUNT},
      {DISPATCH_PROPERTYGET, 0, 1, DISPID_PROPERTYPUT, DISP_E_BADPARAMCOUNT},
      {DISPATCH_PROPERTYPUT, 0, 0, 0, DISP_E_BADPARAMCOUNT},
      {DISPATCH_PROPERTYPUT, 2, 1, DISPID_PROPERTYPUT, DISP_E_BADPARAMCOUNT},
      {DISPATCH_PROPERTYPUT, 1, 0, 0, DISP_E_PARAMNOTFOUND},
      {DISPATCH_PROPERTYPUT, 1, 1, 5, DISP_E_PARAMNOTFOUND},
      {DISPATCH_PROPERTYPUT, 1, 2, DISPID_PROPERTYPUT, DISP_E_PARAMNOTFOUND},
      {DISPATCH_PROPERTYPUTREF, 1, 1, DISPID_PROPERTYPUT, S_OK},
      {0, 0, 0, 0, E_NOTIMPL},
      {DISPATCH_METHOD | DISPATCH_PROPERTYPUT, 1, 1, DISPID_PROPERTYPUT, S_OK},
  };
  for (const Case& c : cases) {
    named[0] = c.firstNamed;
    DISPPARAMS params = {args, named, c.cArgs, c.cNamed};
    UniqueVariant result;
    EXPECT_EQ(object_->InvokeEx(id, 0, c.flags, &params, result.get(), nullptr, nullptr), c.hr)
        << c.flags << " " << c.cArgs << " " << c.cNamed;
  }
  // Member DISPIDs past the end are unknown names.
  UniqueVariant result;
  EXPECT_EQ(Get(kMember0 | 1, result.put()), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(Get(static_cast<DISPID>(0xFFFFFFFFu), result.put()), DISP_E_UNKNOWNNAME);
}

TEST_F(Dispatch, ByReferenceValueIsStoredByValue) {
  const DISPID id = Ensure(L"ref");
  LONG cell = 31;
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_I4 | VT_BYREF;
  byRef.plVal = &cell;
  EXPECT_EQ(Put(id, byRef), S_OK);
  cell = 99;
  UniqueVariant back;
  EXPECT_EQ(Get(id, back.put()), S_OK);
  EXPECT_EQ(back.get()->vt, VT_I4);
  EXPECT_EQ(back.get()->lVal, 31);
}

TEST_F(Dispatch, ThirtyThirdMemberGrowsTheArrayAgain) {
  for (int i = 0; i < 40; ++i) {
    const std::wstring name = L"m" + std::to_wstring(i);
    EXPECT_EQ(Ensure(name.c_str()), kMember0 | i);
    EXPECT_EQ(Put(kMember0 | i, Int(i * 10)), S_OK);
  }
  EXPECT_EQ(object_->memberCount(), 40u);
  for (int i : {0, 31, 32, 39}) {
    UniqueVariant value;
    EXPECT_EQ(Get(kMember0 | i, value.put()), S_OK);
    EXPECT_EQ(value.get()->lVal, i * 10);
    DISPID id = 0;
    const std::wstring name = L"m" + std::to_wstring(i);
    UniqueBstr bstr(SysAllocString(name.c_str()));
    EXPECT_EQ(object_->GetDispID(bstr.get(), 0, &id), S_OK);
    EXPECT_EQ(id, kMember0 | i);
  }
}

TEST_F(Dispatch, DeletedMemberIsUnknownUntilRevivedUnderItsOldDispId) {
  const DISPID first = Ensure(L"first");
  const DISPID gone = Ensure(L"gone");
  EXPECT_EQ(Put(gone, Int(5)), S_OK);
  UniqueBstr name(SysAllocString(L"gone"));
  EXPECT_EQ(object_->DeleteMemberByName(name.get(), fdexNameCaseSensitive), S_OK);

  UniqueVariant value;
  EXPECT_TRUE(FAILED(Get(gone, value.put())));
  DISPID id = 777;
  EXPECT_EQ(GetDispID(L"gone", 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(GetDispID(L"gone", fdexNameEnsure, &id), S_OK);
  EXPECT_EQ(id, gone);
  UniqueVariant revived;
  EXPECT_EQ(Get(gone, revived.put()), S_OK);
  EXPECT_EQ(revived.get()->vt, VT_EMPTY);
  EXPECT_EQ(object_->memberCount(), 2u);

  // By DISPID: methods are not deleted, out-of-range members are quietly accepted.
  EXPECT_EQ(object_->DeleteMemberByDispID(1), S_FALSE);
  EXPECT_EQ(object_->DeleteMemberByDispID(kMember0 | 9), S_OK);
  EXPECT_EQ(object_->DeleteMemberByDispID(first), S_OK);
  EXPECT_EQ(GetDispID(L"first", 0, &id), DISP_E_UNKNOWNNAME);
  UniqueBstr method(SysAllocString(L"download"));
  EXPECT_EQ(object_->DeleteMemberByName(method.get(), 0), S_FALSE);
  UniqueBstr missing(SysAllocString(L"missing"));
  EXPECT_EQ(object_->DeleteMemberByName(missing.get(), 0), S_OK);
  EXPECT_EQ(object_->memberCount(), 2u);
}

TEST_F(Dispatch, MethodCallOnMemberCallsAStoredObject) {
  for (bool withEx : {true, false}) {
    Callable callable(withEx);
    const DISPID id = Ensure(withEx ? L"fnEx" : L"fn");
    VARIANT stored;
    VariantInit(&stored);
    stored.vt = VT_DISPATCH;
    stored.pdispVal = &callable;
    EXPECT_EQ(Put(id, stored), S_OK);
    EXPECT_EQ(callable.refs, 2) << "the member holds a reference";

    VARIANT arg = Int(3);
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXPECT_EQ(object_->InvokeEx(id, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(callable.invokeExs, withEx ? 1 : 0);
    EXPECT_EQ(callable.invokes, withEx ? 0 : 1);
    EXPECT_EQ(callable.lastId, DISPID_VALUE);
    EXPECT_EQ(callable.lastFlags, DISPATCH_METHOD);
    EXPECT_EQ(callable.lastArgs, 1u);
    EXPECT_EQ(object_->DeleteMemberByDispID(id), S_OK);
    EXPECT_EQ(callable.refs, 1) << "deleting the member drops its reference";
  }
}

TEST_F(Dispatch, MethodCallOnANumberDoesNothing) {
  const DISPID id = Ensure(L"number");
  EXPECT_EQ(Put(id, Int(12)), S_OK);
  UniqueVariant result;
  result.get()->vt = VT_I2;
  result.get()->iVal = 77;
  DISPPARAMS params = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(object_->InvokeEx(id, 0, DISPATCH_METHOD, &params, result.get(), nullptr, nullptr), S_OK);
  EXPECT_EQ(result.get()->vt, VT_I2);
  EXPECT_EQ(result.get()->iVal, 77);
}

TEST(DispatchLifetime, ReleaseOfLastReferenceFreesMembersAndTheirObjects) {
  int destroyed = 0;
  Callable callable(false);
  auto* object = new TestExternal(&destroyed);
  UniqueBstr name(SysAllocString(L"keep"));
  DISPID id = 0;
  ASSERT_EQ(object->GetDispID(name.get(), fdexNameEnsure, &id), S_OK);
  VARIANT stored;
  VariantInit(&stored);
  stored.vt = VT_DISPATCH;
  stored.pdispVal = &callable;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&stored, &named, 1, 1};
  ASSERT_EQ(object->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK);
  qrx::ComPtr<IDispatchEx> extra(object);
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_EQ(destroyed, 0);
  extra.Reset();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(callable.refs, 1);
}

}  // namespace
