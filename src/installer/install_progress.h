// The install percentage shown while the package is unpacked and setup runs, and the install
// result codes. Pure arithmetic: every fact comes in as an argument.
#pragma once

#include <string>

#include "common/result_codes.h"

namespace qrx {

constexpr int kMilestoneCount = 7;
// Entry k belongs to list position k - 1; entry 0 is "nothing registered yet".
extern const int kProgressMilestones64[kMilestoneCount];
extern const int kProgressMilestones32[kMilestoneCount];
// "osbits" exactly "64" selects the 64-bit table, anything else the 32-bit one.
const int* ProgressMilestonesFor(const std::wstring& osBits);

constexpr double kProgressCreepFactor = 0.2;
constexpr int kUnzipProgressTarget = 6;
constexpr int kCompleteProgress = 100;


// The progress state kept by the bridge across installs.
struct InstallProgress {
  int stage = -1;  // highest list position seen registered at the last poll; -1 for none
  int value = 0;   // current percentage
};

// One fifth of the way from `value` towards `target`, truncated towards zero.
int CreepTowards(int value, int target);

// The extraction step: creeps towards the extraction target; returns the new value.
int ApplyUnzipStep(InstallProgress& progress);

// The highest position (0 to count - 1) whose entry is true, or -1.
int HighestInstalledPosition(const bool* installed, int count);

// One setup poll with the detected position. Returns the position whose product code is newly
// reached (to be logged), or -1 when there is nothing to log. When the detected position falls
// back to -1 after a code was seen (a rollback), the stage and value are kept as they are.
int ApplySetupPoll(InstallProgress& progress, int detected, const int* milestones);

// Setup's exit code as an install result: 0 -> 0, 1618 -> 4, 1603 -> 3, anything else -> 1.
int MapSetupExitCode(unsigned long exitCode);

}  // namespace qrx
