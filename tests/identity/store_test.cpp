#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include <string>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "common/no_links.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "log/logger.h"
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
  const std::wstring id = L"P-0A1B2C3D-4E5F-0A1B-2C3D-4E5F0A1B2C3D";
  ASSERT_TRUE(qrx::SaveStoredId(id));
  CoInitialize(nullptr);
  std::wstring cache;
  std::wstring resolved;
  EXPECT_TRUE(qrx::ResolveMachineIdFrom(qrx::kSystemMachineIdSources, cache, resolved));
  CoUninitialize();
  EXPECT_EQ(resolved, id);
}

TEST_F(Store, StoredIdOfOtherLettersIsKeptAndTheFileLeftAlone) {
  // As another program sharing the store might have written it.
  const std::wstring planted = L"v-01234567-89ab-cdef-0123-456789abcdef";
  ASSERT_TRUE(qrx::SaveStoredId(planted));
  const std::string before = ReadFileBytes(DataPath());
  std::wstring cache;
  std::wstring id;
  ASSERT_TRUE(qrx::ResolveMachineIdFrom(kVirtualWithRealStore, cache, id));
  EXPECT_EQ(id, planted);
  EXPECT_EQ(ReadFileBytes(DataPath()), before) << "the shared store is not rewritten";
}

TEST_F(Store, StoredIdAReportCannotCarryIsReplacedInTheStore) {
  for (const wchar_t* planted : {L"V-01234567-89AB-CDEF-0123-456789AB&D=F", L"Q-this is not a guid but 38 characters"}) {
    ASSERT_TRUE(qrx::SaveStoredId(planted));
    std::wstring cache;
    std::wstring id;
    ASSERT_TRUE(qrx::ResolveMachineIdFrom(kVirtualWithRealStore, cache, id));
    EXPECT_NE(id, planted);
    ASSERT_EQ(id.size(), 38u);
    EXPECT_EQ(id.substr(0, 2), L"V-");
    EXPECT_EQ(qrx::FindUnsafeIdCharacter(id), std::wstring::npos) << qrxtest::Narrow(id);
    std::wstring stored;
    ASSERT_TRUE(qrx::LoadStoredId(stored));
    EXPECT_EQ(stored, id) << "the planted id was replaced in the store";
  }
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

// The access a DACL grants a well-known account through its own ACEs.
ACCESS_MASK AllowedTo(PACL dacl, WELL_KNOWN_SID_TYPE account) {
  ACCESS_MASK mask = 0;
  if (!dacl) return GENERIC_ALL;  // no DACL: everyone may do everything
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (IsWellKnownSid(reinterpret_cast<PSID>(&allowed->SidStart), account)) mask |= allowed->Mask;
  }
  return mask;
}

constexpr ACCESS_MASK kAnyWrite = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                  FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Write access that Everyone or Users get on the folder, as the system reads its descriptor back.
ACCESS_MASK OthersWriteAccess(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return GENERIC_ALL;
  }
  qrx::UniqueHLocal owned(descriptor);
  return (AllowedTo(dacl, WinWorldSid) | AllowedTo(dacl, WinBuiltinUsersSid)) & kAnyWrite;
}

// A folder as another account would leave it. (Wine applies the umask to a descriptor given at
// creation, so the DACL is set afterwards.)
bool CreateFolderWithSddl(const std::wstring& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR built = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &built, nullptr)) return false;
  qrx::UniqueHLocal owned(built);
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorDacl(built, &present, &dacl, &defaulted)) return false;
  if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
  std::vector<wchar_t> name(path.begin(), path.end());
  name.push_back(L'\0');
  return SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                               nullptr) == ERROR_SUCCESS;
}

// A log the store writes to for the test's lifetime; its text once closed.
class StoreLog {
 public:
  StoreLog() : scope_(&logger_) {}
  std::string Text() {
    logger_.CloseFile();
    return ReadFileBytes(logger_.path());
  }
  static std::string Line(const wchar_t* format, const std::wstring& path) {
    wchar_t line[1024] = {};
    _snwprintf(line, 1023, format, path.c_str());
    char narrow[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, line, -1, narrow, sizeof(narrow), nullptr, nullptr);
    // The file may end its lines with "\r\n".
    std::string text = narrow;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

 private:
  qrx::Logger logger_;
  qrx::MachineIdLogScope scope_;
};

TEST(StoreSecurity, CreatedFolderDescriptorGivesUsersReadOnly) {
  PSECURITY_DESCRIPTOR built = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(qrx::kStoreFolderSddl, SDDL_REVISION_1, &built,
                                                                   nullptr));
  qrx::UniqueHLocal owned(built);
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(built, &owner, &defaulted));
  EXPECT_TRUE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(built, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the common application data folder";
  PACL dacl = nullptr;
  BOOL present = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorDacl(built, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  ASSERT_EQ(dacl->AceCount, 3);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    const auto* header = static_cast<ACE_HEADER*>(ace);
    EXPECT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(header->AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << "the data file inherits them";
  }
  EXPECT_EQ(AllowedTo(dacl, WinLocalSystemSid), static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
  EXPECT_EQ(AllowedTo(dacl, WinBuiltinAdministratorsSid), static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
  const ACCESS_MASK users = AllowedTo(dacl, WinBuiltinUsersSid);
  EXPECT_EQ(users & FILE_GENERIC_READ, static_cast<ACCESS_MASK>(FILE_GENERIC_READ));
  EXPECT_EQ(users & kAnyWrite, 0u);
  EXPECT_EQ(AllowedTo(dacl, WinWorldSid), 0u);
}

TEST_F(Store, CreatedFolderLetsNoOtherAccountWrite) {
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  ASSERT_TRUE(qrx::SaveStoredId(L"V-01234567-89AB-CDEF-0123-456789ABCDEF"));
  // Wine keeps only what maps to mode bits, but write access for others would show.
  EXPECT_EQ(OthersWriteAccess(StoreFolder()), 0u);
  EXPECT_EQ(OthersWriteAccess(DataPath()), 0u);
}

TEST_F(Store, SquattedFolderIsReOwnedAndReSecured) {
  // Someone else made the folder first and lets everyone write to it.
  ASSERT_TRUE(CreateFolderWithSddl(StoreFolder(), L"D:(A;OICI;FA;;;WD)"));
  ASSERT_NE(OthersWriteAccess(StoreFolder()), 0u) << "the squat shows in the read-back descriptor";
  // Under Wine every folder reads back as owned by the Wine user, never by Administrators, so a
  // folder found in place always counts as someone else's here.
  StoreLog log;
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  EXPECT_EQ(OthersWriteAccess(StoreFolder()), 0u);
  const std::wstring id = L"V-01234567-89AB-CDEF-0123-456789ABCDEF";
  ASSERT_TRUE(qrx::SaveStoredId(id));
  std::wstring loaded;
  ASSERT_TRUE(qrx::LoadStoredId(loaded));
  EXPECT_EQ(loaded, id);
  const std::string text = log.Text();
  EXPECT_NE(text.find(StoreLog::Line(qrx::kLogStoreFolderReclaimed, StoreFolder())), std::string::npos) << text;
}

bool TrustedOwner(HANDLE folder, qrx::StoreFolderFacts& facts) {
  if (!qrx::ReadStoreFolderFacts(folder, facts)) return false;
  facts.ownerTrusted = true;
  return true;
}

TEST_F(Store, FolderOfAdministratorsIsUsedAsItIs) {
  ASSERT_TRUE(CreateFolderWithSddl(StoreFolder(), L"D:(A;OICI;FA;;;WD)"));
  StoreLog log;
  EXPECT_TRUE(qrx::PrepareStoreFolderWith(StoreFolder(), TrustedOwner));
  EXPECT_NE(OthersWriteAccess(StoreFolder()), 0u) << "left as its owner set it";
  EXPECT_EQ(log.Text().find("Machine id folder"), std::string::npos);
}

bool ReportsLink(HANDLE folder, qrx::StoreFolderFacts& facts) {
  if (!qrx::ReadStoreFolderFacts(folder, facts)) return false;
  facts.isReparsePoint = true;
  return true;
}

// A Unix link in place of the store folder, removed again whatever the test's outcome.
class ScopedStoreFolderLink {
 public:
  explicit ScopedStoreFolderLink(const std::wstring& target) : made_(qrxtest::MakeUnixLink(StoreFolder(), target)) {}
  ~ScopedStoreFolderLink() {
    if (made_) {
      EXPECT_TRUE(qrxtest::RemoveUnixLink(StoreFolder()));
    }
  }
  bool made() const { return made_; }

 private:
  bool made_;
};

TEST_F(Store, LinkedStoreFolderIsRefused) {
  qrxtest::TempDir outside;
  ASSERT_TRUE(WriteFileBytes(outside.Join(L"canary"), "canary"));
  ScopedStoreFolderLink link(outside.path());
  ASSERT_TRUE(link.made());
  ASSERT_TRUE(qrx::IsLinkPath(StoreFolder()));
  StoreLog log;
  std::wstring path;
  EXPECT_FALSE(qrx::GetStoredIdPath(path));
  EXPECT_FALSE(qrx::SaveStoredId(L"V-01234567-89AB-CDEF-0123-456789ABCDEF"));
  std::wstring loaded;
  EXPECT_FALSE(qrx::LoadStoredId(loaded));
  EXPECT_EQ(ReadFileBytes(outside.Join(L"canary")), "canary");
  EXPECT_FALSE(qrxtest::FileExists(outside.Join(L"data"))) << "nothing written through the link";
  const std::string text = log.Text();
  EXPECT_NE(text.find(StoreLog::Line(qrx::kLogStoreFolderRefused, StoreFolder())), std::string::npos) << text;
}

TEST_F(Store, LinkReportedForTheStoreFolderIsRefused) {
  ASSERT_TRUE(CreateDirectoryW(StoreFolder().c_str(), nullptr));
  StoreLog log;
  EXPECT_FALSE(qrx::PrepareStoreFolderWith(StoreFolder(), ReportsLink));
  const std::string text = log.Text();
  EXPECT_NE(text.find(StoreLog::Line(qrx::kLogStoreFolderRefused, StoreFolder())), std::string::npos) << text;
}

TEST_F(Store, FileInPlaceOfTheFolderIsRefused) {
  ASSERT_TRUE(WriteFileBytes(StoreFolder(), "not a folder"));
  std::wstring path;
  EXPECT_FALSE(qrx::GetStoredIdPath(path));
  EXPECT_EQ(ReadFileBytes(StoreFolder()), "not a folder");
  DeleteFileW(StoreFolder().c_str());
}

TEST_F(Store, DataFileLinkedElsewhereIsNeverWrittenThrough) {
  qrxtest::TempDir outside;
  const std::wstring canary = outside.Join(L"canary");
  ASSERT_TRUE(WriteFileBytes(canary, "canary"));
  std::wstring path;
  ASSERT_TRUE(qrx::GetStoredIdPath(path));
  const bool hardLink = CreateHardLinkW(DataPath().c_str(), canary.c_str(), nullptr) != FALSE;
  std::printf("measure: CreateHardLinkW under Wine %s\n", hardLink ? "works" : "fails");
  ASSERT_TRUE(hardLink);
  const std::wstring id = L"V-01234567-89AB-CDEF-0123-456789ABCDEF";
  ASSERT_TRUE(qrx::SaveStoredId(id));
  EXPECT_EQ(ReadFileBytes(canary), "canary");
  std::wstring loaded;
  ASSERT_TRUE(qrx::LoadStoredId(loaded));
  EXPECT_EQ(loaded, id);
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
