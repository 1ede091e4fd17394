// What follows a failed attempt: another one after a wait, or the end of the download. Pure:
// every fact (the outcome, the clock, the limits) comes in as an argument.
#pragma once

#include <windows.h>

namespace downloadmanagercore {

// Waits and limits of one download, in milliseconds. The shipped values are the defaults; the
// test build sets shorter ones through build settings.
struct RetryLimits {
  DWORD firstWaitMs = 1000;        // the wait after the first failure, doubled after each further one
  DWORD longestWaitMs = 30000;     // the doubling stops here
  DWORD longestRetryAfterMs = 120000;  // a server that asks for a longer pause ends the download
  ULONGLONG noProgressMs = 1800000;    // no growth of the furthest byte reached for this long: give up
  int budget = 10;                 // attempts in a row without data
  DWORD stallMs = 30000;           // an attempt whose data stops for this long is aborted
  DWORD firstByteMs = 60000;       // an attempt that has no first byte after this long is aborted
};

// The limits this build was made with.
RetryLimits BuildRetryLimits();

// One failed or finished attempt, as the download saw it.
struct AttemptOutcome {
  int code = 0;                  // the download result code of the attempt
  bool dataReceived = false;     // the attempt delivered at least one byte
  bool hasRetryAfter = false;    // the answer carried a usable Retry-After
  ULONGLONG retryAfterMs = 0;
  ULONGLONG furthestOffset = 0;  // the furthest byte offset reached in this download so far
  ULONGLONG nowMs = 0;           // a monotonic clock when the attempt ended
};

enum class RetryStop {
  kNone,           // another attempt follows
  kFinal,          // the code is not transient: the download ends with it
  kBudgetSpent,    // too many attempts in a row without data
  kNoProgress,     // the furthest byte reached did not grow for too long
  kRetryTooLong,   // the server asked for a pause longer than we wait
};

struct RetryDecision {
  RetryStop stop = RetryStop::kNone;
  int code = 0;       // the download's result when it stops
  DWORD waitMs = 0;   // the pause before the next attempt
};

// Keeps the budget, the doubling wait and the progress clock of one download.
class RetryPlan {
 public:
  RetryPlan(const RetryLimits& limits, ULONGLONG startMs);
  RetryDecision After(const AttemptOutcome& outcome);

 private:
  RetryLimits limits_;
  int left_;
  int doublings_ = 0;
  ULONGLONG furthest_ = 0;
  ULONGLONG grewAtMs_;
};

// The wait after `doublings` failures since the start or since the last attempt with data.
DWORD BackoffWaitMs(const RetryLimits& limits, int doublings);

}  // namespace downloadmanagercore
