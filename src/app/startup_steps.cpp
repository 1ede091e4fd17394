#include "app/startup_steps.h"

#include <cstdint>

namespace qrx {

const wchar_t kLogStartupStep[] = L"Start-up step %s: %u ms after process start";
const wchar_t kStepSingleInstance[] = L"single instance";
const wchar_t kStepLog[] = L"log";
const wchar_t kStepMachineFacts[] = L"machine facts";
const wchar_t kStepPageTable[] = L"page table";
const wchar_t kStepLicence[] = L"licence";
const wchar_t kStepStartAnalytics[] = L"start analytics";
const wchar_t kStepWindow[] = L"window";

namespace {
uint64_t Ticks(const FILETIME& time) { return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime; }
}  // namespace

unsigned ElapsedMs(const FILETIME& created, const FILETIME& now) {
  const uint64_t from = Ticks(created);
  const uint64_t to = Ticks(now);
  if (to <= from) return 0;
  const uint64_t ms = (to - from) / 10000;
  return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(ms);
}

unsigned MsSinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  GetSystemTimeAsFileTime(&now);
  return ElapsedMs(created, now);
}

void LogStartupStep(Logger* logger, const wchar_t* step, unsigned ms) { LogDebug(logger, kLogStartupStep, step, ms); }

}  // namespace qrx
