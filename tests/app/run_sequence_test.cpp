#include <gtest/gtest.h>
#include <windows.h>

#include "app/run_sequence.h"
#include "app/session_info.h"
#include "common/unique_any.h"
#include "support/test_support.h"
#include "sysinfo/languages.h"
#include "sysinfo/os_facts.h"

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
  EXPECT_EQ(info.properties.at(L"osbits"), L"64");
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

}  // namespace
