#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>

#include "common/ref_count.h"

namespace {

// Two interfaces through one object, as our hand-written COM classes do.
class TwoFaces final : public IStream, public IPersist {
 public:
  explicit TwoFaces(int* destroyed) : destroyed_(destroyed) {}
  virtual ~TwoFaces() { ++*destroyed_; }
  // IUnknown:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return qrx::QueryInterfaceFor<IStream, ISequentialStream, IPersist>(this, riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Increment(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = refs_.Decrement();
    if (count == 0) delete this;
    return count;
  }
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

  LONG refs() const { return refs_.value(); }

 private:
  qrx::RefCount refs_;
  int* destroyed_;
};

TEST(RefCount, QueryInterfaceTableAndCountsBackToZero) {
  int destroyed = 0;
  auto* object = new TwoFaces(&destroyed);
  EXPECT_EQ(object->refs(), 1);

  void* out = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, static_cast<IUnknown*>(static_cast<IStream*>(object)));
  static_cast<IUnknown*>(out)->Release();
  ASSERT_EQ(object->QueryInterface(IID_ISequentialStream, &out), S_OK);
  EXPECT_EQ(out, static_cast<ISequentialStream*>(object));
  static_cast<IUnknown*>(out)->Release();
  ASSERT_EQ(object->QueryInterface(IID_IPersist, &out), S_OK);
  EXPECT_EQ(out, static_cast<IPersist*>(object));
  EXPECT_NE(out, static_cast<void*>(static_cast<IStream*>(object))) << "the second base has its own pointer";
  EXPECT_EQ(object->refs(), 2);
  static_cast<IPersist*>(out)->Release();

  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(object->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IPersist, nullptr), E_POINTER);
  EXPECT_EQ(object->refs(), 1);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(destroyed, 1);
}

DWORD WINAPI Hammer(void* param) {
  auto* count = static_cast<qrx::RefCount*>(param);
  for (int i = 0; i < 100000; ++i) {
    count->Increment();
    count->Decrement();
  }
  return 0;
}

TEST(RefCount, CountsFromSeveralThreadsStayExact) {
  qrx::RefCount count;
  HANDLE threads[4];
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, &Hammer, &count, 0, nullptr);
  ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(count.value(), 1);
}

}  // namespace
