// The run's worker that removes working folders which interrupted runs left in the working parent.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "common/unique_any.h"
#include "log/logger.h"

namespace qrx {

extern const wchar_t kLogLeftoversRemoved[];
extern const wchar_t kLogCleanerStillRunning[];
extern const wchar_t kLogLeftoversNotScheduled[];

// How long shut-down lets the cleaner take to stop.
constexpr DWORD kCleanerStopTimeoutMs = 2000;

class LeftoverCleaner {
 public:
  // Starts the worker; without a thread nothing is cleaned this run.
  explicit LeftoverCleaner(Logger* logger);
  // Stops the worker as Stop does, unless Stop was called.
  ~LeftoverCleaner();
  LeftoverCleaner(const LeftoverCleaner&) = delete;
  LeftoverCleaner& operator=(const LeftoverCleaner&) = delete;

  // Asks the worker to stop (it ends within the file it is deleting) and waits up to `timeoutMs`.
  // False, with a log line, when it still runs: it then keeps what it uses (its state here, and
  // the logger, which the caller must not destroy) until the process ends.
  bool Stop(DWORD timeoutMs);
  // Waits for the worker to finish on its own (tests).
  bool WaitForFinish(DWORD timeoutMs);

 private:
  // What the thread uses; left to the thread when it does not stop in time.
  struct Shared {
    Logger* logger;
    std::atomic<bool> stop{false};
  };
  static DWORD WINAPI ThreadProc(LPVOID parameter);

  std::unique_ptr<Shared> shared_;
  UniqueHandle thread_;
  bool stopped_ = false;
};

}  // namespace qrx
