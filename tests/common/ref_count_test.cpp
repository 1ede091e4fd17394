#include <gtest/gtest.h>
#include <windows.h>
#include <dispex.h>
#include <objidl.h>

#include <vector>

#include "common/com_object.h"

namespace {

// Two interfaces through one object, one of them reached through its base as well.
class TwoFaces final : public qrx::ComObject<TwoFaces, IStream, IPersist> {
 public:
  explicit TwoFaces(int* destroyed) : destroyed_(destroyed) {}
  // IPersist:
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  // IStream (unused):
  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  ~TwoFaces() override { ++*destroyed_; }
  int* destroyed_;
};

// A dispatch object whose interface derives twice below IUnknown.
class Scriptable final : public qrx::ComObject<Scriptable, IDispatchEx> {
 public:
  explicit Scriptable(int* destroyed) : destroyed_(destroyed) {}
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDispID(BSTR, DWORD, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InvokeEx(DISPID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     IServiceProvider*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

 private:
  ~Scriptable() override { ++*destroyed_; }
  int* destroyed_;
};

struct QueryCase {
  const IID* iid;
  HRESULT expected;
  void* pointer;  // what the out-parameter must hold
};

// Every row is asked for, its answer checked and released; the count is back at 1 after each.
template <typename Object>
void CheckTable(Object* object, const std::vector<QueryCase>& rows) {
  for (const QueryCase& row : rows) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(*row.iid, &out), row.expected);
    EXPECT_EQ(out, row.pointer);
    if (out) {
      EXPECT_EQ(object->refCount(), 2);
      static_cast<IUnknown*>(out)->Release();
    }
    EXPECT_EQ(object->refCount(), 1);
  }
}

TEST(ComObject, QueryInterfaceTableAndCountsBackToZero) {
  int destroyed = 0;
  auto* object = new TwoFaces(&destroyed);
  EXPECT_EQ(object->refCount(), 1);
  CheckTable(object, {
                         {&IID_IUnknown, S_OK, static_cast<IUnknown*>(static_cast<IStream*>(object))},
                         {&IID_IStream, S_OK, static_cast<IStream*>(object)},
                         // reached through IStream's base
                         {&IID_ISequentialStream, S_OK, static_cast<ISequentialStream*>(object)},
                         // the second base has its own pointer
                         {&IID_IPersist, S_OK, static_cast<IPersist*>(object)},
                         {&IID_IDispatch, E_NOINTERFACE, nullptr},
                         {&IID_IPersistStream, E_NOINTERFACE, nullptr},
                     });
  EXPECT_NE(static_cast<void*>(static_cast<IPersist*>(object)), static_cast<void*>(static_cast<IStream*>(object)));
  EXPECT_EQ(object->QueryInterface(IID_IPersist, nullptr), E_POINTER);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(destroyed, 1);

  auto* scriptable = new Scriptable(&destroyed);
  CheckTable(scriptable, {
                             {&IID_IUnknown, S_OK, static_cast<IUnknown*>(scriptable)},
                             {&IID_IDispatchEx, S_OK, static_cast<IDispatchEx*>(scriptable)},
                             {&IID_IDispatch, S_OK, static_cast<IDispatch*>(scriptable)},
                             {&IID_IStream, E_NOINTERFACE, nullptr},
                         });
  EXPECT_EQ(scriptable->AddRef(), 2u);
  EXPECT_EQ(scriptable->Release(), 1u);
  EXPECT_EQ(scriptable->Release(), 0u);
  EXPECT_EQ(destroyed, 2);
}

DWORD WINAPI Hammer(void* param) {
  auto* object = static_cast<IUnknown*>(param);
  for (int i = 0; i < 100000; ++i) {
    object->AddRef();
    object->Release();
  }
  return 0;
}

TEST(ComObject, CountsFromSeveralThreadsStayExact) {
  int destroyed = 0;
  auto* object = new TwoFaces(&destroyed);
  HANDLE threads[4];
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, &Hammer, static_cast<IStream*>(object), 0, nullptr);
  ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(object->refCount(), 1);
  EXPECT_EQ(destroyed, 0);
  object->Release();
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
