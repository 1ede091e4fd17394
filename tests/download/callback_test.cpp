// The per-attempt callback on its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <urlmon.h>

#include "common/com_ptr.h"
#include "download/download_callback.h"
#include "download/fixture.h"

namespace {

using downloadmanagercore::DownloadCallback;

TEST(DownloadCallback, AnswersOnlyItsOwnInterfacesAndCountsBackToZero) {
  dltest::TestOwner owner(L"", nullptr);
  auto* callback = new DownloadCallback(&owner);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(callback->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<IBindStatusCallback*>(callback));
  EXPECT_EQ(callback->QueryInterface(IID_IBindStatusCallback, &object), S_OK);
  EXPECT_EQ(callback->refCount(), 3);
  EXPECT_EQ(callback->QueryInterface(IID_IHttpNegotiate, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(callback->OnObjectAvailable(IID_IStream, nullptr), S_OK);
  EXPECT_EQ(callback->OnStopBinding(E_FAIL, nullptr), S_OK);
  EXPECT_EQ(callback->Release(), 2u);
  EXPECT_EQ(callback->Release(), 1u);
  EXPECT_EQ(callback->Release(), 0u);
}

TEST(DownloadCallback, TurnsProgressIntoCounters) {
  dltest::TestOwner owner(L"", nullptr);
  auto held = qrx::ComPtr<DownloadCallback>::Attach(new DownloadCallback(&owner));
  DownloadCallback& callback = *held.get();
  EXPECT_EQ(owner.Property(L"downloadTotal"), L"1");
  EXPECT_EQ(callback.OnProgress(0, 0, BINDSTATUS_FINDINGRESOURCE, L"x"), S_OK);
  EXPECT_EQ(callback.OnProgress(7, 9, BINDSTATUS_CONNECTING, nullptr), S_OK);
  EXPECT_EQ(owner.Property(L"downloadTotal"), L"1");
  EXPECT_EQ(owner.Property(L"downloadCurrent"), L"0");
  EXPECT_FALSE(callback.dataReceived());

  EXPECT_EQ(callback.OnProgress(0, 3000000000UL, BINDSTATUS_BEGINDOWNLOADDATA, nullptr), S_OK);
  EXPECT_EQ(owner.Property(L"downloadTotal"), L"-1294967296");
  EXPECT_FALSE(callback.dataReceived());  // the start of the data is not data
  EXPECT_EQ(callback.OnProgress(0, 0, BINDSTATUS_BEGINDOWNLOADDATA, nullptr), S_OK);
  EXPECT_EQ(owner.Property(L"downloadTotal"), L"0");

  EXPECT_EQ(callback.OnProgress(8192, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr), S_OK);
  EXPECT_TRUE(callback.dataReceived());
  EXPECT_EQ(owner.Property(L"downloadCurrent"), L"8192");
  EXPECT_EQ(callback.OnProgress(4294967291UL, 0, BINDSTATUS_ENDDOWNLOADDATA, nullptr), S_OK);
  EXPECT_EQ(owner.Property(L"downloadCurrent"), L"-5");
  EXPECT_EQ(owner.Property(L"downloadTotal"), L"0");
}

TEST(DownloadCallback, EndOfDataAloneCountsAsData) {
  dltest::TestOwner owner(L"", nullptr);
  auto held = qrx::ComPtr<DownloadCallback>::Attach(new DownloadCallback(&owner));
  DownloadCallback& callback = *held.get();
  callback.OnProgress(10, 10, BINDSTATUS_ENDDOWNLOADDATA, nullptr);
  EXPECT_TRUE(callback.dataReceived());
  EXPECT_EQ(owner.Property(L"downloadCurrent"), L"10");
}

TEST(DownloadCallback, LeavesTheBindInformationAlone) {
  dltest::TestOwner owner(L"", nullptr);
  auto held = qrx::ComPtr<DownloadCallback>::Attach(new DownloadCallback(&owner));
  DownloadCallback& callback = *held.get();
  DWORD flags = 0x1234;
  BINDINFO info = {};
  info.cbSize = sizeof(info);
  EXPECT_EQ(callback.GetBindInfo(&flags, &info), S_OK);
  EXPECT_EQ(flags, 0x1234u);
  EXPECT_EQ(info.cbSize, sizeof(info));
  EXPECT_EQ(info.dwBindVerb, 0u);
  LONG priority = 77;
  EXPECT_EQ(callback.GetPriority(&priority), S_OK);
  EXPECT_EQ(priority, 77);
}

}  // namespace
