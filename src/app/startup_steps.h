// Time stamps of the start-up steps in the debug log, to see where the time before the window goes.
#pragma once

#include <windows.h>

#include "log/logger.h"

namespace qrx {

// "Start-up step %s: %u ms after process start", and the steps' names, in their order.
extern const wchar_t kLogStartupStep[];
extern const wchar_t kStepSingleInstance[];
extern const wchar_t kStepLog[];
extern const wchar_t kStepMachineFacts[];
extern const wchar_t kStepPageTable[];
extern const wchar_t kStepLicence[];
extern const wchar_t kStepStartAnalytics[];
extern const wchar_t kStepWindow[];

// Whole milliseconds from `created` to `now` (100 ns units), 0 when `now` is earlier.
unsigned ElapsedMs(const FILETIME& created, const FILETIME& now);
// Milliseconds since this process was created (0 when the system cannot say).
unsigned MsSinceProcessStart();
// One debug line for `step`, stamped `ms` after the process start.
void LogStartupStep(Logger* logger, const wchar_t* step, unsigned ms);
inline void LogStartupStep(Logger* logger, const wchar_t* step) { LogStartupStep(logger, step, MsSinceProcessStart()); }

}  // namespace qrx
