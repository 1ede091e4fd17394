#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "support/test_support.h"

namespace {

using qrxtest::GetEnv;
using qrxtest::ReadFileBytes;
using qrxtest::WriteFileBytes;

std::wstring StoreFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return std::wstring(path) + L"\\UniqueId";
}

// Every test starts without a store and leaves none behind.
class Store : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteFileW((StoreFolder() + L"\\data").c_str());
    RemoveDirectoryW(StoreFolder().c_str());
  }
  static std::wstring DataPath() { return StoreFolder() + L"\\data"; }
};

bool AlwaysVirtual(bool& isVirtual) {
  isVirtual = true;
  return true;
}
// Real store and GUIDs on a machine that reports itself virtual.
const qrx::MachineIdSources kVirtualWithRealStore = {AlwaysVirtual, qrx::CollectMacAddresses, qrx::LoadStoredId,
                                                     qrx::SaveStoredId, qrx::NewGuidText};

TEST_F(Store, SavedIdReadsBackAndIsNotPlainText) {
  const std::wstring id = L"V-01234567-89AB-CDEF-0123-456789ABCDEF";
  ASSERT_TRUE(qrx::SaveStoredId(id));
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  EXPECT_EQ(path, DataPath());
  const std::string bytes = ReadFileBytes(path);
  EXPECT_GT(bytes.size(), 76u);
  EXPECT_EQ(bytes.find(std::string("V\0-\0", 4)), std::string::npos);
  std::wstring loaded;
  ASSERT_TRUE(qrx::LoadStoredId(loaded));
  EXPECT_EQ(loaded, id);
}

TEST_F(Store, UnreadableStoreFailsToLoad) {
  std::wstring loaded;
  EXPECT_FALSE(qrx::LoadStoredId(loaded)) << "no file";
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  ASSERT_TRUE(WriteFileBytes(path, ""));
  EXPECT_FALSE(qrx::LoadStoredId(loaded)) << "empty file";
  ASSERT_TRUE(WriteFileBytes(path, std::string(300, 'z')));
  EXPECT_FALSE(qrx::LoadStoredId(loaded)) << "not protected data";
  ASSERT_TRUE(WriteFileBytes(path, std::string(200 * 1024, '\x01')));
  EXPECT_FALSE(qrx::LoadStoredId(loaded)) << "far too large";
}

TEST_F(Store, UndecryptableOrShortStoreIsReplaced) {
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  for (int round = 0; round < 2; ++round) {
    if (round == 0) {
      ASSERT_TRUE(WriteFileBytes(path, std::string(230, 'q')));
    } else {
      ASSERT_TRUE(qrx::SaveStoredId(L"V-0123"));
    }
    std::wstring cache;
    std::wstring id;
    ASSERT_TRUE(qrx::ResolveMachineIdFrom(kVirtualWithRealStore, cache, id));
    ASSERT_EQ(id.size(), 38u);
    EXPECT_EQ(id.substr(0, 2), L"V-");
    std::wstring stored;
    ASSERT_TRUE(qrx::LoadStoredId(stored));
    EXPECT_EQ(stored, id);
  }
}

TEST_F(Store, StoredIdIsUsedByTheSystemResolution) {
  const std::wstring id = L"P-ZZZZZZZZ-zzzz-ZZZZ-zzzz-ZZZZZZZZZZZZ";
  ASSERT_TRUE(qrx::SaveStoredId(id));
  CoInitialize(nullptr);
  std::wstring cache;
  std::wstring resolved;
  EXPECT_TRUE(qrx::ResolveMachineIdFrom(qrx::kSystemMachineIdSources, cache, resolved));
  CoUninitialize();
  EXPECT_EQ(resolved, id);
}

TEST_F(Store, WineWithoutAdaptersOrStoreGetsThePlaceholder) {
  CoInitialize(nullptr);
  bool isVirtual = true;
  const bool answered = qrx::DetectVirtualMachine(isVirtual);
  std::vector<std::wstring> addresses;
  const bool found = qrx::CollectMacAddresses(addresses);
  CoUninitialize();
  // Measured under Wine: WMI answers with model "Wine"; SetupAPI lists no NDIS adapter.
  EXPECT_TRUE(answered);
  EXPECT_FALSE(isVirtual);
  EXPECT_FALSE(found);
  EXPECT_TRUE(addresses.empty());
  // No resolution has succeeded in this process, so nothing is cached.
  EXPECT_EQ(qrx::GetMachineId(), L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX");
  EXPECT_EQ(GetFileAttributesW(DataPath().c_str()), INVALID_FILE_ATTRIBUTES) << "a placeholder is never stored";
}

TEST_F(Store, ExclusiveOpenWaitsForTheHolder) {
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  qrx::UniqueHandle holding(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  qrx::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    qrx::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    SetEvent(holding.get());
    WaitForSingleObject(release.get(), 10000);
    Sleep(200);
  });
  ASSERT_EQ(WaitForSingleObject(holding.get(), 5000), WAIT_OBJECT_0);
  SetEvent(release.get());
  const DWORD start = GetTickCount();
  qrx::UniqueFile opened = qrx::OpenWithRetry(path, GENERIC_READ, OPEN_EXISTING);
  const DWORD elapsed = GetTickCount() - start;
  holder.join();
  EXPECT_TRUE(opened.valid());
  EXPECT_GE(elapsed, 100u);
  EXPECT_LT(elapsed, 3000u);
}

TEST_F(Store, ExclusiveOpenGivesUpAfterThreeSeconds) {
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  qrx::UniqueFile held(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  const DWORD start = GetTickCount();
  qrx::UniqueFile opened = qrx::OpenWithRetry(path, GENERIC_READ, OPEN_EXISTING);
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_FALSE(opened.valid());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_GE(elapsed, 2990u);
  EXPECT_LT(elapsed, 4500u);
  // Other failures are not retried.
  const DWORD missingStart = GetTickCount();
  EXPECT_FALSE(qrx::OpenWithRetry(path + L".missing", GENERIC_READ, OPEN_EXISTING).valid());
  EXPECT_LT(GetTickCount() - missingStart, 500u);
}

// Starts a process with extra environment variables without waiting for it.
qrx::UniqueHandle StartChild(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& env) {
  std::vector<std::unique_ptr<qrxtest::ScopedEnv>> scoped;
  for (const auto& entry : env) scoped.emplace_back(new qrxtest::ScopedEnv(entry.first, entry.second));
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return qrx::UniqueHandle();
  }
  CloseHandle(process.hThread);
  return qrx::UniqueHandle(process.hProcess);
}

// Run as a child by the test below: waits for the start signal, resolves, writes the id.
TEST(StoreChild, ResolveAtSignal) {
  const std::wstring out = GetEnv(L"QRX_CHILD_OUT");
  const std::wstring go = GetEnv(L"QRX_CHILD_GO");
  const std::wstring ready = GetEnv(L"QRX_CHILD_READY");
  if (out.empty() || go.empty() || ready.empty()) GTEST_SKIP() << "runs only as a child";
  qrx::UniqueHandle event(OpenEventW(SYNCHRONIZE, FALSE, go.c_str()));
  qrx::UniqueHandle readyEvent(OpenEventW(EVENT_MODIFY_STATE, FALSE, ready.c_str()));
  ASSERT_TRUE(event.valid());
  ASSERT_TRUE(readyEvent.valid());
  SetEvent(readyEvent.get());
  ASSERT_EQ(WaitForSingleObject(event.get(), 30000), WAIT_OBJECT_0);
  std::wstring cache;
  std::wstring id;
  ASSERT_TRUE(qrx::ResolveMachineIdFrom(kVirtualWithRealStore, cache, id));
  ASSERT_TRUE(WriteFileBytes(out, std::string(reinterpret_cast<const char*>(id.data()), id.size() * 2)));
}

TEST_F(Store, TwoProcessesResolvingAtOnceAgree) {
  qrxtest::TempDir dir;
  const std::wstring go = L"QRXTestStoreGo-" + std::to_wstring(GetCurrentProcessId());
  qrx::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, go.c_str()));
  ASSERT_TRUE(event.valid());
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring command = std::wstring(L"\"") + self + L"\" --gtest_filter=StoreChild.ResolveAtSignal";
  qrx::UniqueHandle children[2];
  qrx::UniqueHandle ready[2];
  HANDLE readyHandles[2];
  HANDLE childHandles[2];
  for (int i = 0; i < 2; ++i) {
    const std::wstring readyName = go + L"-ready" + std::to_wstring(i);
    ready[i].Reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    readyHandles[i] = ready[i].get();
    children[i] = StartChild(command, {{L"QRX_CHILD_OUT", dir.Join(L"id" + std::to_wstring(i))},
                                       {L"QRX_CHILD_GO", go},
                                       {L"QRX_CHILD_READY", readyName}});
    ASSERT_TRUE(children[i].valid());
    childHandles[i] = children[i].get();
  }
  // Both children wait at the start line, then resolve together.
  EXPECT_EQ(WaitForMultipleObjects(2, readyHandles, TRUE, 30000), WAIT_OBJECT_0);
  SetEvent(event.get());
  ASSERT_EQ(WaitForMultipleObjects(2, childHandles, TRUE, 60000), WAIT_OBJECT_0);
  for (const auto& child : children) {
    DWORD exitCode = 1;
    GetExitCodeProcess(child.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
  }
  const std::string first = ReadFileBytes(dir.Join(L"id0"));
  const std::string second = ReadFileBytes(dir.Join(L"id1"));
  ASSERT_EQ(first.size(), 76u);
  EXPECT_EQ(first, second);
  std::wstring stored;
  ASSERT_TRUE(qrx::LoadStoredId(stored));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored.data()), stored.size() * 2), first);
}

}  // namespace
