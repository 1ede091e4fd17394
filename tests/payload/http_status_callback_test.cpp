// The licence download's callback on its own, with a binding double: the interfaces it answers,
// the binding reference it holds and drops, the abort, and counts back to zero.
#include <gtest/gtest.h>
#include <windows.h>
#include <urlmon.h>

#include "common/com_object.h"
#include "payload/http_status_callback.h"

namespace {

using qrx::HttpStatusCallback;

class TestBinding final : public qrx::ComObject<TestBinding, IBinding> {
 public:
  explicit TestBinding(int* destroyed) : destroyed_(destroyed) {}
  int aborts = 0;

  // IBinding:
  HRESULT STDMETHODCALLTYPE Abort() override {
    ++aborts;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPriority(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBindResult(CLSID*, DWORD*, LPOLESTR*, DWORD*) override { return E_NOTIMPL; }

 private:
  ~TestBinding() override { ++*destroyed_; }
  int* destroyed_;
};

TEST(HttpStatusCallback, AnswersItsTwoInterfacesAndCountsBackToZero) {
  auto* callback = new HttpStatusCallback();
  void* object = reinterpret_cast<void*>(1);
  ASSERT_EQ(callback->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<IUnknown*>(static_cast<IBindStatusCallback*>(callback)));
  ASSERT_EQ(callback->QueryInterface(IID_IBindStatusCallback, &object), S_OK);
  EXPECT_EQ(object, static_cast<IBindStatusCallback*>(callback));
  ASSERT_EQ(callback->QueryInterface(IID_IHttpNegotiate, &object), S_OK);
  EXPECT_EQ(object, static_cast<IHttpNegotiate*>(callback));
  EXPECT_EQ(callback->refCount(), 4);
  EXPECT_EQ(callback->QueryInterface(IID_IStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(callback->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(static_cast<IHttpNegotiate*>(callback)->Release(), 3u);
  EXPECT_EQ(callback->Release(), 2u);
  EXPECT_EQ(callback->Release(), 1u);
  EXPECT_EQ(callback->Release(), 0u);
}

TEST(HttpStatusCallback, HoldsTheBindingFromStartToStop) {
  int destroyed = 0;
  auto* binding = new TestBinding(&destroyed);
  auto* callback = new HttpStatusCallback();
  EXPECT_EQ(callback->OnStartBinding(0, binding), S_OK);
  EXPECT_EQ(binding->refCount(), 2);
  EXPECT_EQ(callback->OnStopBinding(S_OK, nullptr), S_OK);
  EXPECT_EQ(binding->refCount(), 1);
  // No binding any more: dropping again and aborting touch nothing.
  callback->DropBinding();
  callback->Abort();
  EXPECT_EQ(binding->aborts, 0);
  EXPECT_EQ(binding->refCount(), 1);
  EXPECT_EQ(callback->Release(), 0u);
  EXPECT_EQ(binding->Release(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST(HttpStatusCallback, ANewBindingReplacesTheOldOne) {
  int destroyed = 0;
  auto* first = new TestBinding(&destroyed);
  auto* second = new TestBinding(&destroyed);
  auto* callback = new HttpStatusCallback();
  callback->OnStartBinding(0, first);
  callback->OnStartBinding(0, second);
  EXPECT_EQ(first->refCount(), 1);
  EXPECT_EQ(second->refCount(), 2);
  // The callback's last release drops the binding it still held.
  EXPECT_EQ(callback->Release(), 0u);
  EXPECT_EQ(second->refCount(), 1);
  EXPECT_EQ(first->Release(), 0u);
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(destroyed, 2);
}

TEST(HttpStatusCallback, AbortStopsTheBindingAndEveryLaterCallback) {
  int destroyed = 0;
  auto* binding = new TestBinding(&destroyed);
  auto* callback = new HttpStatusCallback();
  ASSERT_EQ(callback->OnStartBinding(0, binding), S_OK);
  EXPECT_EQ(callback->OnProgress(1, 2, BINDSTATUS_DOWNLOADINGDATA, nullptr), S_OK);
  EXPECT_EQ(callback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION, 1, nullptr, nullptr), S_OK);
  EXPECT_FALSE(callback->timedOut());
  callback->Abort();
  EXPECT_TRUE(callback->timedOut());
  EXPECT_EQ(binding->aborts, 1);
  EXPECT_EQ(binding->refCount(), 2) << "still held until the binding stops";
  EXPECT_EQ(callback->OnProgress(1, 2, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);
  EXPECT_EQ(callback->OnDataAvailable(BSCF_LASTDATANOTIFICATION, 2, nullptr, nullptr), E_ABORT);
  EXPECT_EQ(callback->OnStartBinding(0, binding), E_ABORT);
  EXPECT_EQ(callback->OnStopBinding(E_ABORT, nullptr), S_OK);
  EXPECT_EQ(binding->refCount(), 1);
  EXPECT_EQ(callback->Release(), 0u);
  EXPECT_EQ(binding->Release(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST(HttpStatusCallback, RecordsTheStatusAndAddsNoHeaders) {
  auto* callback = new HttpStatusCallback();
  EXPECT_EQ(callback->status(), 0u);
  LPWSTR headers = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(callback->BeginningTransaction(L"http://127.0.0.2/", L"", 0, &headers), S_OK);
  EXPECT_EQ(headers, nullptr);
  headers = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(callback->OnResponse(404, L"HTTP/1.1 404 Not Found\r\n", nullptr, &headers), S_OK);
  EXPECT_EQ(headers, nullptr);
  EXPECT_EQ(callback->status(), 404u);
  EXPECT_EQ(callback->Release(), 0u);
}

TEST(HttpStatusCallback, CountsAsAnsweredFromTheFirstResponseOrData) {
  enum Event { kProgress, kResponse, kData };
  const struct {
    Event event;
    ULONG progress;
    bool answered;
  } rows[] = {
      {kProgress, BINDSTATUS_FINDINGRESOURCE, false},
      {kProgress, BINDSTATUS_CONNECTING, false},
      {kProgress, BINDSTATUS_SENDINGREQUEST, false},
      {kProgress, BINDSTATUS_BEGINDOWNLOADDATA, true},
      {kProgress, BINDSTATUS_DOWNLOADINGDATA, true},
      {kProgress, BINDSTATUS_ENDDOWNLOADDATA, true},
      {kResponse, 0, true},
      {kData, 0, true},
  };
  for (const auto& row : rows) {
    auto* callback = new HttpStatusCallback();
    EXPECT_FALSE(callback->answered());
    if (row.event == kProgress) {
      EXPECT_EQ(callback->OnProgress(0, 0, row.progress, nullptr), S_OK);
    } else if (row.event == kResponse) {
      EXPECT_EQ(callback->OnResponse(200, L"HTTP/1.1 200 OK\r\n", nullptr, nullptr), S_OK);
    } else {
      EXPECT_EQ(callback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION, 1, nullptr, nullptr), S_OK);
    }
    EXPECT_EQ(callback->answered(), row.answered) << row.event << " " << row.progress;
    EXPECT_EQ(callback->Release(), 0u);
  }
}

}  // namespace
