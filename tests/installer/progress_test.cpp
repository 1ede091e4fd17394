// The install percentage arithmetic and the exit-code mapping.
#include <gtest/gtest.h>

#include <vector>

#include "installer/install_progress.h"

namespace {

using qrx::ApplySetupPoll;
using qrx::CreepTowards;
using qrx::InstallProgress;

std::vector<int> CreepSequence(int from, int target, int steps) {
  std::vector<int> values;
  for (int i = 0; i < steps; ++i) values.push_back(from = CreepTowards(from, target));
  return values;
}

TEST(Creep, FromTwoTowardsThirtySevenStopsAtThirtyThree) {
  EXPECT_EQ(CreepSequence(2, 37, 15),
            (std::vector<int>{9, 14, 18, 21, 24, 26, 28, 29, 30, 31, 32, 33, 33, 33, 33}));
}

TEST(Creep, StaysWhenTheDistanceIsUnderFive) {
  EXPECT_EQ(CreepTowards(37, 40), 37);
  EXPECT_EQ(CreepTowards(96, 100), 96);
  EXPECT_EQ(CreepTowards(95, 100), 96);  // a distance of exactly 5 still moves one
}

TEST(Creep, MovesDownFromAboveTheTarget) {
  EXPECT_EQ(CreepSequence(80, 6, 4), (std::vector<int>{65, 53, 43, 35}));
}

TEST(UnzipStep, FromZeroGivesOneThenTwoForEver) {
  InstallProgress progress;
  std::vector<int> values;
  for (int i = 0; i < 5; ++i) values.push_back(qrx::ApplyUnzipStep(progress));
  EXPECT_EQ(values, (std::vector<int>{1, 2, 2, 2, 2}));
  EXPECT_EQ(progress.stage, -1);
}

TEST(Milestones, ChosenByOsBitsExactlySixtyFour) {
  const struct {
    const wchar_t* osBits;
    const int* expected;
  } cases[] = {
      {L"64", qrx::kProgressMilestones64}, {L"32", qrx::kProgressMilestones32}, {L"", qrx::kProgressMilestones32},
      {L"x64", qrx::kProgressMilestones32}, {L"64 ", qrx::kProgressMilestones32},
  };
  for (const auto& c : cases) EXPECT_EQ(qrx::ProgressMilestonesFor(c.osBits), c.expected) << c.osBits;
  EXPECT_EQ(std::vector<int>(qrx::kProgressMilestones64, qrx::kProgressMilestones64 + 7),
            (std::vector<int>{37, 40, 46, 74, 80, 92, 100}));
  EXPECT_EQ(std::vector<int>(qrx::kProgressMilestones32, qrx::kProgressMilestones32 + 7),
            (std::vector<int>{37, 65, 68, 74, 80, 92, 100}));
}

TEST(HighestInstalled, IsTheHighestPositionOrMinusOne) {
  const bool none[6] = {};
  const bool firstTwo[6] = {true, true, false, false, false, false};
  const bool gap[6] = {false, false, true, false, true, false};
  const bool last[6] = {false, false, false, false, false, true};
  EXPECT_EQ(qrx::HighestInstalledPosition(none, 6), -1);
  EXPECT_EQ(qrx::HighestInstalledPosition(firstTwo, 6), 1);
  EXPECT_EQ(qrx::HighestInstalledPosition(gap, 6), 4);
  EXPECT_EQ(qrx::HighestInstalledPosition(last, 6), 5);
}

TEST(SetupPoll, NothingRegisteredAfterExtractionPublishesNine) {
  InstallProgress progress{-1, 2};
  EXPECT_EQ(ApplySetupPoll(progress, -1, qrx::kProgressMilestones64), -1);
  EXPECT_EQ(progress.value, 9);
  EXPECT_EQ(progress.stage, -1);
}

TEST(SetupPoll, FirstDetectionOfPositionZeroPublishesThirtySevenOnBothSystems) {
  for (const int* milestones : {qrx::kProgressMilestones64, qrx::kProgressMilestones32}) {
    InstallProgress progress{-1, 33};
    EXPECT_EQ(ApplySetupPoll(progress, 0, milestones), 0);
    EXPECT_EQ(progress.value, 37);
    EXPECT_EQ(progress.stage, 0);
  }
}

TEST(SetupPoll, StageZeroOnSixtyFourBitsStaysAtThirtySevenUntilPositionOne) {
  InstallProgress progress{0, 37};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ApplySetupPoll(progress, 0, qrx::kProgressMilestones64), -1);
    EXPECT_EQ(progress.value, 37);
  }
  // The 32-bit table's next milestone is far enough away to creep.
  InstallProgress progress32{0, 37};
  ApplySetupPoll(progress32, 0, qrx::kProgressMilestones32);
  EXPECT_EQ(progress32.value, 42);
}

TEST(SetupPoll, TwoPositionsAtOnceJumpOnceToTheHigherOnesMilestone) {
  InstallProgress progress{-1, 33};
  EXPECT_EQ(ApplySetupPoll(progress, 1, qrx::kProgressMilestones64), 1);  // one log line, for position 1
  EXPECT_EQ(progress.value, 40);
  EXPECT_EQ(progress.stage, 1);
  // Then it creeps towards the following milestone.
  EXPECT_EQ(ApplySetupPoll(progress, 1, qrx::kProgressMilestones64), -1);
  EXPECT_EQ(progress.value, 41);
  InstallProgress progress32{-1, 33};
  EXPECT_EQ(ApplySetupPoll(progress32, 1, qrx::kProgressMilestones32), 1);
  EXPECT_EQ(progress32.value, 65);
}

TEST(SetupPoll, LastPositionJumpsToNinetyTwoAndCreepsToNinetySix) {
  InstallProgress progress{4, 80};
  EXPECT_EQ(ApplySetupPoll(progress, 5, qrx::kProgressMilestones64), 5);
  std::vector<int> values{progress.value};
  for (int i = 0; i < 6; ++i) {
    ApplySetupPoll(progress, 5, qrx::kProgressMilestones64);
    values.push_back(progress.value);
  }
  EXPECT_EQ(values, (std::vector<int>{92, 93, 94, 95, 96, 96, 96}));
}

TEST(SetupPoll, FallingBackToNoneAfterACodeKeepsTheCurrentValue) {
  InstallProgress progress{3, 76};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ApplySetupPoll(progress, -1, qrx::kProgressMilestones64), -1);
    EXPECT_EQ(progress.value, 76);
    EXPECT_EQ(progress.stage, 3);
  }
  // When the codes come back, the stage moves on as usual.
  EXPECT_EQ(ApplySetupPoll(progress, 4, qrx::kProgressMilestones64), 4);
  EXPECT_EQ(progress.value, 80);
}

TEST(SetupPoll, ALowerPositionMovesTheBarBackToItsMilestone) {
  InstallProgress progress{4, 84};
  EXPECT_EQ(ApplySetupPoll(progress, 2, qrx::kProgressMilestones64), 2);
  EXPECT_EQ(progress.value, 46);
}

TEST(SetupPoll, PositionsOutsideTheListChangeNothing) {
  InstallProgress progress{2, 50};
  EXPECT_EQ(ApplySetupPoll(progress, 6, qrx::kProgressMilestones64), -1);
  EXPECT_EQ(ApplySetupPoll(progress, -2, qrx::kProgressMilestones64), -1);
  EXPECT_EQ(progress.stage, 2);
  EXPECT_EQ(progress.value, 50);
}

TEST(SetupPoll, WholeSixtyFourBitRunFromTwo) {
  // Nothing registered for three polls, then each position in turn, one poll apart.
  InstallProgress progress{-1, 2};
  const int detected[] = {-1, -1, -1, 0, 0, 1, 2, 2, 3, 4, 5, 5};
  std::vector<int> values;
  for (int d : detected) {
    ApplySetupPoll(progress, d, qrx::kProgressMilestones64);
    values.push_back(progress.value);
  }
  EXPECT_EQ(values, (std::vector<int>{9, 14, 18, 37, 37, 40, 46, 51, 74, 80, 92, 93}));
}

TEST(ExitCode, MapsToInstallResults) {
  const struct {
    unsigned long exitCode;
    int result;
  } cases[] = {{0, 0}, {1618, 4}, {1603, 3}, {3010, 1}, {1602, 1}, {1, 1}, {0xC0000005UL, 1}, {1641, 1}};
  for (const auto& c : cases) EXPECT_EQ(qrx::MapSetupExitCode(c.exitCode), c.result) << c.exitCode;
}

}  // namespace
