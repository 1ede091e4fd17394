// The decisions of retrying and resuming as pure functions: transient or not, the wait, the
// budget and the no-progress limit, Retry-After, the range answer, and the exact log lines.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "download/attempt_log.h"
#include "download/download_result.h"
#include "download/http_answer.h"
#include "download/resume_plan.h"
#include "download/retry_plan.h"
#include "log/logger.h"
#include "support/test_support.h"

namespace {

using namespace downloadmanagercore;

TEST(TransientStatus, OnlyBusyAndFailingServersAreRetried) {
  for (unsigned long status : {408UL, 429UL, 500UL, 502UL, 503UL, 504UL}) {
    EXPECT_TRUE(IsTransientHttpStatus(status)) << status;
  }
  for (unsigned long status : {200UL, 206UL, 400UL, 401UL, 403UL, 404UL, 410UL, 416UL, 501UL, 505UL, 599UL}) {
    EXPECT_FALSE(IsTransientHttpStatus(status)) << status;
  }
  EXPECT_EQ(HttpStatusHResult(503), static_cast<HRESULT>(0x801901F7));
}

TEST(BackoffWait, DoublesFromOneSecondUpToThirty) {
  const RetryLimits shipped;
  struct Case {
    int doublings;
    DWORD waitMs;
  } cases[] = {{0, 1000}, {1, 2000}, {2, 4000}, {3, 8000}, {4, 16000}, {5, 30000}, {6, 30000}, {40, 30000}};
  for (const Case& c : cases) EXPECT_EQ(BackoffWaitMs(shipped, c.doublings), c.waitMs) << c.doublings;
  RetryLimits test;
  test.firstWaitMs = 100;
  test.longestWaitMs = 3000;
  EXPECT_EQ(BackoffWaitMs(test, 0), 100u);
  EXPECT_EQ(BackoffWaitMs(test, 5), 3000u);
}

// One attempt of a run fed to the plan: code, data, Retry-After (ms, or -1), furthest offset,
// clock; and what the plan must answer.
struct Step {
  int code;
  bool data;
  long long retryAfterMs;
  ULONGLONG furthest;
  ULONGLONG nowMs;
  RetryStop stop;
  DWORD waitMs;
};

void RunSteps(const char* name, const std::vector<Step>& steps) {
  RetryPlan plan(RetryLimits(), 0);
  int index = 0;
  for (const Step& s : steps) {
    AttemptOutcome outcome;
    outcome.code = s.code;
    outcome.dataReceived = s.data;
    outcome.hasRetryAfter = s.retryAfterMs >= 0;
    outcome.retryAfterMs = s.retryAfterMs >= 0 ? static_cast<ULONGLONG>(s.retryAfterMs) : 0;
    outcome.furthestOffset = s.furthest;
    outcome.nowMs = s.nowMs;
    const RetryDecision d = plan.After(outcome);
    EXPECT_EQ(static_cast<int>(d.stop), static_cast<int>(s.stop)) << name << " step " << index;
    EXPECT_EQ(d.code, s.code) << name << " step " << index;
    if (s.stop == RetryStop::kNone) {
      EXPECT_EQ(d.waitMs, s.waitMs) << name << " step " << index;
    }
    ++index;
  }
}

const RetryStop kGo = RetryStop::kNone;

TEST(RetryPlan, WaitsDoubleAndTheBudgetEndsEmptyAttempts) {
  std::vector<Step> steps;
  const DWORD waits[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000, 30000};
  for (DWORD w : waits) steps.push_back({4, false, -1, 0, 0, kGo, w});
  steps.push_back({4, false, -1, 0, 0, RetryStop::kBudgetSpent, 0});
  RunSteps("empty attempts", steps);
}

TEST(RetryPlan, AnAttemptWithDataWaitsOneSecondAgain) {
  RunSteps("data resets", {{4, false, -1, 0, 0, kGo, 1000},
                           {4, false, -1, 0, 0, kGo, 2000},
                           {4, false, -1, 0, 0, kGo, 4000},
                           {4, true, -1, 500, 10, kGo, 1000},
                           {4, false, -1, 500, 20, kGo, 2000},
                           {4, true, -1, 900, 30, kGo, 1000}});
}

TEST(RetryPlan, RetryAfterIsHonouredUpTo120Seconds) {
  RunSteps("retry-after 1", {{4, false, 1000, 0, 0, kGo, 1000}});
  RunSteps("retry-after 0 keeps the backoff", {{4, false, 0, 0, 0, kGo, 1000}, {4, false, 0, 0, 0, kGo, 2000}});
  RunSteps("retry-after 5", {{4, false, 5000, 0, 0, kGo, 5000}});
  RunSteps("backoff longer than retry-after",
           {{4, false, -1, 0, 0, kGo, 1000}, {4, false, -1, 0, 0, kGo, 2000}, {4, false, 1000, 0, 0, kGo, 4000}});
  RunSteps("retry-after 120", {{4, false, 120000, 0, 0, kGo, 120000}});
  RunSteps("retry-after 121", {{4, false, 121000, 0, 0, RetryStop::kRetryTooLong, 0}});
  // Only a transient answer is retried at all: a 403 with Retry-After ends at once with its code.
  RunSteps("not transient", {{1, false, 1000, 0, 0, RetryStop::kFinal, 0}});
}

TEST(RetryPlan, ThirtyMinutesWithoutReachingFurtherEndTheDownload) {
  const ULONGLONG minute = 60000;
  // A server that sends the same first bytes each time and then stalls: data every attempt, but
  // the furthest offset stays where it was.
  RunSteps("sends a little and stalls", {{4, true, -1, 1000, 1 * minute, kGo, 1000},
                                         {4, true, -1, 1000, 10 * minute, kGo, 1000},
                                         {4, true, -1, 1000, 29 * minute, kGo, 1000},
                                         {4, true, -1, 1000, 31 * minute, RetryStop::kNoProgress, 0}});
  // Growing now and then keeps it going.
  RunSteps("grows", {{4, true, -1, 1000, 20 * minute, kGo, 1000},
                     {4, true, -1, 2000, 40 * minute, kGo, 1000},
                     {4, true, -1, 2000, 69 * minute, kGo, 1000},
                     {4, true, -1, 2000, 70 * minute, RetryStop::kNoProgress, 0}});
  // A success is a success even after a long time.
  RunSteps("success", {{0, true, -1, 1000, 100 * minute, RetryStop::kFinal, 0}});
}

TEST(HeaderValue, FindsTheFirstHeaderOfTheName) {
  const std::wstring headers =
      L"HTTP/1.1 206 Partial Content\r\nContent-Length: 100\r\netag:  \"abc\" \r\nContent-Range: bytes 5-104/105\r\n"
      L"X-Empty:\r\nRetry-After: 7\r\nRetry-After: 9\r\n\r\n";
  struct Case {
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {{L"Content-Length", L"100"}, {L"ETag", L"\"abc\""},     {L"content-range", L"bytes 5-104/105"},
               {L"X-Empty", L""},          {L"Retry-After", L"7"},      {L"Last-Modified", L""},
               {L"HTTP/1.1 206 Partial Content", L""}, {L"Content", L""}};
  for (const Case& c : cases) EXPECT_EQ(HeaderValue(headers, c.name), c.value) << c.name;
  HttpAnswer answer;
  ParseHttpAnswer(206, headers, answer);
  EXPECT_EQ(answer.status, 206u);
  EXPECT_TRUE(answer.hasLength);
  EXPECT_EQ(answer.length, 100u);
  EXPECT_EQ(answer.retryAfter, L"7");
  EXPECT_EQ(answer.etag, L"\"abc\"");
  EXPECT_EQ(answer.contentRange, L"bytes 5-104/105");
  EXPECT_EQ(answer.lastModified, L"");
  ParseHttpAnswer(200, L"HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n", answer);
  EXPECT_FALSE(answer.hasLength);
  EXPECT_EQ(answer.etag, L"");
  EXPECT_EQ(answer.retryAfter, L"");
}

TEST(ContentRange, ParsesOnlyWellFormedByteRanges) {
  struct Case {
    const wchar_t* text;
    bool ok;
    ULONGLONG first, last, total;
    bool totalKnown;
  } cases[] = {
      {L"bytes 0-99/100", true, 0, 99, 100, true},
      {L"bytes 500-999/1000", true, 500, 999, 1000, true},
      {L"BYTES 1-1/2", true, 1, 1, 2, true},
      {L"bytes 5-9/*", true, 5, 9, 0, false},
      {L"bytes 10-5/100", false, 0, 0, 0, false},
      {L"bytes 0-100/100", false, 0, 0, 0, false},
      {L"bytes */100", false, 0, 0, 0, false},
      {L"bytes 0-99/100x", false, 0, 0, 0, false},
      {L"items 0-99/100", false, 0, 0, 0, false},
      {L"", false, 0, 0, 0, false},
      {L"bytes 99999999999999999999-1/2", false, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    ContentRange range;
    EXPECT_EQ(ParseContentRange(c.text, range), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(range.first, c.first) << c.text;
    EXPECT_EQ(range.last, c.last) << c.text;
    EXPECT_EQ(range.total, c.total) << c.text;
    EXPECT_EQ(range.totalKnown, c.totalKnown) << c.text;
  }
}

TEST(RetryAfter, SecondsOrAnHttpDate) {
  // Sun, 06 Nov 1994 08:49:37 GMT
  const ULONGLONG when = 784111777;
  struct Case {
    const wchar_t* text;
    ULONGLONG now;
    bool ok;
    ULONGLONG waitMs;
  } cases[] = {
      {L"1", 0, true, 1000},
      {L" 120 ", 0, true, 120000},
      {L"0", 0, true, 0},
      {L"121", 0, true, 121000},
      {L"99999999999999999999999", 0, true, 0xFFFFFFFFULL * 1000},
      {L"-1", 0, false, 0},
      {L"1.5", 0, false, 0},
      {L"soon", 0, false, 0},
      {L"", 0, false, 0},
      {L"Sun, 06 Nov 1994 08:49:37 GMT", when - 10, true, 10000},
      {L"Sunday, 06-Nov-94 08:49:37 GMT", when - 10, true, 10000},
      {L"Sun Nov  6 08:49:37 1994", when - 120, true, 120000},
      {L"Sun, 06 Nov 1994 08:49:37 GMT", when + 5, true, 0},  // in the past: at once
      {L"Sun, 06 Nov 1994 08:51:38 GMT", when, true, 121000},
      {L"Thu, 31 Feb 1994 08:49:37 GMT", 0, false, 0},
      {L"Sun, 06 Nov 1994 25:49:37 GMT", 0, false, 0},
      {L"Sun, 06 Foo 1994 08:49:37 GMT", 0, false, 0},
      {L"Sun, 06 Nov 1994 GMT", 0, false, 0},
  };
  for (const Case& c : cases) {
    ULONGLONG wait = 12345;
    EXPECT_EQ(ParseRetryAfter(c.text, c.now, wait), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(wait, c.waitMs) << c.text;
    }
  }
  ULONGLONG seconds = 0;
  ASSERT_TRUE(ParseHttpDate(L"Sun, 06 Nov 1994 08:49:37 GMT", seconds));
  EXPECT_EQ(seconds, when);
  ASSERT_TRUE(ParseHttpDate(L"Tue, 29 Feb 2028 00:00:00 GMT", seconds));
  EXPECT_EQ(seconds, 1835395200u);
  EXPECT_FALSE(ParseHttpDate(L"Thu, 29 Feb 2029 00:00:00 GMT", seconds));
}

ResumeBasis BasisOf(const HttpAnswer& first) {
  ResumeBasis basis;
  TakeBasis(first, basis);
  return basis;
}

HttpAnswer Answer(unsigned long status, const wchar_t* etag, const wchar_t* lastModified, const wchar_t* range,
                  long long length = -1) {
  HttpAnswer a;
  a.status = status;
  a.etag = etag;
  a.lastModified = lastModified;
  a.contentRange = range;
  a.hasLength = length >= 0;
  a.length = length >= 0 ? static_cast<ULONGLONG>(length) : 0;
  return a;
}

TEST(ResumePlan, TheFirstAnswerGivesTheValidator) {
  struct Case {
    const wchar_t* etag;
    const wchar_t* lastModified;
    const wchar_t* validator;
  } cases[] = {
      {L"\"v1\"", L"Sun, 06 Nov 1994 08:49:37 GMT", L"\"v1\""},
      {L"W/\"v1\"", L"Sun, 06 Nov 1994 08:49:37 GMT", L"Sun, 06 Nov 1994 08:49:37 GMT"},
      {L"", L"Sun, 06 Nov 1994 08:49:37 GMT", L"Sun, 06 Nov 1994 08:49:37 GMT"},
      {L"v1", L"", L""},  // unquoted: not a strong tag
      {L"W/\"v1\"", L"", L""},
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    const ResumeBasis basis = BasisOf(Answer(200, c.etag, c.lastModified, L"", 1000));
    EXPECT_EQ(basis.validator, c.validator) << c.etag;
    EXPECT_EQ(basis.length, 1000u);
  }
}

TEST(ResumePlan, AttemptsAfterDataAskForTheRestOnlyWithAValidatorAndALength) {
  const ResumeBasis tagged = BasisOf(Answer(200, L"\"v1\"", L"", L"", 1000));
  const ResumeBasis bare = BasisOf(Answer(200, L"", L"", L"", 1000));
  const ResumeBasis unsized = BasisOf(Answer(200, L"\"v1\"", L"", L""));
  const ResumeBasis unknown;
  struct Case {
    const ResumeBasis* basis;
    ULONGLONG offset;
    RestartReason expected;
  } cases[] = {
      {&tagged, 400, RestartReason::kNone}, {&tagged, 1, RestartReason::kNone},
      {&tagged, 0, RestartReason::kNone},  // nothing kept: a plain request
      {&tagged, 1000, RestartReason::kNoLength}, {&bare, 400, RestartReason::kNoValidator},
      {&unknown, 400, RestartReason::kNoValidator},  // no first answer was seen
      {&unsized, 400, RestartReason::kNoLength},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(RangeRequestFor(*c.basis, c.offset)), static_cast<int>(c.expected)) << c.offset;
  }
  EXPECT_EQ(RangeRequestHeaders(400, L"\"v1\""), L"Range: bytes=400-\r\nIf-Range: \"v1\"\r\n");
  EXPECT_EQ(RangeRequestHeaders(17179869184ULL, L"Sun, 06 Nov 1994 08:49:37 GMT"),
            L"Range: bytes=17179869184-\r\nIf-Range: Sun, 06 Nov 1994 08:49:37 GMT\r\n");
}

TEST(ResumePlan, OnlyAMatchingPartialAnswerIsAppended) {
  const ResumeBasis basis = BasisOf(Answer(200, L"\"v1\"", L"", L"", 1000));
  struct Case {
    HttpAnswer answer;
    RestartReason expected;
  } cases[] = {
      {Answer(206, L"\"v1\"", L"", L"bytes 400-999/1000"), RestartReason::kNone},
      {Answer(206, L"", L"", L"bytes 400-999/1000"), RestartReason::kNone},
      {Answer(200, L"\"v2\"", L"", L"", 1000), RestartReason::kWholeFile},
      {Answer(200, L"\"v1\"", L"", L"", 1000), RestartReason::kWholeFile},
      {Answer(416, L"", L"", L"bytes */1000"), RestartReason::kNotSatisfiable},
      {Answer(206, L"\"v1\"", L"", L"bytes 0-999/1000"), RestartReason::kWrongRange},
      {Answer(206, L"\"v1\"", L"", L"bytes 401-999/1000"), RestartReason::kWrongRange},
      {Answer(206, L"\"v1\"", L"", L"bytes 400-999/2000"), RestartReason::kWrongRange},
      {Answer(206, L"\"v1\"", L"", L"bytes 400-799/1000"), RestartReason::kWrongRange},
      {Answer(206, L"\"v1\"", L"", L"bytes 400-999/*"), RestartReason::kWrongRange},
      {Answer(206, L"\"v1\"", L"", L""), RestartReason::kWrongRange},
      {Answer(206, L"\"v2\"", L"", L"bytes 400-999/1000"), RestartReason::kWrongRange},
      {Answer(304, L"", L"", L""), RestartReason::kOtherStatus},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(JudgeRangeAnswer(basis, 400, c.answer)), static_cast<int>(c.expected))
        << c.answer.status << " " << std::string(c.answer.contentRange.begin(), c.answer.contentRange.end());
  }
}

TEST(AttemptLog, AnAttemptEndIsNamedFromItsOutcome) {
  struct Case {
    HRESULT hr;
    bool watchdog, firstByte;
    unsigned long status;
    AttemptEnd expected;
  } cases[] = {
      {S_OK, false, true, 200, AttemptEnd::kComplete},
      {INET_E_CONNECTION_TIMEOUT, true, true, 200, AttemptEnd::kStalled},
      {INET_E_CONNECTION_TIMEOUT, true, false, 0, AttemptEnd::kNoAnswer},
      {INET_E_CONNECTION_TIMEOUT, false, false, 0, AttemptEnd::kFailed},
      {S_FALSE, false, true, 200, AttemptEnd::kShort},
      {static_cast<HRESULT>(0x801901A0), false, true, 206, AttemptEnd::kRangeRefused},
      {static_cast<HRESULT>(0x801901F7), false, true, 503, AttemptEnd::kHttpStatus},
      {INET_E_DATA_NOT_AVAILABLE, false, true, 403, AttemptEnd::kHttpStatus},
      {INET_E_DOWNLOAD_FAILURE, false, false, 0, AttemptEnd::kFailed},
      {E_ABORT, false, true, 200, AttemptEnd::kFailed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(ClassifyAttemptEnd(c.hr, c.watchdog, c.firstByte, c.status)),
              static_cast<int>(c.expected))
        << std::hex << c.hr;
  }
}

TEST(AttemptLog, EachLineHasOneFixedForm) {
  qrxtest::TempDir logRoot;
  qrxtest::ScopedEnv tmp(L"TMP", logRoot.path());
  const RetryLimits shipped;
  std::string log;
  {
    qrx::Logger logger;
    LogAttemptStart(&logger, 1, 0);
    LogAttemptStart(&logger, 12, 17179869184ULL);
    LogAttemptEnd(&logger, 1, AttemptEnd::kStalled, 0, INET_E_CONNECTION_TIMEOUT, 4096);
    LogAttemptEnd(&logger, 2, AttemptEnd::kNoAnswer, 0, INET_E_CONNECTION_TIMEOUT, 0);
    LogAttemptEnd(&logger, 3, AttemptEnd::kShort, 0, S_FALSE, 100);
    LogAttemptEnd(&logger, 4, AttemptEnd::kHttpStatus, 503, static_cast<HRESULT>(0x801901F7), 0);
    LogAttemptEnd(&logger, 5, AttemptEnd::kRangeRefused, 206, static_cast<HRESULT>(0x801901A0), 0);
    LogAttemptEnd(&logger, 6, AttemptEnd::kFailed, 0, INET_E_DOWNLOAD_FAILURE, 0);
    LogAttemptEnd(&logger, 7, AttemptEnd::kComplete, 0, S_OK, 433675);
    LogAttemptEnd(&logger, 8, AttemptEnd::kShort, 0, S_FALSE, 5000000000ULL);
    LogWait(&logger, 1000, 2);
    LogWait(&logger, 30000, 10);
    LogResume(&logger, 1048576, 16777216);
    LogRestart(&logger, RestartReason::kWholeFile);
    LogRestart(&logger, RestartReason::kNoValidator);
    LogRestart(&logger, RestartReason::kWrongRange);
    LogRestart(&logger, RestartReason::kNotSatisfiable);
    LogRestart(&logger, RestartReason::kNoLength);
    LogRestart(&logger, RestartReason::kOtherStatus);
    LogGiveUp(&logger, shipped, RetryStop::kBudgetSpent, 0);
    LogGiveUp(&logger, shipped, RetryStop::kNoProgress, 0);
    LogGiveUp(&logger, shipped, RetryStop::kRetryTooLong, 3600000);
    LogGiveUp(&logger, shipped, RetryStop::kFinal, 0);  // writes nothing
    LogGiveUp(&logger, shipped, RetryStop::kNone, 0);   // writes nothing
    log = qrxtest::ReadFileBytes(logger.path());
  }
  const std::vector<std::string> expected = {
      "Download attempt 1 from byte 0",
      "Download attempt 12 from byte 17179869184",
      "Download attempt 1 ended: stalled, HRESULT 800c000b, 4096 bytes received",
      "Download attempt 2 ended: no first byte, HRESULT 800c000b, 0 bytes received",
      "Download attempt 3 ended: closed short, HRESULT 1, 100 bytes received",
      "Download attempt 4 ended: HTTP 503, HRESULT 801901f7, 0 bytes received",
      "Download attempt 5 ended: range refused, HRESULT 801901a0, 0 bytes received",
      "Download attempt 6 ended: failed, HRESULT 800c0008, 0 bytes received",
      "Download attempt 7 ended: complete, HRESULT 0, 433675 bytes received",
      "Download attempt 8 ended: closed short, HRESULT 1, 5000000000 bytes received",
      "Download waits 1000 ms before attempt 2",
      "Download waits 30000 ms before attempt 10",
      "Download resumes at byte 1048576 of 16777216",
      "Download restarts from byte 0: whole file sent",
      "Download restarts from byte 0: no validator",
      "Download restarts from byte 0: wrong range",
      "Download restarts from byte 0: range not satisfiable",
      "Download restarts from byte 0: no length",
      "Download restarts from byte 0: unexpected status",
      "Download gives up: 10 attempts in a row without data",
      "Download gives up: no progress for 1800 s",
      "Download gives up: the server asks to retry after 3600 s",
  };
  // Each line is "[<stamp> DEBUG] " and the text, ended by CR LF.
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end = log.find("\r\n"); end != std::string::npos; at = end + 2, end = log.find("\r\n", at)) {
    const std::string line = log.substr(at, end - at);
    const size_t text = line.find(" DEBUG] ");
    ASSERT_NE(text, std::string::npos) << line;
    lines.push_back(line.substr(text + 8));
  }
  EXPECT_EQ(at, log.size());
  EXPECT_EQ(lines, expected);
}

}  // namespace
