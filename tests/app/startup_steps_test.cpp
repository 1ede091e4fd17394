// Time stamps of the start-up steps: the elapsed time between two file times, and the line's text.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/startup_steps.h"

namespace {

FILETIME At(uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

TEST(StartupSteps, ElapsedMilliseconds) {
  const uint64_t created = 133000000000000000ull;  // a date in 2022, in 100 ns units
  const struct {
    const char* name;
    uint64_t now;
    unsigned ms;
  } rows[] = {
      {"same moment", created, 0},
      {"earlier (clock set back)", created - 10000000, 0},
      {"just under a millisecond", created + 9999, 0},
      {"one millisecond", created + 10000, 1},
      {"across the low word's carry", created + 0x100000000ull, 429496},
      {"217 ms", created + 2170000, 217},
      {"beyond 49 days", created + 0xFFFFFFFFull * 10000 + 10000, 0xFFFFFFFFu},
  };
  for (const auto& row : rows) EXPECT_EQ(qrx::ElapsedMs(At(created), At(row.now)), row.ms) << row.name;
}

TEST(StartupSteps, ThisProcessStartedBeforeNow) {
  const unsigned first = qrx::MsSinceProcessStart();
  Sleep(20);
  const unsigned second = qrx::MsSinceProcessStart();
  EXPECT_GE(second, first + 15);
  EXPECT_LT(second, 10u * 60 * 1000);
}

TEST(StartupSteps, Texts) {
  EXPECT_STREQ(qrx::kLogStartupStep, L"Start-up step %s: %u ms after process start");
  const wchar_t* const steps[] = {qrx::kStepSingleInstance, qrx::kStepLog,          qrx::kStepMachineFacts,
                                  qrx::kStepPageTable,      qrx::kStepLicence,      qrx::kStepStartAnalytics,
                                  qrx::kStepWindow};
  const wchar_t* const names[] = {L"single instance", L"log",    L"machine facts", L"page table",
                                  L"licence",         L"start analytics", L"window"};
  for (size_t i = 0; i < 7; ++i) EXPECT_STREQ(steps[i], names[i]);
}

}  // namespace
