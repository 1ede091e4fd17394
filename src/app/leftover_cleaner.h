// The run's worker that removes working folders which interrupted runs left in the temp folder.
#pragma once

#include <windows.h>

#include <atomic>

#include "log/logger.h"

namespace qrx {

extern const wchar_t kLogLeftoversRemoved[];

class LeftoverCleaner {
 public:
  // Starts the worker; without a thread nothing is cleaned this run.
  explicit LeftoverCleaner(Logger* logger);
  // Asks the worker to start no further folder and waits for it.
  ~LeftoverCleaner();
  LeftoverCleaner(const LeftoverCleaner&) = delete;
  LeftoverCleaner& operator=(const LeftoverCleaner&) = delete;

  // Waits for the worker to finish on its own (tests).
  bool WaitForFinish(DWORD timeoutMs);

 private:
  static DWORD WINAPI ThreadProc(LPVOID parameter);

  Logger* logger_;
  std::atomic<bool> stop_{false};
  HANDLE thread_ = nullptr;
};

}  // namespace qrx
