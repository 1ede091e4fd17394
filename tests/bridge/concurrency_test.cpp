// Counters written by a worker thread while the UI thread polls them.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "bridge/bridge_support.h"
#include "common/unique_any.h"

namespace {

struct Writer {
  downloadmanagercore::HtmlExternal* bridge;
  HANDLE started;
  volatile LONG stop;
  LONG writes;
};

// Alternates values of very different lengths so a torn read would show.
DWORD WINAPI WriteCounters(void* param) {
  auto* writer = static_cast<Writer*>(param);
  SetEvent(writer->started);
  LONG i = 0;
  while (!writer->stop) {
    writer->bridge->SetDownloadCurrent((i & 1) ? 7u : 3000000000u);
    writer->bridge->SetDownloadTotal((i & 1) ? static_cast<ULONG>(-1) : 123456789u);
    ++i;
  }
  writer->writes = i;
  return 0;
}

TEST(PropertyConcurrency, ReaderSeesOnlyWholeValues) {
  bridgetest::TestBridge t;
  qrx::UniqueHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Writer writer = {t.bridge, started.get(), 0, 0};
  qrx::UniqueHandle thread(CreateThread(nullptr, 0, &WriteCounters, &writer, 0, nullptr));
  ASSERT_TRUE(thread.valid());
  ASSERT_EQ(WaitForSingleObject(started.get(), 5000), WAIT_OBJECT_0);

  const std::set<std::wstring> current = {L"0", L"7", L"-1294967296"};
  const std::set<std::wstring> total = {L"1", L"-1", L"123456789"};
  std::set<std::wstring> seen;
  int bad = 0;
  qrx::UniqueBstr key(SysAllocString(L"downloadCurrent"));
  for (int i = 0; i < 1000000; ++i) {
    if (i % 2 == 0) {
      // Half through the script method, as a page reads it.
      VARIANT arg;
      VariantInit(&arg);
      arg.vt = VT_BSTR;
      arg.bstrVal = key.get();
      DISPPARAMS params = {&arg, nullptr, 1, 0};
      qrx::UniqueVariant result;
      ASSERT_EQ(t.bridge->Invoke(5, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result.get(),
                                 nullptr, nullptr),
                S_OK);
      const std::wstring value(result.get()->bstrVal, SysStringLen(result.get()->bstrVal));
      if (!current.count(value)) ++bad;
      if (seen.size() < 8) seen.insert(value);
    } else {
      const std::wstring value = t.bridge->GetPropertyValue(L"downloadTotal");
      if (!total.count(value)) ++bad;
    }
  }
  writer.stop = 1;
  ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(bad, 0);
  EXPECT_GT(writer.writes, 0);
  EXPECT_GE(seen.size(), 2u) << "the reader saw the writer's values change";
  RecordProperty("writes", static_cast<int>(writer.writes));
}

}  // namespace
