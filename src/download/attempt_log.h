// The log lines of a download's attempts, retries and resumes: each has one fixed form.
//
//   Download attempt <n> from byte <offset>
//   Download attempt <n> ended: <reason>, HRESULT <hex>, <bytes> bytes received
//   Download waits <ms> ms before attempt <n>
//   Download resumes at byte <offset> of <length>
//   Download restarts from byte 0: <reason>
//   Download gives up: <reason>
#pragma once

#include <windows.h>

#include "download/resume_plan.h"
#include "download/retry_plan.h"
#include "log/logger.h"

namespace downloadmanagercore {

// Why an attempt ended, in the words of the "ended" line.
enum class AttemptEnd {
  kComplete,     // every announced byte arrived: "complete"
  kStalled,      // no byte for the stall limit: "stalled"
  kNoAnswer,     // no first byte for the first-byte limit: "no first byte"
  kShort,        // a clean close with fewer bytes than announced: "closed short"
  kHttpStatus,   // an HTTP error status: "HTTP <status>"
  kRangeRefused, // an answer to a range request that cannot be appended: "range refused"
  kFailed,       // any other failure of the binding or the file: "failed"
};

// How an attempt ended, from its outcome: whether the watchdog aborted it (and whether a first
// byte had come by then) and the HTTP status of its answer (0 when none was seen).
AttemptEnd ClassifyAttemptEnd(HRESULT hr, bool watchdog, bool firstByte, unsigned long status);

// Each writes its one debug line.
void LogAttemptStart(qrx::Logger* log, int attempt, ULONGLONG offset);
// `status` is named for kHttpStatus.
void LogAttemptEnd(qrx::Logger* log, int attempt, AttemptEnd end, unsigned long status, HRESULT hr,
                   ULONGLONG received);
void LogWait(qrx::Logger* log, DWORD waitMs, int nextAttempt);
void LogResume(qrx::Logger* log, ULONGLONG offset, ULONGLONG length);
void LogRestart(qrx::Logger* log, RestartReason reason);
// For a decision that stops a transient failure; nothing for kNone and kFinal.
void LogGiveUp(qrx::Logger* log, const RetryLimits& limits, RetryStop stop, ULONGLONG retryAfterMs);

}  // namespace downloadmanagercore
