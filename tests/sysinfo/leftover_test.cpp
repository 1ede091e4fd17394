#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/unique_any.h"
#include "support/ended_process.h"
#include "support/test_support.h"
#include "sysinfo/folder_facts_seams.h"
#include "sysinfo/leftover_folders.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"

namespace {

using qrxtest::FileExists;
using qrxtest::TempDir;

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";

TEST(RunMarker, LinesNameIdAndCreationTime) {
  qrx::ProcessStamp stamp;
  stamp.id = 4242;
  stamp.creationTime = 0x01DB2C3D4E5F6071ull;
  EXPECT_EQ(qrx::FormatMarkerLine(stamp), "4242 01db2c3d4e5f6071\r\n");
  stamp.id = 0xFFFFFFFF;
  stamp.creationTime = 0;
  EXPECT_EQ(qrx::FormatMarkerLine(stamp), "4294967295 0000000000000000\r\n");
}

TEST(RunMarker, ParseAcceptsOnlyTheWrittenShape) {
  struct Case {
    const char* text;
    bool ok;
    size_t owners;
  } cases[] = {
      {"4242 01db2c3d4e5f6071\r\n", true, 1},
      {"4242 01db2c3d4e5f6071\r\n77 0000000000000001\r\n", true, 2},
      {"", false, 0},
      {"4242 01db2c3d4e5f6071", false, 0},            // no line end: cut short
      {"4242 01DB2C3D4E5F6071\r\n", false, 0},        // upper case is not what we write
      {"4242 1db2c3d4e5f6071\r\n", false, 0},         // 15 digits
      {"-1 01db2c3d4e5f6071\r\n", false, 0},
      {"4294967296 01db2c3d4e5f6071\r\n", false, 0},  // more than 32 bits
      {"4242  01db2c3d4e5f6071\r\n", false, 0},
      {"4242 01db2c3d4e5f6071\n", false, 0},
      {"4242 01db2c3d4e5f6071\r\nrubbish\r\n", false, 0},
      {"4294967295 01db2c3d4e5f6071\r\n", true, 1},   // the largest id
      {"9999999999 01db2c3d4e5f6071\r\n", false, 0},  // ten digits, still more than 32 bits
      {"00000004242 01db2c3d4e5f6071\r\n", false, 0}, // eleven digits
      {" 01db2c3d4e5f6071\r\n", false, 0},            // no id
      {"42a2 01db2c3d4e5f6071\r\n", false, 0},
      {"4242 01db2c3d4e5f607g\r\n", false, 0},
      {"4242 01db2c3d4e5f60:1\r\n", false, 0},        // the character after '9'
      {"4242 01db2c3d4e5f60`1\r\n", false, 0},        // the character before 'a'
      {"4242 01db2c3d4e5f60711\r\n", false, 0},       // 17 digits
  };
  for (const Case& c : cases) {
    std::vector<qrx::ProcessStamp> owners;
    EXPECT_EQ(qrx::ParseMarker(c.text, owners), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(owners.size(), c.owners) << c.text;
    }
  }
}

TEST(RunMarker, ParseReadsTheNumbers) {
  struct Case {
    const char* text;
    DWORD id;
    uint64_t creationTime;
  } cases[] = {
      {"12 00000000000000ff\r\n", 12, 0xFFull},
      {"0 0000000000000000\r\n", 0, 0},
      {"4294967295 ffffffffffffffff\r\n", 0xFFFFFFFFu, 0xFFFFFFFFFFFFFFFFull},
      {"0000004242 01db2c3d4e5f6071\r\n", 4242, 0x01DB2C3D4E5F6071ull},  // leading zeros
      {"9 a0b1c2d3e4f56789\r\n", 9, 0xA0B1C2D3E4F56789ull},              // every digit, top bit set
  };
  for (const Case& c : cases) {
    std::vector<qrx::ProcessStamp> owners;
    ASSERT_TRUE(qrx::ParseMarker(c.text, owners)) << c.text;
    ASSERT_EQ(owners.size(), 1u) << c.text;
    EXPECT_EQ(owners[0].id, c.id) << c.text;
    EXPECT_EQ(owners[0].creationTime, c.creationTime) << c.text;
  }
}

TEST(LeftoverFolders, WorkingFolderNames) {
  struct Case {
    const wchar_t* name;
    bool ours;
  } cases[] = {{L"0", true},          {L"1a2b", true},  {L"ffffffff", true}, {L"100000000", false},
               {L"01a", false},       {L"1A2B", false}, {L"", false},        {L"1a2g", false},
               {L"qrx-e2e-x", false}, {L"1a.tmp", false}};
  for (const Case& c : cases) EXPECT_EQ(qrx::IsWorkingFolderName(c.name), c.ours) << qrxtest::Narrow(c.name);
}

qrx::ProcessStamp Self() {
  qrx::ProcessStamp stamp;
  qrx::GetProcessStamp(GetCurrentProcess(), stamp);
  return stamp;
}

std::string MarkerOf(std::initializer_list<qrx::ProcessStamp> owners) {
  std::string text;
  for (const qrx::ProcessStamp& owner : owners) text += qrx::FormatMarkerLine(owner);
  return text;
}

bool MakeFolder(const std::wstring& folder, const std::string& marker) {
  if (!CreateDirectoryW(folder.c_str(), nullptr)) return false;
  if (!qrxtest::WriteFileBytes(folder + L"\\payload.bin", std::string(1000, 'p'))) return false;
  if (!CreateDirectoryW((folder + L"\\unpacked").c_str(), nullptr)) return false;
  if (!qrxtest::WriteFileBytes(folder + L"\\unpacked\\setup.exe", "MZ")) return false;
  return marker.empty() || qrxtest::WriteFileBytes(folder + L"\\" + qrx::kRunMarkerName, marker);
}

// Keeps the system's pending renames as they were before the test.
class PendingRenames {
 public:
  PendingRenames() { had_ = Read(saved_); }
  ~PendingRenames() {
    qrx::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (had_) {
      RegSetValueExW(key.get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(saved_.data()), static_cast<DWORD>(saved_.size() * sizeof(wchar_t)));
    } else {
      RegDeleteValueW(key.get(), L"PendingFileRenameOperations");
    }
  }
  // Every string of the value (sources and targets).
  static std::vector<std::wstring> Strings() {
    std::vector<wchar_t> data;
    std::vector<std::wstring> strings;
    if (!Read(data)) return strings;
    for (size_t at = 0; at < data.size();) {
      const std::wstring text = data.data() + at;
      strings.push_back(text);
      at += text.size() + 1;
    }
    return strings;
  }
  static bool Contains(const std::wstring& path) {
    for (const std::wstring& text : Strings()) {
      if (_wcsicmp(text.c_str(), (L"\\??\\" + path).c_str()) == 0) return true;
    }
    return false;
  }

 private:
  static bool Read(std::vector<wchar_t>& data) {
    qrx::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
      return false;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
      return false;
    }
    data.assign(size / sizeof(wchar_t) + 1, L'\0');
    return RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr,
                            reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS;
  }

  std::vector<wchar_t> saved_;
  bool had_ = false;
};

TEST(LeftoverFolders, OnlyMarkedFoldersOfEndedRunsGo) {
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  ASSERT_NE(ended.id, 0u);
  qrx::ProcessStamp reused = Self();
  reused.creationTime -= 10000000;  // this process's id, another creation time: a reused id
  TempDir temp(qrxtest::WorkingParent());
  TempDir outside;
  const std::wstring base = temp.path();
  ASSERT_TRUE(MakeFolder(base + L"a1", MarkerOf({ended})));
  ASSERT_TRUE(MakeFolder(base + L"a2", MarkerOf({reused})));
  ASSERT_TRUE(MakeFolder(base + L"a3", MarkerOf({Self()})));           // a live run
  ASSERT_TRUE(MakeFolder(base + L"a4", ""));                           // not marked
  ASSERT_TRUE(MakeFolder(base + L"a5", "garbage\r\n"));                // not our marker
  ASSERT_TRUE(MakeFolder(base + L"notours", MarkerOf({ended})));       // not a working-folder name
  ASSERT_TRUE(MakeFolder(base + L"a6\\", MarkerOf({ended, ended})));   // run and setup both ended
  ASSERT_TRUE(qrxtest::WriteFileBytes(base + L"a7", MarkerOf({ended})));  // a file
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.path() + qrx::kRunMarkerName, MarkerOf({ended})));
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.path() + L"canary.txt", "alive"));
  ASSERT_TRUE(qrxtest::MakeUnixLink(base + L"a8", outside.path()));  // a link to a marked folder
  ASSERT_TRUE(qrxtest::WriteFileBytes(base + L"QRXDownloadManager.exe", "MZ"));  // the resume copy

  const qrx::LeftoverCleaning cleaning = qrx::CleanLeftoverFolders(base, false, nullptr);
  EXPECT_EQ(cleaning.removed, 3);
  EXPECT_EQ(cleaning.scheduled, 0);
  for (const wchar_t* gone : {L"a1", L"a2", L"a6"}) EXPECT_FALSE(FileExists(base + gone)) << qrxtest::Narrow(gone);
  for (const wchar_t* kept : {L"a3", L"a4", L"a5", L"notours"}) {
    EXPECT_TRUE(FileExists(base + kept + L"\\unpacked\\setup.exe")) << qrxtest::Narrow(kept);
  }
  EXPECT_TRUE(FileExists(base + L"a7"));
  EXPECT_TRUE(FileExists(base + L"QRXDownloadManager.exe"));
  EXPECT_EQ(qrxtest::ReadFileBytes(outside.path() + L"canary.txt"), "alive");
  EXPECT_TRUE(FileExists(outside.path() + qrx::kRunMarkerName));
}

TEST(LeftoverFolders, FolderWithALockedFileIsScheduledAndKeepsItsMarker) {
  PendingRenames restore;
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  TempDir temp(qrxtest::WorkingParent());
  const std::wstring folder = temp.path() + L"b1";
  ASSERT_TRUE(MakeFolder(folder, MarkerOf({ended})));
  const std::wstring locked = folder + L"\\unpacked\\setup.exe";
  HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  qrx::LeftoverCleaning cleaning = qrx::CleanLeftoverFolders(temp.path(), false, nullptr);
  CloseHandle(hold);
  EXPECT_EQ(cleaning.removed, 0);
  EXPECT_EQ(cleaning.scheduled, 1);
  EXPECT_TRUE(FileExists(folder + L"\\" + qrx::kRunMarkerName));
  EXPECT_FALSE(PendingRenames::Contains(folder + L"\\" + qrx::kRunMarkerName));
  EXPECT_TRUE(PendingRenames::Contains(locked));
  EXPECT_TRUE(PendingRenames::Contains(folder + L"\\unpacked"));
  EXPECT_TRUE(PendingRenames::Contains(folder));
  // Contents come before their folder, and a second scheduling adds nothing.
  const std::vector<std::wstring> before = PendingRenames::Strings();
  size_t lockedAt = 0, folderAt = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    if (_wcsicmp(before[i].c_str(), (L"\\??\\" + locked).c_str()) == 0) lockedAt = i;
    if (_wcsicmp(before[i].c_str(), (L"\\??\\" + folder).c_str()) == 0) folderAt = i;
  }
  EXPECT_LT(lockedAt, folderAt);
  EXPECT_TRUE(qrx::ScheduleRemovalAtRestart(folder));
  EXPECT_EQ(PendingRenames::Strings().size(), before.size());
  // Unlocked, the next run removes it.
  cleaning = qrx::CleanLeftoverFolders(temp.path(), false, nullptr);
  EXPECT_EQ(cleaning.removed, 1);
  EXPECT_FALSE(FileExists(folder));
}

TEST(LeftoverFolders, EndedRunWhoseSetupStillRunsIsOnlyScheduled) {
  PendingRenames restore;
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  TempDir temp(qrxtest::WorkingParent());
  const std::wstring folder = temp.path() + L"c1";
  // This test process stands in for the setup that is still running.
  ASSERT_TRUE(MakeFolder(folder, MarkerOf({ended, Self()})));
  const qrx::LeftoverCleaning cleaning = qrx::CleanLeftoverFolders(temp.path(), false, nullptr);
  EXPECT_EQ(cleaning.removed, 0);
  EXPECT_EQ(cleaning.scheduled, 1);
  EXPECT_TRUE(FileExists(folder + L"\\unpacked\\setup.exe"));
  EXPECT_TRUE(PendingRenames::Contains(folder));
  EXPECT_TRUE(PendingRenames::Contains(folder + L"\\unpacked\\setup.exe"));
  EXPECT_FALSE(PendingRenames::Contains(folder + L"\\" + qrx::kRunMarkerName)) << "the marker stays for the next run";
  // Setup wrote a file after the scheduling (which keeps the folder at a restart) and has ended
  // since: the next run removes the folder, reboot or not.
  ASSERT_TRUE(qrxtest::WriteFileBytes(folder + L"\\unpacked\\late.log", "late"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(folder + L"\\" + qrx::kRunMarkerName, MarkerOf({ended, ended})));
  EXPECT_EQ(qrx::CleanLeftoverFolders(temp.path(), false, nullptr).removed, 1);
  EXPECT_FALSE(FileExists(folder));
}

TEST(LeftoverFolders, StopInsideAFolderLeavesItWithItsMarker) {
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  TempDir temp(qrxtest::WorkingParent());
  const std::wstring folder = temp.path() + L"d2";
  ASSERT_TRUE(MakeFolder(folder, MarkerOf({ended})));
  const std::atomic<bool> stop(true);
  EXPECT_FALSE(qrx::DeleteFolderTreeLast(folder, qrx::kRunMarkerName, &stop));
  EXPECT_TRUE(FileExists(folder + L"\\unpacked\\setup.exe"));
  EXPECT_TRUE(FileExists(folder + L"\\" + qrx::kRunMarkerName));
  const std::atomic<bool> go(false);
  EXPECT_TRUE(qrx::DeleteFolderTreeLast(folder, qrx::kRunMarkerName, &go));
  EXPECT_FALSE(FileExists(folder));
}

TEST(LeftoverFolders, StopRequestLeavesTheRestForTheNextRun) {
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  TempDir temp(qrxtest::WorkingParent());
  ASSERT_TRUE(MakeFolder(temp.path() + L"d1", MarkerOf({ended})));
  const std::atomic<bool> stop(true);
  EXPECT_EQ(qrx::CleanLeftoverFolders(temp.path(), false, &stop).removed, 0);
  EXPECT_TRUE(FileExists(temp.path() + L"d1"));
  const std::atomic<bool> go(false);
  EXPECT_EQ(qrx::CleanLeftoverFolders(temp.path(), false, &go).removed, 1);
}

TEST(LeftoverFolders, RemovalDecision) {
  struct Case {
    bool directory;
    bool link;
    bool trusted;
    bool ownersRecorded;
    bool removed;
  } cases[] = {
      {true, false, true, true, true},     // ours, where owners are kept
      {true, false, false, true, false},   // someone else's folder under the parent
      {true, false, false, false, true},   // Wine: every owner reads as the Wine user
      {true, false, true, false, true},
      {true, true, true, true, false},     // a link never goes by path
      {true, true, false, false, false},
      {false, false, true, true, false},   // a file
      {false, false, false, false, false},
  };
  for (const Case& c : cases) {
    qrx::FolderFacts facts;
    facts.isDirectory = c.directory;
    facts.isReparsePoint = c.link;
    facts.ownerTrusted = c.trusted;
    EXPECT_EQ(qrx::MayRemoveLeftover(facts, c.ownersRecorded), c.removed)
        << c.directory << c.link << c.trusted << c.ownersRecorded;
  }
}

using sysinfotest::OwnedByAdministrators;
using sysinfotest::OwnedByUser;

TEST(LeftoverFolders, WhereOwnersAreKeptOnlyAdministratorsFoldersGo) {
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  TempDir temp(qrxtest::WorkingParent());
  ASSERT_TRUE(MakeFolder(temp.path() + L"e1", MarkerOf({ended})));
  EXPECT_EQ(qrx::CleanLeftoverFolders(temp.path(), true, nullptr, OwnedByUser).removed, 0);
  EXPECT_TRUE(FileExists(temp.path() + L"e1\\unpacked\\setup.exe"));
  EXPECT_EQ(qrx::CleanLeftoverFolders(temp.path(), true, nullptr, OwnedByAdministrators).removed, 1);
  EXPECT_FALSE(FileExists(temp.path() + L"e1"));
}

TEST(LeftoverFolders, NothingOutsideTheWorkingParentIsScheduled) {
  PendingRenames restore;
  TempDir temp;
  const std::wstring folder = temp.path() + L"f1";
  ASSERT_TRUE(MakeFolder(folder, ""));
  const size_t before = PendingRenames::Strings().size();
  EXPECT_FALSE(qrx::ScheduleRemovalAtRestart(folder));
  EXPECT_EQ(PendingRenames::Strings().size(), before);
  EXPECT_FALSE(PendingRenames::Contains(folder));
  // The same folder below the working parent is.
  TempDir ours(qrxtest::WorkingParent());
  ASSERT_TRUE(MakeFolder(ours.path() + L"f1", ""));
  EXPECT_TRUE(qrx::ScheduleRemovalAtRestart(ours.path() + L"f1"));
  EXPECT_TRUE(PendingRenames::Contains(ours.path() + L"f1"));
}

TEST(LeftoverFolders, SetupIsAddedToTheMarker) {
  TempDir temp;
  std::wstring folder = temp.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(folder, 0xe1));
  wchar_t command[] = L"cmd.exe /c exit 0";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                             &process));
  EXPECT_TRUE(qrx::AddProcessToRunMarker(folder, process.hProcess));
  qrx::ProcessStamp child;
  ASSERT_TRUE(qrx::GetProcessStamp(process.hProcess, child));
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::vector<qrx::ProcessStamp> owners;
  ASSERT_TRUE(qrx::ReadRunMarker(folder, owners));
  ASSERT_EQ(owners.size(), 2u);
  EXPECT_EQ(owners[0].id, GetCurrentProcessId());
  EXPECT_EQ(owners[1].id, child.id);
  EXPECT_EQ(owners[1].creationTime, child.creationTime);
  EXPECT_FALSE(qrx::IsProcessRunning(owners[1]));
  // A folder without a marker gets none.
  EXPECT_FALSE(qrx::AddProcessToRunMarker(temp.path(), GetCurrentProcess()));
}

}  // namespace
