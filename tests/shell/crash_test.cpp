#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/crash_filter.h"
#include "support/report_server.h"
#include "support/test_support.h"

namespace {

using qrxtest::RecordedRequest;
using qrxtest::ReportServer;

uint32_t Read32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8) |
         (static_cast<uint8_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}

// The thread id of the dump's exception stream; 0 when there is none.
uint32_t ExceptionThreadId(const std::string& dump) {
  if (dump.size() < 32) return 0;
  const uint32_t streams = Read32(dump, 8);
  const uint32_t directory = Read32(dump, 12);
  for (uint32_t i = 0; i < streams; ++i) {
    const size_t entry = directory + 12 * static_cast<size_t>(i);
    if (entry + 12 > dump.size()) return 0;
    // ExceptionStream (6) starts with the thread id.
    if (Read32(dump, entry) == 6) {
      const uint32_t rva = Read32(dump, entry + 8);
      return rva + 4 <= dump.size() ? Read32(dump, rva) : 0;
    }
  }
  return 0;
}

class Crash : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(Crash, DumpIsPutWithAnEmptyTokenAndLeavesNothingBehind) {
  ReportServer server;
  ASSERT_TRUE(server.Start(80)) << "port 80 stayed taken";
  qrxtest::TempDir temp;
  qrxtest::TempDir scratch;
  const std::wstring idFile = scratch.Join(L"thread.txt");
  const std::wstring command =
      std::wstring(L"\"") + QRX_TEST_CRASH_PROGRAM + L"\" " + GetParam() + L" \"" + idFile + L"\"";
  const DWORD start = GetTickCount();
  // Wine's MiniDumpWriteDump walks every loaded module, host libraries included: from under a
  // second to about a minute on a loaded machine.
  const auto result = qrxtest::RunProcess(command, {{L"TMP", temp.path()}, {L"TEMP", temp.path()}}, 180000);
  ASSERT_TRUE(result.started);
  ASSERT_TRUE(result.finished) << "a dialog or a hang would keep the process alive";
  EXPECT_EQ(result.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << "ended by the system, no dialog";
  std::printf("crash report run: %lu ms\n", GetTickCount() - start);

  const std::string threadId = qrxtest::ReadFileBytes(idFile);
  ASSERT_FALSE(threadId.empty());
  RecordedRequest request;
  ASSERT_TRUE(server.WaitFor(
      [](const RecordedRequest& r) { return r.path == "/v1/reportError" && r.body.compare(0, 4, "MDMP") == 0; },
      5000, &request));
  EXPECT_EQ(request.verb, "PUT");
  EXPECT_EQ(request.query.substr(0, 17), "token=&machineId=");
  EXPECT_EQ(request.query.size(), 17u + 38u) << request.query;
  EXPECT_EQ(request.Header("Content-Type"), "application/xml");
  EXPECT_EQ(request.Header("User-Agent"), "Norvane Message Client/1.0");
  EXPECT_TRUE(request.bodyComplete);
  EXPECT_EQ(std::to_string(ExceptionThreadId(request.body)), threadId) << "the crashing thread's id";
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp.path())) << "no dlm.dmp and no folder";
}

INSTANTIATE_TEST_SUITE_P(Threads, Crash, ::testing::Values(L"worker", L"main"));

TEST(CrashFilter, InstallingPutsTheFilterInPlaceWithDbgHelpFromTheSystemFolder) {
  const bool loadedBefore = GetModuleHandleW(L"dbghelp.dll") != nullptr;
  const LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(nullptr);
  const bool found = qrx::InstallCrashFilter();
  // The test program's own filter goes back; what it replaces must be ours.
  const LPTOP_LEVEL_EXCEPTION_FILTER installed = SetUnhandledExceptionFilter(previous);
  ASSERT_TRUE(found);
  EXPECT_EQ(installed, &qrx::CrashFilter);
  HMODULE dbghelp = GetModuleHandleW(L"dbghelp.dll");
  ASSERT_NE(dbghelp, nullptr) << "loaded before any crash";
  wchar_t loaded[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(dbghelp, loaded, MAX_PATH), 0u);
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  EXPECT_EQ(_wcsicmp(loaded, (std::wstring(system) + L"\\dbghelp.dll").c_str()), 0) << qrxtest::Narrow(loaded);
  // Under Wine the test program has DbgHelp loaded already; this says whether.
  std::printf("measure: dbghelp.dll %s loaded before the filter was installed\n", loadedBefore ? "was" : "was not");
}

}  // namespace
