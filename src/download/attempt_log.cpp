#include "download/attempt_log.h"

#include "download/download_result.h"

namespace downloadmanagercore {

namespace {

const char* EndText(AttemptEnd end) {
  switch (end) {
    case AttemptEnd::kComplete:
      return "complete";
    case AttemptEnd::kStalled:
      return "stalled";
    case AttemptEnd::kNoAnswer:
      return "no first byte";
    case AttemptEnd::kShort:
      return "closed short";
    case AttemptEnd::kRangeRefused:
      return "range refused";
    case AttemptEnd::kHttpStatus:
    case AttemptEnd::kFailed:
      break;
  }
  return "failed";
}

}  // namespace

AttemptEnd ClassifyAttemptEnd(HRESULT hr, bool watchdog, bool firstByte, unsigned long status) {
  if (hr == S_OK) return AttemptEnd::kComplete;
  if (watchdog) return firstByte ? AttemptEnd::kStalled : AttemptEnd::kNoAnswer;
  if (hr == S_FALSE) return AttemptEnd::kShort;
  if (hr == kRangeRefusedHResult) return AttemptEnd::kRangeRefused;
  if (status >= 400) return AttemptEnd::kHttpStatus;
  return AttemptEnd::kFailed;
}

void LogAttemptStart(qrx::Logger* log, int attempt, ULONGLONG offset) {
  qrx::LogDebugA(log, "Download attempt %d from byte %I64u", attempt, offset);
}

void LogAttemptEnd(qrx::Logger* log, int attempt, AttemptEnd end, unsigned long status, HRESULT hr,
                   ULONGLONG received) {
  const unsigned long code = static_cast<unsigned long>(hr);
  if (end == AttemptEnd::kHttpStatus) {
    qrx::LogDebugA(log, "Download attempt %d ended: HTTP %lu, HRESULT %lx, %I64u bytes received", attempt, status, code,
                  received);
  } else {
    qrx::LogDebugA(log, "Download attempt %d ended: %s, HRESULT %lx, %I64u bytes received", attempt, EndText(end), code,
                  received);
  }
}

void LogWait(qrx::Logger* log, DWORD waitMs, int nextAttempt) {
  qrx::LogDebugA(log, "Download waits %lu ms before attempt %d", waitMs, nextAttempt);
}

void LogResume(qrx::Logger* log, ULONGLONG offset, ULONGLONG length) {
  qrx::LogDebugA(log, "Download resumes at byte %I64u of %I64u", offset, length);
}

void LogRestart(qrx::Logger* log, RestartReason reason) {
  qrx::LogDebugA(log, "Download restarts from byte 0: %s", RestartReasonText(reason));
}

void LogGiveUp(qrx::Logger* log, const RetryLimits& limits, RetryStop stop, ULONGLONG retryAfterMs) {
  switch (stop) {
    case RetryStop::kBudgetSpent:
      qrx::LogDebugA(log, "Download gives up: %d attempts in a row without data", limits.budget);
      break;
    case RetryStop::kNoProgress:
      qrx::LogDebugA(log, "Download gives up: no progress for %I64u s", limits.noProgressMs / 1000);
      break;
    case RetryStop::kRetryTooLong:
      qrx::LogDebugA(log, "Download gives up: the server asks to retry after %I64u s", retryAfterMs / 1000);
      break;
    case RetryStop::kNone:
    case RetryStop::kFinal:
      break;
  }
}

}  // namespace downloadmanagercore
