// The pure parts: result codes, counter text, file names.
#include <gtest/gtest.h>
#include <windows.h>
#include <urlmon.h>

#include <string>
#include <utility>
#include <vector>

#include "download/counter_text.h"
#include "download/download_file.h"
#include "download/download_result.h"
#include "download/retry_plan.h"

namespace {

using downloadmanagercore::CounterText;
using downloadmanagercore::DownloadResultCode;
using downloadmanagercore::FreeSpace;

FreeSpace Free(ULONGLONG bytes) {
  FreeSpace f;
  f.known = true;
  f.totalFreeBytes = bytes;
  return f;
}

TEST(DownloadResultCode, MapsEachAttemptOutcome) {
  const FreeSpace unknown;
  struct Case {
    HRESULT hr;
    FreeSpace freeSpace;
    int expected;
  } cases[] = {
      {S_OK, unknown, 0},
      {S_FALSE, unknown, 4},  // fewer bytes than announced: a clean close mid-body
      {E_PENDING, unknown, 1},  // the wait ended on WM_QUIT
      {E_ABORT, unknown, 1},
      {E_FAIL, unknown, 1},
      {static_cast<HRESULT>(0x80070002), unknown, 1},
      {static_cast<HRESULT>(0x8007007B), unknown, 1},  // invalid file name
      {static_cast<HRESULT>(0x80070005), unknown, 1},
      {INET_E_RESOURCE_NOT_FOUND, unknown, 2},
      {INET_E_OBJECT_NOT_FOUND, unknown, 2},
      {INET_E_RESOURCE_NOT_FOUND, Free(0), 2},
      {INET_E_DOWNLOAD_FAILURE, Free(0), 3},
      {INET_E_DOWNLOAD_FAILURE, Free(1), 4},
      {INET_E_DOWNLOAD_FAILURE, Free(0x100000000ULL), 4},  // exactly 4 GB free is not zero
      {INET_E_DOWNLOAD_FAILURE, unknown, 4},  // a failed query counts as space left
      {INET_E_CONNECTION_TIMEOUT, unknown, 4},
      {INET_E_CONNECTION_TIMEOUT, Free(0), 4},
      {static_cast<HRESULT>(0x80070070), unknown, 3},
      {static_cast<HRESULT>(0x80070070), Free(12345), 3},
      {static_cast<HRESULT>(0x00000070), unknown, 1},
      {INET_E_CANNOT_CONNECT, unknown, 1},
      // HTTP statuses in their own facility: the transient ones are retried.
      {static_cast<HRESULT>(0x80190198), unknown, 4},  // 408
      {static_cast<HRESULT>(0x801901AD), unknown, 4},  // 429
      {static_cast<HRESULT>(0x801901F4), unknown, 4},  // 500
      {static_cast<HRESULT>(0x801901F6), unknown, 4},  // 502
      {static_cast<HRESULT>(0x801901F7), unknown, 4},  // 503
      {static_cast<HRESULT>(0x801901F8), unknown, 4},  // 504
      {static_cast<HRESULT>(0x801901A0), unknown, 4},  // 416: a range answer we did not append
      {static_cast<HRESULT>(0x80190194), unknown, 2},  // 404
      {static_cast<HRESULT>(0x8019019A), unknown, 2},  // 410
      {static_cast<HRESULT>(0x80190190), unknown, 1},  // 400
      {static_cast<HRESULT>(0x80190193), unknown, 1},  // 403
      {static_cast<HRESULT>(0x801901F5), unknown, 1},  // 501
      {static_cast<HRESULT>(0x801901F9), unknown, 1},  // 505
      // WinINet's dropped-connection errors as the SDK documents them for Windows.
      {static_cast<HRESULT>(0x80072EFE), unknown, 4},  // connection aborted
      {static_cast<HRESULT>(0x80072EFF), unknown, 4},  // connection reset
      {static_cast<HRESULT>(0x80072EE2), unknown, 4},  // time-out
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadResultCode(c.hr, c.freeSpace), c.expected)
        << std::hex << c.hr << " known=" << c.freeSpace.known << " free=" << c.freeSpace.totalFreeBytes;
  }
}

TEST(CounterText, ReadsTheCounterAsSigned32Bit) {
  struct Case {
    unsigned long value;
    const wchar_t* expected;
  } cases[] = {
      {0, L"0"},
      {1, L"1"},
      {100, L"100"},
      {8192, L"8192"},
      {2147483647UL, L"2147483647"},
      {2147483648UL, L"-2147483648"},
      {3000000000UL, L"-1294967296"},
      {4294967291UL, L"-5"},
      {4294967295UL, L"-1"},
  };
  for (const Case& c : cases) EXPECT_EQ(CounterText(c.value), c.expected) << c.value;
}

TEST(DownloadFileName, IsTheLastSegmentUndecoded) {
  struct Case {
    const wchar_t* url;
    const wchar_t* name;
    bool plain;
  } cases[] = {
      {L"http://host/dir/setup.zip", L"setup.zip", true},
      {L"http://host/setup.zip", L"setup.zip", true},
      {L"http://host/a%20b.zip", L"a%20b.zip", true},
      {L"http://host/dir/setup.zip?lang=en", L"setup.zip?lang=en", true},  // the file system refuses it
      {L"http://host/dir/..", L"..", false},
      {L"http://host/dir/.", L".", false},
      {L"http://host/dir/", L"dir/", false},
      {L"setup.zip", L"setup.zip", true},
      {L"", L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(downloadmanagercore::DownloadFileName(c.url), c.name) << c.url;
    EXPECT_EQ(downloadmanagercore::IsPlainFileName(c.name), c.plain) << c.url;
  }
  EXPECT_FALSE(downloadmanagercore::IsPlainFileName(L"a\\b"));
}

}  // namespace

namespace {

// Feeds the retry plan a run of attempt outcomes (code, data received), each one reaching further
// when it had data; returns how many attempts were made.
int AttemptsMade(const std::vector<std::pair<int, bool>>& outcomes) {
  downloadmanagercore::RetryPlan plan(downloadmanagercore::RetryLimits(), 0);
  int attempts = 0;
  downloadmanagercore::AttemptOutcome outcome;
  for (const auto& step : outcomes) {
    ++attempts;
    outcome.code = step.first;
    outcome.dataReceived = step.second;
    if (step.second) outcome.furthestOffset += 1000;
    if (plan.After(outcome).stop != downloadmanagercore::RetryStop::kNone) return attempts;
  }
  return -1;  // the plan asked for more attempts than the run had
}

TEST(RetryPlan, TenTransientFailuresWithoutDataEndTheDownload) {
  EXPECT_EQ(AttemptsMade(std::vector<std::pair<int, bool>>(20, {4, false})), 10);
}

TEST(RetryPlan, OnlyTransientFailuresAreRetried) {
  for (int code : {0, 1, 2, 3}) {
    EXPECT_EQ(AttemptsMade({{code, false}, {0, false}}), 1) << code;
    EXPECT_EQ(AttemptsMade({{code, true}, {0, false}}), 1) << code;
  }
  EXPECT_EQ(AttemptsMade({{4, false}, {4, false}, {2, false}, {0, false}}), 3);
}

TEST(RetryPlan, AttemptsWithDataGoOnUntilOneHasNone) {
  // 25 attempts that each received data, then attempts that receive nothing: 25 + 10.
  std::vector<std::pair<int, bool>> run(25, {4, true});
  run.resize(60, {4, false});
  EXPECT_EQ(AttemptsMade(run), 35);
  // Data in the middle renews the whole budget.
  std::vector<std::pair<int, bool>> renewed(9, {4, false});
  renewed.push_back({4, true});
  renewed.resize(40, {4, false});
  EXPECT_EQ(AttemptsMade(renewed), 20);
  // A success after transient failures ends it.
  EXPECT_EQ(AttemptsMade({{4, false}, {4, true}, {4, false}, {0, false}}), 4);
}

}  // namespace

#include "download/fixture.h"
#include "download/pull_stream.h"
#include "log/logger.h"
#include "support/test_support.h"

namespace {

TEST(HttpStatusFailure, ErrorStatusesAreFailures) {
  struct Case {
    unsigned long status;
    HRESULT expected;
  } cases[] = {
      {200, S_OK}, {206, S_OK}, {304, S_OK}, {399, S_OK},
      {404, INET_E_RESOURCE_NOT_FOUND}, {410, INET_E_RESOURCE_NOT_FOUND},
      {400, INET_E_DATA_NOT_AVAILABLE}, {403, INET_E_DATA_NOT_AVAILABLE}, {416, INET_E_DATA_NOT_AVAILABLE},
      {501, INET_E_DATA_NOT_AVAILABLE}, {505, INET_E_DATA_NOT_AVAILABLE},
      {408, static_cast<HRESULT>(0x80190198)}, {429, static_cast<HRESULT>(0x801901AD)},
      {500, static_cast<HRESULT>(0x801901F4)}, {502, static_cast<HRESULT>(0x801901F6)},
      {503, static_cast<HRESULT>(0x801901F7)}, {504, static_cast<HRESULT>(0x801901F8)},
  };
  for (const Case& c : cases) EXPECT_EQ(downloadmanagercore::HttpStatusFailure(c.status), c.expected) << c.status;
  // A busy or failing server is retried; other client errors are plain errors.
  EXPECT_EQ(DownloadResultCode(downloadmanagercore::HttpStatusFailure(503), FreeSpace()), 4);
  EXPECT_EQ(DownloadResultCode(downloadmanagercore::HttpStatusFailure(403), FreeSpace()), 1);
  EXPECT_EQ(DownloadResultCode(downloadmanagercore::HttpStatusFailure(404), FreeSpace()), 2);
}

TEST(TransferDownloadError, WritesExactlyOneDebugLinePerCall) {
  qrxtest::TempDir logRoot;
  qrxtest::ScopedEnv tmp(L"TMP", logRoot.path());
  qrxtest::TempDir downloads;
  std::string log;
  {
    qrx::Logger logger;
    dltest::TestOwner owner(downloads.path(), &logger);
    EXPECT_EQ(downloadmanagercore::TransferDownloadError(owner, S_OK), 0);
    EXPECT_EQ(downloadmanagercore::TransferDownloadError(owner, S_FALSE), 4);
    // The download folder's volume has space: a download failure is transient.
    EXPECT_EQ(downloadmanagercore::TransferDownloadError(owner, INET_E_DOWNLOAD_FAILURE), 4);
    EXPECT_EQ(downloadmanagercore::TransferDownloadError(owner, static_cast<HRESULT>(0x80070070)), 3);
    log = qrxtest::ReadFileBytes(logger.path());
  }
  const char* expected[] = {"DEBUG] TransferDownloadError HRESULT: 0\r\n", "DEBUG] TransferDownloadError HRESULT: 1\r\n",
                            "DEBUG] TransferDownloadError HRESULT: 800c0008\r\n",
                            "DEBUG] TransferDownloadError HRESULT: 80070070\r\n"};
  size_t at = 0;
  int lines = 0;
  for (size_t end = log.find('\n'); end != std::string::npos; at = end + 1, end = log.find('\n', at)) {
    const std::string line = log.substr(at, end + 1 - at);
    ASSERT_LT(lines, 4) << line;
    const std::string tail = expected[lines];
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    ++lines;
  }
  EXPECT_EQ(lines, 4);
}

}  // namespace
