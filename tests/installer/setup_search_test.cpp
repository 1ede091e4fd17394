// Finding the setup folder, and collecting setup's prerequisite logs from the temp folder.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "installer/setup_logs.h"
#include "installer/setup_search.h"
#include "installer/test_install_owner.h"
#include "support/test_support.h"

namespace {

using qrxtest::TempDir;

std::wstring NoSlash(const std::wstring& path) { return path.substr(0, path.size() - 1); }

void MakeFolder(const std::wstring& path) { ASSERT_EQ(SHCreateDirectoryExW(nullptr, path.c_str(), nullptr), 0) << path; }
void MakeFile(const std::wstring& path) { ASSERT_TRUE(qrxtest::WriteFileBytes(path, "x")) << path; }

TEST(FindSetupFolder, AFolderIsTestedBeforeItsSubfolders) {
  TempDir dir;
  const std::wstring root = NoSlash(dir.path());
  MakeFolder(root + L"\\a\\b");
  MakeFile(root + L"\\a\\b\\setup.exe");
  MakeFile(root + L"\\setup.exe");
  std::wstring found;
  ASSERT_TRUE(qrx::FindSetupFolder(root, L"setup.exe", found));
  EXPECT_EQ(found, root);
}

TEST(FindSetupFolder, FindsTheOnlyCopyTwoFoldersDeep) {
  TempDir dir;
  const std::wstring root = NoSlash(dir.path());
  MakeFolder(root + L"\\docs");
  MakeFile(root + L"\\docs\\setup.txt");
  MakeFolder(root + L"\\Halvard\\Setup Files");
  MakeFile(root + L"\\Halvard\\Setup Files\\setup.exe");
  std::wstring found;
  ASSERT_TRUE(qrx::FindSetupFolder(root, L"setup.exe", found));
  EXPECT_EQ(found, root + L"\\Halvard\\Setup Files");
}

TEST(FindSetupFolder, AFolderNamedSetupExeCounts) {
  TempDir dir;
  const std::wstring root = NoSlash(dir.path());
  MakeFolder(root + L"\\inner\\setup.exe");
  std::wstring found;
  ASSERT_TRUE(qrx::FindSetupFolder(root, L"setup.exe", found));
  EXPECT_EQ(found, root + L"\\inner");
}

TEST(FindSetupFolder, NoSetupLeavesTheOutValueAlone) {
  TempDir dir;
  const std::wstring root = NoSlash(dir.path());
  MakeFolder(root + L"\\x\\y");
  MakeFile(root + L"\\x\\setup.ex");
  MakeFile(root + L"\\x\\y\\setup.exe.txt");
  std::wstring found = L"unchanged";
  EXPECT_FALSE(qrx::FindSetupFolder(root, L"setup.exe", found));
  EXPECT_EQ(found, L"unchanged");
  EXPECT_FALSE(qrx::FindSetupFolder(root + L"\\missing", L"setup.exe", found));
}

TEST(FindSetupFolder, AFolderWhoseLogPathsWouldNotFitIsNotUsed) {
  TempDir dir;
  std::wstring deep = NoSlash(dir.path());
  // A folder of 249 characters: "<folder>\\setup.exe" fits in MAX_PATH, "<folder>\\log.txt.xml" does not.
  const size_t target = MAX_PATH - 11;
  while (deep.size() < target) {
    const size_t room = target - deep.size() - 1;
    deep += L"\\" + std::wstring(std::min<size_t>(room, 40), L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  ASSERT_EQ(deep.size(), target);
  const std::wstring setup = deep + L"\\setup.exe";
  ASSERT_LT(setup.size(), static_cast<size_t>(MAX_PATH));
  MakeFile(setup);
  std::wstring found;
  EXPECT_FALSE(qrx::FindSetupFolder(NoSlash(dir.path()), L"setup.exe", found));
}

// The logs are read from the folder setup was given as its temp folder, never from the user's.
class RedistLogs : public ::testing::Test {
 protected:
  RedistLogs() : tmp_(L"TMP", userTemp_.path()), tempEnv_(L"TEMP", userTemp_.path()) {
    // The same names in the user's temp folder are never picked up.
    for (const wchar_t* name : {L"dd_vcredist_amd64_20261208100100.log", L"dd_vcredist_x86_20261208100100.log",
                                L"dd_dotnetfx40_full_setup_decompression_log.txt"}) {
      MakeFile(userTemp_.Join(name));
    }
  }
  TempDir temp_;
  TempDir userTemp_;
  qrxtest::ScopedEnv tmp_;
  qrxtest::ScopedEnv tempEnv_;
};

SYSTEMTIME Time(int hour, int minute, int second) {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 8;
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  return t;
}

TEST_F(RedistLogs, CollectsTheLogsStampedBetweenStartAndEndInclusive) {
  for (const wchar_t* name : {L"dd_vcredist_amd64_20261208095959.log", L"dd_vcredist_amd64_20261208100000.log",
                              L"dd_vcredist_amd64_20261208100105.log", L"dd_vcredist_amd64_20261208100230.log",
                              L"dd_vcredist_amd64_20261208100231.log", L"dd_vcredist_x86_20261208100100.log"}) {
    MakeFile(temp_.Join(name));
  }
  qrxtest::TestInstallOwner owner(L"64");
  qrx::CollectRedistLogs(owner, temp_.path(), Time(10, 0, 0), Time(10, 2, 30));
  std::vector<std::wstring> names;
  for (const std::wstring& path : owner.attachments()) {
    ASSERT_EQ(path.rfind(temp_.path(), 0), 0u) << path;
    names.push_back(path.substr(temp_.path().size()));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"dd_vcredist_amd64_20261208100000.log",
                                              L"dd_vcredist_amd64_20261208100105.log",
                                              L"dd_vcredist_amd64_20261208100230.log"}));
}

TEST_F(RedistLogs, ThirtyTwoBitSystemsCollectTheX86Logs) {
  MakeFile(temp_.Join(L"dd_vcredist_amd64_20261208100100.log"));
  MakeFile(temp_.Join(L"dd_vcredist_x86_20261208100100.log"));
  qrxtest::TestInstallOwner owner(L"32");
  qrx::CollectRedistLogs(owner, temp_.path(), Time(10, 1, 0), Time(10, 1, 0));
  ASSERT_EQ(owner.attachments().size(), 1u);
  EXPECT_EQ(owner.attachments()[0], temp_.Join(L"dd_vcredist_x86_20261208100100.log"));
}

TEST_F(RedistLogs, NothingMatchingAddsNothing) {
  qrxtest::TestInstallOwner owner(L"64");
  qrx::CollectRedistLogs(owner, temp_.path(), Time(10, 0, 0), Time(11, 0, 0));
  qrx::CollectDotNetLog(owner, temp_.path());
  EXPECT_TRUE(owner.attachments().empty());
}

TEST_F(RedistLogs, TheDotNetLogIsAttachedWhenItExists) {
  MakeFile(temp_.Join(L"dd_dotnetfx40_full_setup_decompression_log.txt"));
  qrxtest::TestInstallOwner owner(L"64");
  qrx::CollectDotNetLog(owner, temp_.path());
  ASSERT_EQ(owner.attachments().size(), 1u);
  EXPECT_EQ(owner.attachments()[0], temp_.Join(L"dd_dotnetfx40_full_setup_decompression_log.txt"));
}

}  // namespace
