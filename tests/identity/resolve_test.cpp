#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "identity/machine_id.h"

namespace {

// A machine described by the test: what WMI, the adapters and the store say.
struct FakeMachine {
  bool probeAnswers = true;
  bool isVirtual = false;
  std::vector<std::wstring> addresses;
  bool storeReadable = false;
  std::wstring stored;
  bool storeWritable = true;
  bool guidWorks = true;
  int probes = 0;
  int collects = 0;
  int loads = 0;
  int saves = 0;
};
FakeMachine machine;

bool FakeDetect(bool& isVirtual) {
  ++machine.probes;
  isVirtual = machine.isVirtual;
  return machine.probeAnswers;
}
bool FakeCollect(std::vector<std::wstring>& addresses) {
  ++machine.collects;
  addresses = machine.addresses;
  return !addresses.empty();
}
bool FakeLoad(std::wstring& id) {
  ++machine.loads;
  if (!machine.storeReadable) return false;
  id = machine.stored;
  return true;
}
bool FakeSave(const std::wstring& id) {
  ++machine.saves;
  if (!machine.storeWritable) return false;
  machine.stored = id;
  machine.storeReadable = true;
  return true;
}
bool FakeGuid(std::wstring& text) {
  if (!machine.guidWorks) return false;
  text = L"01234567-89AB-CDEF-0123-456789ABCDEF";
  return true;
}

const qrx::MachineIdSources kFake = {FakeDetect, FakeCollect, FakeLoad, FakeSave, FakeGuid};

class Resolve : public ::testing::Test {
 protected:
  void SetUp() override { machine = FakeMachine(); }
  bool Run() { return qrx::ResolveMachineIdFrom(kFake, cache_, id_); }
  std::wstring cache_;
  std::wstring id_;
};

TEST_F(Resolve, StoredIdOfTheWrittenShapeIsReturnedUnchanged) {
  for (bool isVirtual : {false, true}) {
    SetUp();
    cache_.clear();
    machine.isVirtual = isVirtual;
    machine.addresses = {L"00:1A:2B:3C:4D:5E"};
    machine.storeReadable = true;
    // Not what these adapters would give: the stored one wins.
    machine.stored = L"X-0000FFFF-0000-FFFF-0000-FFFF0000FFFF";
    ASSERT_TRUE(Run());
    EXPECT_EQ(id_, machine.stored);
    EXPECT_EQ(cache_, machine.stored);
    EXPECT_EQ(machine.probes, 1) << "the probe picks the path";
    EXPECT_EQ(machine.collects, 0) << "adapters are not enumerated";
    EXPECT_EQ(machine.saves, 0);
  }
}

TEST_F(Resolve, CachedIdSkipsEveryProbe) {
  cache_ = L"P-000C2900-0001-000C-2900-0001000C2900";
  ASSERT_TRUE(Run());
  EXPECT_EQ(id_, cache_);
  EXPECT_EQ(machine.probes + machine.loads + machine.collects + machine.saves, 0);
}

TEST_F(Resolve, PhysicalMachineUsesTheSmallestAddress) {
  machine.addresses = {L"00:1A:2B:3C:4D:5E", L"00:0C:29:00:00:01"};
  ASSERT_TRUE(Run());
  EXPECT_EQ(id_, L"P-000C2900-0001-000C-2900-0001000C2900");
  EXPECT_EQ(machine.stored, id_);
  // The next resolution in the process comes from the cache.
  ASSERT_TRUE(Run());
  EXPECT_EQ(machine.probes, 1);
}

TEST_F(Resolve, StoredIdOfOtherShapeIsReplaced) {
  struct Row {
    bool isVirtual;
    const wchar_t* expected;
  };
  // The identifier goes into report URLs: anything but the written shape is treated as corrupt.
  const wchar_t* const storedTexts[] = {
      L"V-short",
      L"Q-this is not a guid but 38 characters",
      L"V-01234567-89AB-CDEF-0123-456789AB&D=F",
      L"V-01234567-89ab-cdef-0123-456789abcdef",
      L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX",
  };
  for (const wchar_t* stored : storedTexts) {
    for (const Row& row : {Row{false, L"P-001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C"},
                           Row{true, L"V-01234567-89AB-CDEF-0123-456789ABCDEF"}}) {
      SetUp();
      cache_.clear();
      machine.isVirtual = row.isVirtual;
      machine.addresses = {L"00:1A:2B:3C:4D:5E"};
      machine.storeReadable = true;
      machine.stored = stored;
      ASSERT_TRUE(Run()) << stored;
      EXPECT_EQ(id_, row.expected) << stored;
      EXPECT_EQ(machine.stored, row.expected) << stored;
    }
  }
}

TEST_F(Resolve, PhysicalSaveFailureStillGivesTheId) {
  machine.addresses = {L"00:1A:2B:3C:4D:5E"};
  machine.storeWritable = false;
  ASSERT_TRUE(Run());
  EXPECT_EQ(id_, L"P-001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C");
  EXPECT_EQ(machine.saves, 1);
}

TEST_F(Resolve, VirtualIdThatCannotBeStoredIsDropped) {
  machine.isVirtual = true;
  machine.storeWritable = false;
  EXPECT_FALSE(Run());
  EXPECT_TRUE(cache_.empty()) << "a later call tries again";
  machine.storeWritable = true;
  ASSERT_TRUE(Run());
  EXPECT_EQ(id_, L"V-01234567-89AB-CDEF-0123-456789ABCDEF");
}

TEST_F(Resolve, FailuresLeaveNoId) {
  // No adapters and no store on a physical machine.
  EXPECT_FALSE(Run());
  EXPECT_TRUE(cache_.empty());
  EXPECT_EQ(machine.collects, 1);
  // No GUID on a virtual machine.
  machine.isVirtual = true;
  machine.guidWorks = false;
  EXPECT_FALSE(Run());
  EXPECT_EQ(machine.saves, 0);
}

TEST_F(Resolve, UnansweredProbeTakesThePhysicalPath) {
  machine.probeAnswers = false;
  machine.isVirtual = true;  // ignored when the probe did not answer
  machine.addresses = {L"00:0C:29:00:00:01"};
  ASSERT_TRUE(Run());
  EXPECT_EQ(id_, L"P-000C2900-0001-000C-2900-0001000C2900");
}

TEST(RequestToken, FreshGuidTextWithoutBraces) {
  const std::wstring first = qrx::NewRequestToken();
  const std::wstring second = qrx::NewRequestToken();
  EXPECT_NE(first, second);
  for (const std::wstring& token : {first, second}) {
    ASSERT_EQ(token.size(), 36u);
    for (size_t i = 0; i < token.size(); ++i) {
      if (i == 8 || i == 13 || i == 18 || i == 23) {
        EXPECT_EQ(token[i], L'-');
      } else {
        EXPECT_TRUE((token[i] >= L'0' && token[i] <= L'9') || (token[i] >= L'A' && token[i] <= L'F')) << token;
      }
    }
  }
}

}  // namespace
