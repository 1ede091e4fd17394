#include "installer/install_progress.h"

namespace qrx {

const int kProgressMilestones64[kMilestoneCount] = {37, 40, 46, 74, 80, 92, 100};
const int kProgressMilestones32[kMilestoneCount] = {37, 65, 68, 74, 80, 92, 100};

const int* ProgressMilestonesFor(const std::wstring& osBits) {
  return osBits == L"64" ? kProgressMilestones64 : kProgressMilestones32;
}

int CreepTowards(int value, int target) {
  const double distance = static_cast<double>(target - value);
  return static_cast<int>(distance * kProgressCreepFactor + static_cast<double>(value));
}

int ApplyUnzipStep(InstallProgress& progress) {
  progress.value = CreepTowards(progress.value, kUnzipProgressTarget);
  return progress.value;
}

int HighestInstalledPosition(const bool* installed, int count) {
  int detected = -1;
  for (int position = 0; position < count; ++position) {
    if (installed[position]) detected = position;
  }
  return detected;
}

int ApplySetupPoll(InstallProgress& progress, int detected, const int* milestones) {
  if (detected < -1 || detected >= kMilestoneCount - 1) return -1;  // not a list position
  if (detected == progress.stage) {
    progress.value = CreepTowards(progress.value, milestones[detected + 1]);
    return -1;
  }
  // No milestone and no product code belong to -1: keep what the bar shows.
  if (detected == -1) return -1;
  progress.stage = detected;
  progress.value = milestones[detected];
  return detected;
}

int MapSetupExitCode(unsigned long exitCode) {
  switch (exitCode) {
    case 0:
      return kInstallSucceeded;
    case 1618:
      return kInstallAnotherInProgress;
    case 1603:
      return kInstallFatal;
    default:
      return kInstallSetupFailed;
  }
}

}  // namespace qrx
