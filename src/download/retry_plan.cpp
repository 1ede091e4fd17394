#include "download/retry_plan.h"

#include "download/download_result.h"

// Shorter limits come from the build for the test build; the product has no configuration.
#ifndef QRX_DOWNLOAD_BACKOFF_MS
#define QRX_DOWNLOAD_BACKOFF_MS 1000
#endif
#ifndef QRX_DOWNLOAD_STALL_MS
#define QRX_DOWNLOAD_STALL_MS 30000
#endif
#ifndef QRX_DOWNLOAD_FIRST_BYTE_MS
#define QRX_DOWNLOAD_FIRST_BYTE_MS 60000
#endif
#ifndef QRX_DOWNLOAD_NO_PROGRESS_MS
#define QRX_DOWNLOAD_NO_PROGRESS_MS 1800000
#endif

namespace downloadmanagercore {

RetryLimits BuildRetryLimits() {
  RetryLimits limits;
  limits.firstWaitMs = QRX_DOWNLOAD_BACKOFF_MS;
  limits.longestWaitMs = 30 * limits.firstWaitMs;
  limits.noProgressMs = QRX_DOWNLOAD_NO_PROGRESS_MS;
  limits.stallMs = QRX_DOWNLOAD_STALL_MS;
  limits.firstByteMs = QRX_DOWNLOAD_FIRST_BYTE_MS;
  return limits;
}

DWORD BackoffWaitMs(const RetryLimits& limits, int doublings) {
  ULONGLONG wait = limits.firstWaitMs;
  for (int i = 0; i < doublings && wait < limits.longestWaitMs; ++i) wait *= 2;
  return static_cast<DWORD>(wait < limits.longestWaitMs ? wait : limits.longestWaitMs);
}

RetryPlan::RetryPlan(const RetryLimits& limits, ULONGLONG startMs)
    : limits_(limits), left_(limits.budget), grewAtMs_(startMs) {}

RetryDecision RetryPlan::After(const AttemptOutcome& outcome) {
  RetryDecision decision;
  decision.code = outcome.code;
  if (outcome.furthestOffset > furthest_) {
    furthest_ = outcome.furthestOffset;
    grewAtMs_ = outcome.nowMs;
  }
  if (outcome.code != kDownloadTransient) {
    decision.stop = RetryStop::kFinal;
    return decision;
  }
  if (outcome.hasRetryAfter && outcome.retryAfterMs > limits_.longestRetryAfterMs) {
    decision.stop = RetryStop::kRetryTooLong;
    return decision;
  }
  if (outcome.dataReceived) {
    left_ = limits_.budget;
    doublings_ = 0;
  } else if (--left_ <= 0) {
    decision.stop = RetryStop::kBudgetSpent;
    return decision;
  }
  if (outcome.nowMs - grewAtMs_ >= limits_.noProgressMs) {
    decision.stop = RetryStop::kNoProgress;
    return decision;
  }
  ULONGLONG wait = BackoffWaitMs(limits_, doublings_);
  ++doublings_;
  if (outcome.hasRetryAfter && outcome.retryAfterMs > wait) wait = outcome.retryAfterMs;
  decision.waitMs = static_cast<DWORD>(wait);
  return decision;
}

}  // namespace downloadmanagercore
