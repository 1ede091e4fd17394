#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "sysinfo/folder_facts_seams.h"
#include "sysinfo/temp_folder.h"
#include "sysinfo/working_parent.h"

namespace {

using qrxtest::FileExists;
using qrxtest::TempDir;

const wchar_t kExpectedDescriptor[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Records the descriptor of every folder creation (marked when the handle would be inherited),
// then creates the folder.
std::vector<std::wstring> g_passed;
BOOL WINAPI RecordingCreateFolder(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
  std::wstring text = L"<none>";
  LPWSTR sddl = nullptr;
  if (security && security->lpSecurityDescriptor &&
      ConvertSecurityDescriptorToStringSecurityDescriptorW(security->lpSecurityDescriptor, SDDL_REVISION_1,
                                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                           &sddl, nullptr)) {
    text = sddl;
    LocalFree(sddl);
  }
  g_passed.push_back(security && security->bInheritHandle ? text + L" inherited" : text);
  return CreateDirectoryW(path, security);
}

class ScopedRecordingCreate {
 public:
  ScopedRecordingCreate() {
    g_passed.clear();
    previous_ = qrx::SetCreateFolderFunction(&RecordingCreateFolder);
  }
  ~ScopedRecordingCreate() { qrx::SetCreateFolderFunction(previous_); }

 private:
  qrx::CreateFolderFunction previous_;
};

std::wstring CommonAppData() {
  wchar_t buffer[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

TEST(WorkingParent, TrustedOwners) {
  struct Case {
    const wchar_t* sid;
    bool trusted;
  } cases[] = {
      {L"BA", true},
      {L"S-1-5-32-544", true},
      {L"SY", true},
      {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
      {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478465", false},
      {L"S-1-5-21-0-0-0-1000", false},  // the Wine user, owner of every file under Wine
      {L"BU", false},
      {L"WD", false},
      {L"AU", false},
      {L"CO", false},
      {L"not a sid", false},
  };
  for (const Case& c : cases) EXPECT_EQ(qrx::IsTrustedOwnerSidText(c.sid), c.trusted) << qrxtest::Narrow(c.sid);
  EXPECT_FALSE(qrx::IsTrustedOwnerSidText(nullptr));
}

TEST(WorkingParent, Decision) {
  using qrx::ParentAction;
  struct Case {
    bool directory;
    bool link;
    bool trusted;
    ParentAction action;
  } cases[] = {
      {true, false, true, ParentAction::kUse},      {true, false, false, ParentAction::kReclaim},
      {true, true, true, ParentAction::kRefuse},    {true, true, false, ParentAction::kRefuse},
      {false, false, true, ParentAction::kRefuse},  {false, false, false, ParentAction::kRefuse},
      {false, true, false, ParentAction::kRefuse},
  };
  for (const Case& c : cases) {
    qrx::FolderFacts facts;
    facts.isDirectory = c.directory;
    facts.isReparsePoint = c.link;
    facts.ownerTrusted = c.trusted;
    EXPECT_EQ(qrx::DecideWorkingParent(facts), c.action) << c.directory << c.link << c.trusted;
  }
}

TEST(WorkingParent, IsQrxUnderTheCommonApplicationDataFolder) {
  std::wstring parent;
  ASSERT_TRUE(qrx::GetWorkingParent(parent));
  EXPECT_EQ(_wcsicmp(parent.c_str(), (CommonAppData() + L"\\QRX\\").c_str()), 0) << qrxtest::Narrow(parent);
  // Not the user's temp folder, whatever TEMP says.
  TempDir temp;
  qrxtest::ScopedEnv tempVariable(L"TEMP", temp.path());
  qrxtest::ScopedEnv tmpVariable(L"TMP", temp.path());
  std::wstring again;
  ASSERT_TRUE(qrx::GetWorkingParent(again));
  EXPECT_EQ(again, parent);
}

TEST(WorkingParent, NewParentAndFoldersGetExactlyTheAdministratorsOnlyDescriptor) {
  TempDir base;
  const std::wstring parent = base.path() + L"QRX";
  ScopedRecordingCreate recording;
  ASSERT_TRUE(qrx::PrepareWorkingParentWith(parent, qrx::ReadFolderFacts));
  std::wstring folder = parent + L"\\";
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(folder, 0x51));
  ASSERT_EQ(g_passed.size(), 2u);
  for (const std::wstring& passed : g_passed) EXPECT_EQ(passed, kExpectedDescriptor);
  EXPECT_EQ(folder, parent + L"\\51\\");
}

TEST(WorkingParent, EveryWorkingFolderIsBelowTheParentWithTheDescriptor) {
  std::wstring parent;
  ASSERT_TRUE(qrx::GetWorkingParent(parent));
  ScopedRecordingCreate recording;
  std::wstring folder;
  ASSERT_TRUE(qrx::CreateWorkingFolder(folder));
  EXPECT_EQ(_wcsnicmp(folder.c_str(), parent.c_str(), parent.size()), 0) << qrxtest::Narrow(folder);
  EXPECT_TRUE(qrx::IsBelowWorkingParent(folder));
  ASSERT_FALSE(g_passed.empty());
  EXPECT_EQ(g_passed.back(), kExpectedDescriptor);
  EXPECT_TRUE(qrx::DeleteFolderTree(folder));
}

TEST(WorkingParent, ExistingNamesAreNeverAdopted) {
  TempDir parent(qrxtest::WorkingParent());
  // A folder, a file and a folder with someone's content at the first candidate names.
  ASSERT_TRUE(CreateDirectoryW(parent.Join(L"a0").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(parent.Join(L"a1"), "file"));
  ASSERT_TRUE(CreateDirectoryW(parent.Join(L"a2").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(parent.Join(L"a2\\planted.dll"), "MZ"));
  std::wstring folder = parent.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(folder, 0xa0));
  EXPECT_EQ(folder, parent.Join(L"a3\\"));
  EXPECT_EQ(qrxtest::ReadFileBytes(parent.Join(L"a2\\planted.dll")), "MZ");
}

using sysinfotest::OwnedByAdministrators;
using sysinfotest::OwnedByUser;
using sysinfotest::ReportsLink;
bool Unreadable(HANDLE, qrx::FolderFacts&) { return false; }

TEST(WorkingParent, ExistingParentIsUsedReclaimedOrRefusedByItsFacts) {
  TempDir base;
  const std::wstring parent = base.path() + L"QRX";
  ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(parent + L"\\kept.txt", "kept"));
  EXPECT_TRUE(qrx::PrepareWorkingParentWith(parent, OwnedByAdministrators));
  EXPECT_TRUE(qrx::PrepareWorkingParentWith(parent, OwnedByUser));
  EXPECT_FALSE(qrx::PrepareWorkingParentWith(parent, ReportsLink));
  EXPECT_FALSE(qrx::PrepareWorkingParentWith(parent, Unreadable));
  // Taking a folder over never empties it.
  EXPECT_EQ(qrxtest::ReadFileBytes(parent + L"\\kept.txt"), "kept");
  // A file at the name is refused for real.
  const std::wstring file = base.path() + L"QRXfile";
  ASSERT_TRUE(qrxtest::WriteFileBytes(file, "x"));
  EXPECT_FALSE(qrx::PrepareWorkingParentWith(file, qrx::ReadFolderFacts));
  EXPECT_EQ(qrxtest::ReadFileBytes(file), "x");
}

TEST(WorkingParent, LinkedParentIsRefusedForReal) {
  TempDir base;
  TempDir outside;
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.path() + L"canary.txt", "alive"));
  const std::wstring parent = base.path() + L"QRX";
  ASSERT_TRUE(qrxtest::MakeUnixLink(parent, outside.path()));
  // Wine opens the target even with FILE_FLAG_OPEN_REPARSE_POINT (docs/wine-notes.md), so the facts
  // read from the handle show a plain folder there; the seam shows what Windows reports.
  EXPECT_FALSE(qrx::PrepareWorkingParentWith(parent, ReportsLink));
  EXPECT_EQ(qrxtest::ReadFileBytes(outside.path() + L"canary.txt"), "alive");
}

TEST(WorkingParent, BelowTheParent) {
  std::wstring parent;
  ASSERT_TRUE(qrx::GetWorkingParent(parent));
  const std::wstring bare = parent.substr(0, parent.size() - 1);
  struct Case {
    std::wstring path;
    bool below;
  } cases[] = {
      {parent + L"1a2b", true},
      {parent + L"1a2b\\", true},
      {parent + L"1a2b\\unpacked\\setup.exe", true},
      {parent, false},
      {bare, false},
      {bare + L"Other\\1a2b", false},
      {parent + L"..\\1a2b", false},
      {parent + L"1a2b\\..\\..\\x", false},
      {CommonAppData() + L"\\UniqueId", false},
      {L"C:\\Windows\\Temp\\1a2b", false},
      {L"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(qrx::IsBelowWorkingParent(c.path), c.below) << qrxtest::Narrow(c.path);
}

}  // namespace
