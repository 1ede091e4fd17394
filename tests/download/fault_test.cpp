// Downloads from a server that misbehaves on demand: stalls, resets, short closes, busy answers,
// range answers that must not be appended, a file replaced mid-download, a slow drip. Each must
// end with the whole, right file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "download/fixture.h"
#include "common/unique_any.h"
#include "support/test_support.h"

namespace {

using dltest::DownloadTest;
using dltest::DownloadThread;
using dltest::ExpectedBody;
using dltest::FaultStats;
using dltest::FaultStatsOf;
using dltest::ServerUrl;
using dltest::UniqueTag;
using qrxtest::ReadFileBytes;

const size_t kSize = 2000000;

std::string FaultPath(const std::string& plan, size_t size = kSize) {
  return "/fault/" + std::to_string(size) + "/" + plan + "/" + UniqueTag() + "/package.bin";
}

std::wstring WithHash(const std::string& path, const std::string& hashPath) {
  return ServerUrl(path) + L"#sha256=" + [&] {
    const std::string hex = dltest::ServerGet(hashPath);
    return std::wstring(hex.begin(), hex.end());
  }();
}

// Milliseconds between two log lines' time stamps ("[20261208 13:20:01 123 DEBUG] ...", the
// milliseconds padded with blanks): read by whitespace.
long long StampMs(const std::string& line) {
  int date = 0, hour = 0, minute = 0, second = 0, millis = 0;
  if (sscanf(line.c_str(), "[%d %d:%d:%d %d", &date, &hour, &minute, &second, &millis) != 5) return -1;
  return ((static_cast<long long>(hour) * 60 + minute) * 60 + second) * 1000 + millis;
}

class FaultTest : public DownloadTest {
 protected:
  // The whole log line (with its stamp) that contains `text`; empty when none.
  std::string FullLine(const std::string& text) {
    const std::string log = Log();
    const size_t at = log.find(text);
    if (at == std::string::npos) return std::string();
    const size_t start = log.rfind('\n', at);
    return log.substr(start == std::string::npos ? 0 : start + 1, log.find('\r', at) - (start + 1));
  }

  // Downloads `path` with its version-1 hash and checks the whole file arrived.
  FaultStats DownloadWhole(const std::string& path, DWORD timeoutMs = 90000) {
    EXPECT_EQ(Download(WithHash(path, "/_control/sha256/" + std::to_string(kSize)), timeoutMs), 0);
    EXPECT_EQ(ReadFileBytes(downloads_.Join(L"package.bin")), ExpectedBody(kSize));
    EXPECT_EQ(owner_.Property(L"downloadTotal"), std::to_wstring(kSize));
    EXPECT_EQ(owner_.Property(L"downloadCurrent"), std::to_wstring(kSize));
    return FaultStatsOf(path.substr(0, path.size()));
  }

  void PrintAttempts(const char* name) {
    for (const std::string& line : LogLines("Download attempt ")) printf("measure: %s: %s\n", name, line.c_str());
    for (const std::string& line : LogLines("Download res")) printf("measure: %s: %s\n", name, line.c_str());
  }
};

TEST_F(FaultTest, AStallIsAbortedWithinTheStallLimitAndTheRestIsAskedFor) {
  const std::string path = FaultPath("stall:600000,ok");
  const FaultStats stats = DownloadWhole(path);
  PrintAttempts("stall");
  ASSERT_EQ(stats.requests.size(), 2u);
  const std::vector<std::string> ended = LogLines("Download attempt 1 ended: ");
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].rfind("Download attempt 1 ended: stalled, HRESULT 800c000b, ", 0), 0u) << ended[0];
  // By the log's stamps: from the attempt's start to its end, at most the stall limit plus 2 s.
  const long long took = StampMs(FullLine("] Download attempt 1 ended: ")) - StampMs(FullLine("] Download attempt 1 from"));
  printf("measure: stall attempt ended after %lld ms (limit 5000 ms)\n", took);
  EXPECT_GE(took, 5000);
  EXPECT_LE(took, 7000);
  // What the first attempt kept is what the second one asks for, against the first validator.
  const long long kept = stats.requests[1].rangeStart;
  printf("measure: stall after 600000 bytes sent: %lld kept, %lld lost\n", kept, 600000 - (kept < 0 ? 0 : kept));
  if (kept > 0) {
    EXPECT_EQ(stats.requests[1].status, "206");
    EXPECT_EQ(stats.requests[1].ifRange.substr(0, 4), "\"v1-");
    EXPECT_EQ(LogLines("Download resumes"),
              std::vector<std::string>{"Download resumes at byte " + std::to_string(kept) + " of 2000000"});
  }
}

TEST_F(FaultTest, AResetMidBodyIsRetriedAndResumed) {
  const std::string path = FaultPath("reset:600000,ok");
  const FaultStats stats = DownloadWhole(path);
  PrintAttempts("reset");
  ASSERT_EQ(stats.requests.size(), 2u);
  EXPECT_LE(stats.bytesSent, static_cast<long long>(kSize) + 600000);
}

TEST_F(FaultTest, ACleanShortCloseIsResumedWhereItStopped) {
  const std::string path = FaultPath("short:600000,ok");
  const FaultStats stats = DownloadWhole(path);
  PrintAttempts("short");
  ASSERT_EQ(stats.requests.size(), 2u);
  EXPECT_EQ(LogLines("Download attempt 1 ended: "),
            std::vector<std::string>{"Download attempt 1 ended: closed short, HRESULT 1, 600000 bytes received"});
  EXPECT_EQ(stats.requests[1].rangeStart, 600000);
  EXPECT_EQ(stats.requests[1].status, "206");
  EXPECT_EQ(stats.bytesSent, static_cast<long long>(kSize));
  EXPECT_EQ(LogLines("Download resumes"), std::vector<std::string>{"Download resumes at byte 600000 of 2000000"});
}

TEST_F(FaultTest, FiveCutsLoseNoBytes) {
  const std::string path = FaultPath("short:300000*5,ok");
  const FaultStats stats = DownloadWhole(path);
  ASSERT_EQ(stats.requests.size(), 6u);
  for (size_t i = 1; i < stats.requests.size(); ++i) {
    EXPECT_EQ(stats.requests[i].rangeStart, static_cast<long long>(300000 * i)) << i;
  }
  printf("measure: five clean cuts: %lld bytes sent for %u (%.4f)\n", stats.bytesSent, static_cast<unsigned>(kSize),
         static_cast<double>(stats.bytesSent) / kSize);
  EXPECT_LE(stats.bytesSent, static_cast<long long>(kSize * 105 / 100));
}

TEST_F(FaultTest, BusyServersAreWaitedForAsTheyAsk) {
  for (const char* status : {"503", "429"}) {
    const std::string path = FaultPath(std::string("busy:") + status + ":1,ok");
    const FaultStats stats = DownloadWhole(path);
    ASSERT_EQ(stats.requests.size(), 2u) << status;
    EXPECT_EQ(stats.requests[0].status, status);
  }
  EXPECT_EQ(LogLines("Download waits "), (std::vector<std::string>{"Download waits 1000 ms before attempt 2",
                                                                   "Download waits 1000 ms before attempt 2"}));
  EXPECT_EQ(LogLines("Download attempt 1 ended: "),
            (std::vector<std::string>{"Download attempt 1 ended: HTTP 503, HRESULT 801901f7, 0 bytes received",
                                      "Download attempt 1 ended: HTTP 429, HRESULT 801901ad, 0 bytes received"}));
  // The wait is real: the next attempt starts a second after the busy answer.
  const long long waited = StampMs(FullLine("] Download attempt 2 from")) - StampMs(FullLine("] Download waits"));
  EXPECT_GE(waited, 900);
}

TEST_F(FaultTest, ARetryAfterBeyondTwoMinutesEndsTheDownloadAtOnce) {
  const std::string path = FaultPath("busy:503:121,ok");
  EXPECT_EQ(Download(ServerUrl(path)), 4);
  EXPECT_EQ(FaultStatsOf(path).requests.size(), 1u);
  EXPECT_EQ(LogLines("Download gives up"),
            std::vector<std::string>{"Download gives up: the server asks to retry after 121 s"});
}

TEST_F(FaultTest, OtherClientErrorsAreNotRetried) {
  const std::string path = FaultPath("busy:403:1,ok");
  EXPECT_EQ(Download(ServerUrl(path)), 1);
  EXPECT_EQ(FaultStatsOf(path).requests.size(), 1u);
}

TEST_F(FaultTest, AServerWithoutRangesSendsTheWholeFileAgain) {
  const std::string path = FaultPath("short:600000,norange");
  const FaultStats stats = DownloadWhole(path);
  ASSERT_EQ(stats.requests.size(), 2u);
  EXPECT_EQ(stats.requests[1].rangeStart, 600000);
  EXPECT_EQ(stats.requests[1].status, "200");
  EXPECT_EQ(LogLines("Download restarts"), std::vector<std::string>{"Download restarts from byte 0: whole file sent"});
}

TEST_F(FaultTest, AWrongContentRangeIsNeverAppended) {
  const std::string path = FaultPath("short:600000,badrange,ok");
  const FaultStats stats = DownloadWhole(path);
  PrintAttempts("badrange");
  ASSERT_EQ(stats.requests.size(), 3u);
  EXPECT_EQ(stats.requests[1].status, "206");
  EXPECT_EQ(stats.requests[2].rangeStart, -1) << "the third attempt starts from byte 0";
  EXPECT_EQ(LogLines("Download restarts"), std::vector<std::string>{"Download restarts from byte 0: wrong range"});
  EXPECT_EQ(LogLines("Download attempt 2 ended: "),
            std::vector<std::string>{"Download attempt 2 ended: range refused, HRESULT 801901a0, 0 bytes received"});
}

TEST_F(FaultTest, ARefusedRangeStartsAgainFromByteZero) {
  const std::string path = FaultPath("short:600000,unsat,ok");
  const FaultStats stats = DownloadWhole(path);
  ASSERT_EQ(stats.requests.size(), 3u);
  EXPECT_EQ(stats.requests[1].status, "416");
  EXPECT_EQ(stats.requests[2].rangeStart, -1) << "the third attempt starts from byte 0";
  EXPECT_EQ(LogLines("Download restarts"),
            std::vector<std::string>{"Download restarts from byte 0: range not satisfiable"});
  EXPECT_EQ(LogLines("Download attempt 2 ended: "),
            std::vector<std::string>{"Download attempt 2 ended: range refused, HRESULT 801901a0, 0 bytes received"});
}

TEST_F(FaultTest, AFileReplacedMidDownloadIsFetchedWholeAgain) {
  // The server publishes a new version between the attempts; the page passes the new version's
  // hash, so a file stitched from both would fail.
  const std::string path = FaultPath("short:600000,newetag");
  EXPECT_EQ(Download(WithHash(path, "/_control/sha256v2/" + std::to_string(kSize))), 0);
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"package.bin")), ExpectedBody(kSize, 7));
  const FaultStats stats = FaultStatsOf(path);
  ASSERT_EQ(stats.requests.size(), 2u);
  EXPECT_EQ(stats.requests[1].rangeStart, 600000);
  EXPECT_EQ(stats.requests[1].status, "200");
  EXPECT_EQ(LogLines("Download restarts"), std::vector<std::string>{"Download restarts from byte 0: whole file sent"});
}

// A failed download's kept bytes, handed to the next call for the same URL: that call asks for
// the rest against the first validator and no byte comes twice. A server that published another
// version meanwhile answers the range with its whole new file, which is written from byte 0: the
// hash of the new version matches only a file that holds nothing of the old one.
TEST_F(FaultTest, ASecondCallResumesWhatAFailedCallKept) {
  struct Case {
    const char* plan;
    const char* hashPath;
    unsigned seed;             // the version the file must hold
    const char* secondStatus;  // the answer to the second call's range request
    long long bytesSent;
    size_t restarts;           // "Download restarts" lines of the second call
  };
  const Case cases[] = {
      {"short:600000,busy:403:1,ok", "/_control/sha256/", 0, "206", static_cast<long long>(kSize), 0},
      {"short:600000,busy:403:1,newetag", "/_control/sha256v2/", 7, "200", static_cast<long long>(kSize) + 600000, 1},
  };
  for (const Case& c : cases) {
    const std::string path = FaultPath(c.plan);
    const std::wstring url = WithHash(path, c.hashPath + std::to_string(kSize));
    downloadmanagercore::ResumeState resume;
    EXPECT_EQ(Download(url, 60000, &resume), 1) << c.plan;
    EXPECT_EQ(resume.kept, 600000u) << c.plan;
    EXPECT_EQ(resume.path, downloads_.Join(L"package.bin")) << c.plan;
    EXPECT_EQ(ReadFileBytes(resume.path), ExpectedBody(600000)) << c.plan;
    const size_t restartsBefore = LogLines("Download restarts").size();
    EXPECT_EQ(Download(url, 60000, &resume), 0) << c.plan;
    EXPECT_EQ(ReadFileBytes(downloads_.Join(L"package.bin")), ExpectedBody(kSize, c.seed)) << c.plan;
    EXPECT_EQ(owner_.Property(L"downloadCurrent"), std::to_wstring(kSize)) << c.plan;
    const FaultStats stats = FaultStatsOf(path);
    ASSERT_EQ(stats.requests.size(), 3u) << c.plan;
    EXPECT_EQ(stats.requests[1].status, "403") << c.plan;
    EXPECT_EQ(stats.requests[2].rangeStart, 600000) << c.plan;
    EXPECT_EQ(stats.requests[2].ifRange.substr(0, 4), "\"v1-") << c.plan;
    EXPECT_EQ(stats.requests[2].status, c.secondStatus) << c.plan;
    EXPECT_EQ(stats.bytesSent, c.bytesSent) << c.plan;
    EXPECT_EQ(LogLines("Download restarts").size() - restartsBefore, c.restarts) << c.plan;
  }
}

TEST_F(FaultTest, LastModifiedServesAsTheValidatorWithoutAnETag) {
  const std::string path = FaultPath("lm,short:600000,ok");
  const FaultStats stats = DownloadWhole(path);
  ASSERT_EQ(stats.requests.size(), 2u);
  EXPECT_EQ(stats.requests[1].ifRange, "Sun, 06 Nov 2026 08:49:37 GMT");
  EXPECT_EQ(stats.requests[1].status, "206");
}

TEST_F(FaultTest, ASlowDripNeverTripsTheWatchdog) {
  // 16 KB a second for eight seconds, longer than the test build's stall limit of 5 s.
  const std::string path = FaultPath("drip:131072");
  const FaultStats stats = DownloadWhole(path);
  EXPECT_EQ(stats.requests.size(), 1u);
  EXPECT_TRUE(LogLines("Download waits").empty());
}

TEST_F(FaultTest, NoFirstByteEndsTheAttemptAtTheFirstByteLimit) {
  const std::string path = FaultPath("stall:0,ok");
  const FaultStats stats = DownloadWhole(path);
  PrintAttempts("no first byte");
  ASSERT_EQ(stats.requests.size(), 2u);
  const long long took = StampMs(FullLine("] Download attempt 1 ended: ")) - StampMs(FullLine("] Download attempt 1 from"));
  printf("measure: headers without a body: attempt ended after %lld ms\n", took);
  EXPECT_LE(took, 12000);
}

TEST_F(FaultTest, TheStopEventEndsAWaitAtOnce) {
  qrx::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  owner_.SetStopEvent(stop.get());
  const std::string path = FaultPath("busy:503:100,ok");
  DownloadThread thread(owner_, ServerUrl(path));
  const DWORD start = GetTickCount();
  while (LogLines("Download waits").empty() && GetTickCount() - start < 20000) Sleep(20);  // bounded poll
  ASSERT_EQ(LogLines("Download waits"), std::vector<std::string>{"Download waits 100000 ms before attempt 2"});
  const DWORD asked = GetTickCount();
  SetEvent(stop.get());
  EXPECT_TRUE(thread.Wait(5000));
  printf("measure: stop during a wait ended the download after %lu ms\n", GetTickCount() - asked);
  EXPECT_EQ(thread.code(), 4);
  EXPECT_EQ(FaultStatsOf(path).requests.size(), 1u);
  owner_.SetStopEvent(nullptr);
}

}  // namespace
