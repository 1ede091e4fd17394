#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "app/leftover_cleaner.h"
#include "app/run_sequence.h"
#include "common/unique_any.h"
#include "reporting/session_info.h"
#include "support/ended_process.h"
#include "support/test_support.h"
#include "sysinfo/languages.h"
#include "sysinfo/os_facts.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"
#include "log/logger.h"

namespace {

using qrxtest::FolderIsEmpty;
using qrxtest::RunProcess;
using qrxtest::TempDir;

std::wstring ProductCommand() { return std::wstring(L"\"") + QRX_TEST_PRODUCT_EXE + L"\""; }

TEST(RunSequence, SecondInstanceExitsAtOnceWithoutALog) {
  qrx::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"QRXDownloadManager"));
  ASSERT_TRUE(mutex.valid());
  TempDir temp;
  const DWORD start = GetTickCount();
  const auto result = RunProcess(ProductCommand(), {{L"TMP", temp.path()}, {L"TEMP", temp.path()}}, 30000);
  ASSERT_TRUE(result.started);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_TRUE(FolderIsEmpty(temp.path())) << "no log folder";
}

TEST(RunSequence, RunWithoutPagesEndsCleanly) {
  // This build carries no pages: the run records an error, reports it and removes its log folder.
  TempDir temp;
  const auto result = RunProcess(ProductCommand(), {{L"TMP", temp.path()}, {L"TEMP", temp.path()}}, 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(FolderIsEmpty(temp.path()));
  // The mutex was released at the end of the run.
  qrx::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"QRXDownloadManager"));
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST(SessionInfo, StartsWithTheMachineFacts) {
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  EXPECT_EQ(info.productId, L"QRX");
  EXPECT_EQ(info.managerVersion, L"1.0.79.1");
  EXPECT_EQ(info.requestToken.size(), 36u);
  EXPECT_EQ(info.requestToken[8], L'-');
  EXPECT_EQ(info.machineId.size(), 38u);
  EXPECT_EQ(info.status, qrx::kEnvironmentNotMeet);
  EXPECT_EQ(info.wrapperError, 0);
  EXPECT_EQ(info.msiError, 0);
  EXPECT_EQ(info.installLanguage, 0);
  EXPECT_TRUE(info.productVersion.empty());
  EXPECT_TRUE(info.channelId.empty());
  EXPECT_EQ(info.architecture, qrx::GetArchitecture());
  EXPECT_EQ(info.os, qrx::GetOsName());
  EXPECT_EQ(info.language, qrx::GetUiLanguageIndex());
  ASSERT_EQ(info.properties.size(), 1u);
  ASSERT_EQ(info.properties.count(L"osbits"), 1u);
  EXPECT_EQ(info.properties.find(L"osbits")->second, L"64");
  qrx::SessionInfo other(qrx::kProductId, qrx::kManagerVersion);
  EXPECT_NE(other.requestToken, info.requestToken);
}

TEST(SessionInfo, PropertiesOrderByCodeUnit) {
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  info.properties[L"lang"] = L"en";
  info.properties[L"Zeta"] = L"1";
  info.properties[L"\u00e9"] = L"2";
  std::wstring keys;
  for (const auto& entry : info.properties) keys += entry.first + L",";
  EXPECT_EQ(keys, L"Zeta,lang,osbits,\u00e9,");
}

// Temp paths that GetTempPathW accepts but that leave no room for a working folder: the whole run
// goes on without a log (and, here, without pages) and leaves everything else in temp untouched.
TEST(RunSequence, TempPathWithoutRoomForWorkingFoldersLeavesTempUntouched) {
  TempDir base;
  for (size_t length : {252u, 254u, 258u}) {
    std::wstring temp = base.path();
    temp.append(length - 1 - temp.size(), L'l');
    temp += L'\\';
    ASSERT_EQ(temp.size(), length);
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    ASSERT_TRUE(qrxtest::WriteFileBytes(temp + L"o", "another program's file"));
    ASSERT_TRUE(CreateDirectoryW((temp + L"d").c_str(), nullptr));
    ASSERT_TRUE(qrxtest::WriteFileBytes(temp + L"d\\w", "another program's work"));
    const auto result = RunProcess(ProductCommand(), {{L"TMP", temp}, {L"TEMP", temp}}, 60000);
    ASSERT_TRUE(result.finished) << length;
    EXPECT_EQ(result.exitCode, 0u) << length;
    EXPECT_EQ(qrxtest::ReadFileBytes(temp + L"o"), "another program's file") << length;
    EXPECT_EQ(qrxtest::ReadFileBytes(temp + L"d\\w"), "another program's work") << length;
  }
}

bool MakeMarkedFolder(const std::wstring& folder, const std::string& marker) {
  return CreateDirectoryW(folder.c_str(), nullptr) && qrxtest::WriteFileBytes(folder + L"\\package.zip", "PK") &&
         (marker.empty() || qrxtest::WriteFileBytes(folder + L"\\" + qrx::kRunMarkerName, marker));
}

// A whole run removes what killed runs left under the working parent, and only that; a marked
// folder in the user's temp folder is never touched, whatever its marker says.
TEST(RunSequence, RunRemovesFoldersOfEndedRunsOnly) {
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  ASSERT_NE(ended.id, 0u);
  qrx::ProcessStamp self;
  ASSERT_TRUE(qrx::GetProcessStamp(GetCurrentProcess(), self));
  TempDir temp;
  const std::wstring parent = qrxtest::WorkingParent();
  ASSERT_FALSE(parent.empty());
  for (const wchar_t* name : {L"5eed1", L"5eed2", L"5eed3"}) qrx::DeleteFolderTree(parent + name);
  ASSERT_TRUE(MakeMarkedFolder(parent + L"5eed1", qrx::FormatMarkerLine(ended)));
  ASSERT_TRUE(MakeMarkedFolder(parent + L"5eed2", qrx::FormatMarkerLine(self)));
  ASSERT_TRUE(MakeMarkedFolder(parent + L"5eed3", ""));
  ASSERT_TRUE(MakeMarkedFolder(temp.path() + L"5eed4", qrx::FormatMarkerLine(ended)));
  const auto result = RunProcess(ProductCommand(), {{L"TMP", temp.path()}, {L"TEMP", temp.path()}}, 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_FALSE(qrxtest::FileExists(parent + L"5eed1"));
  EXPECT_TRUE(qrxtest::FileExists(parent + L"5eed2\\package.zip"));
  EXPECT_TRUE(qrxtest::FileExists(parent + L"5eed3\\package.zip"));
  EXPECT_EQ(qrxtest::ReadFileBytes(temp.path() + L"5eed4\\package.zip"), "PK");
  EXPECT_TRUE(qrxtest::FileExists(temp.path() + L"5eed4\\" + qrx::kRunMarkerName));
  for (const wchar_t* name : {L"5eed2", L"5eed3"}) qrx::DeleteFolderTree(parent + name);
}

TEST(LeftoverCleaner, StopEndsTheWorkerWithinItsLimit) {
  // Asked at once, the worker ends within the folder it is in; the wait is bounded either way.
  std::string log;
  {
    qrx::Logger logger;
    qrx::LeftoverCleaner cleaner(&logger);
    EXPECT_TRUE(cleaner.Stop(qrx::kCleanerStopTimeoutMs));
    log = qrxtest::ReadFileBytes(logger.path());
  }
  EXPECT_EQ(log.find("Leftover cleaner still running"), std::string::npos) << log;
}

TEST(LeftoverCleaner, WorkerRemovesEndedRunsFoldersAndLogsTheCount) {
  const qrx::ProcessStamp ended = qrxtest::EndedProcess();
  TempDir temp;
  qrxtest::ScopedEnv tmp(L"TMP", temp.path());
  qrxtest::ScopedEnv tempVariable(L"TEMP", temp.path());
  const std::wstring parent = qrxtest::WorkingParent();
  ASSERT_FALSE(parent.empty());
  ASSERT_TRUE(MakeMarkedFolder(parent + L"c0ffee", qrx::FormatMarkerLine(ended)));
  ASSERT_TRUE(MakeMarkedFolder(parent + L"c0ffef", qrx::FormatMarkerLine(ended)));
  ASSERT_TRUE(MakeMarkedFolder(temp.path() + L"c0ff00", qrx::FormatMarkerLine(ended)));
  std::string log;
  {
    qrx::Logger logger;
    {
      qrx::LeftoverCleaner cleaner(&logger);
      EXPECT_TRUE(cleaner.WaitForFinish(60000));
      EXPECT_TRUE(cleaner.Stop(qrx::kCleanerStopTimeoutMs));
    }
    log = qrxtest::ReadFileBytes(logger.path());
  }
  EXPECT_FALSE(qrxtest::FileExists(parent + L"c0ffee"));
  EXPECT_FALSE(qrxtest::FileExists(parent + L"c0ffef"));
  EXPECT_TRUE(qrxtest::FileExists(temp.path() + L"c0ff00\\package.zip"));
  // Other suites' killed runs may have left more; the line's shape and our two are what count.
  const size_t at = log.find(" DEBUG] Removed ");
  ASSERT_NE(at, std::string::npos) << log;
  const size_t end = log.find("\r\n", at);
  int removed = -1;
  char rest[128] = {};
  ASSERT_EQ(sscanf(log.substr(at).c_str(), " DEBUG] Removed %d folders of earlier runs, %127[^\r]", &removed, rest), 2);
  EXPECT_GE(removed, 2);
  EXPECT_STREQ(rest, "0 scheduled for removal at restart");
  EXPECT_EQ(log.find("still running"), std::string::npos) << log;
  EXPECT_NE(end, std::string::npos);
}

}  // namespace
