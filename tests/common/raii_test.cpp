#include <gtest/gtest.h>
#include <windows.h>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "common/scope_guard.h"
#include "common/unique_any.h"

// GCC cannot see that the counts below stay above zero and warns about every later read.
#pragma GCC diagnostic ignored "-Wuse-after-free"

namespace {

// A COM object that counts its references and its deletion.
class CountingObject : public IUnknown {
 public:
  explicit CountingObject(int* deleted) : deleted_(deleted) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --refs_;
    if (refs == 0) {
      int* deleted = deleted_;
      delete this;
      ++*deleted;
    }
    return refs;
  }
  ULONG refs() const { return refs_; }

 private:
  virtual ~CountingObject() = default;
  ULONG refs_ = 1;
  int* deleted_;
};

TEST(ComPtr, AttachAdoptsWithoutAddingAReference) {
  int deleted = 0;
  auto* object = new CountingObject(&deleted);
  {
    auto ptr = qrx::ComPtr<CountingObject>::Attach(object);
    EXPECT_EQ(object->refs(), 1u);
  }
  EXPECT_EQ(deleted, 1);
}

TEST(ComPtr, MoveTransfersAndCopyShares) {
  int deleted = 0;
  auto first = qrx::ComPtr<CountingObject>::Attach(new CountingObject(&deleted));
  CountingObject* raw = first.get();
  {
    qrx::ComPtr<CountingObject> copy = first;
    EXPECT_EQ(raw->refs(), 2u);
    qrx::ComPtr<CountingObject> moved;
    moved = std::move(copy);
    EXPECT_EQ(raw->refs(), 2u);
    EXPECT_FALSE(copy);
    moved = moved;  // self-assignment keeps the reference
    EXPECT_EQ(raw->refs(), 2u);
  }
  EXPECT_EQ(raw->refs(), 1u);
  qrx::ComPtr<IUnknown> unknown;
  ASSERT_EQ(first.As(&unknown), S_OK);
  EXPECT_EQ(raw->refs(), 2u);
  unknown.Reset();
  first.Reset();
  EXPECT_EQ(deleted, 1);
}

TEST(ComPtr, PutReleasesThePreviousPointer) {
  int deleted = 0;
  auto ptr = qrx::ComPtr<CountingObject>::Attach(new CountingObject(&deleted));
  CountingObject** slot = ptr.put();
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(*slot, nullptr);
}

TEST(UniqueAny, ClosesOnceAndKeepsTheLastError) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  {
    qrx::UniqueHandle owned(event);
    qrx::UniqueHandle moved(std::move(owned));
    EXPECT_FALSE(owned.valid());
    EXPECT_EQ(moved.get(), event);
    SetLastError(ERROR_FILE_NOT_FOUND);
    moved.Reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(event, &flags));  // closed
}

TEST(UniqueAny, ReleaseHandsOverOwnership) {
  qrx::UniqueHandle owned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE raw = owned.release();
  EXPECT_FALSE(owned.valid());
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(raw, &flags));
  CloseHandle(raw);
}

TEST(UniqueAny, FileHandleTreatsInvalidHandleValueAsEmpty) {
  qrx::UniqueFile file(CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file.valid());
  EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
}

TEST(UniqueAny, BstrAndVariantAreFreed) {
  qrx::UniqueBstr text(SysAllocString(L"hello"));
  EXPECT_EQ(SysStringLen(text.get()), 5u);
  qrx::UniqueVariant value;
  value.get()->vt = VT_BSTR;
  value.get()->bstrVal = SysAllocString(L"x");
  VARIANT* slot = value.put();
  EXPECT_EQ(slot->vt, VT_EMPTY);
}

TEST(ScopeGuard, RunsUnlessReleased) {
  int runs = 0;
  {
    auto guard = qrx::MakeScopeGuard([&] { ++runs; });
  }
  EXPECT_EQ(runs, 1);
  {
    auto guard = qrx::MakeScopeGuard([&] { ++runs; });
    guard.release();
  }
  EXPECT_EQ(runs, 1);
}

TEST(HResult, Win32ErrorsMapToFacilityWin32) {
  EXPECT_EQ(qrx::HResultFromWin32(ERROR_DISK_FULL), static_cast<HRESULT>(0x80070070));
  EXPECT_EQ(qrx::HResultFromWin32(0), S_OK);
  EXPECT_EQ(qrx::HResultFromWin32(0x80004005), static_cast<HRESULT>(0x80004005));
  SetLastError(NO_ERROR);
  EXPECT_EQ(qrx::HResultFromLastError(), E_FAIL);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(qrx::HResultFromLastError(), static_cast<HRESULT>(0x80070005));
}

}  // namespace
