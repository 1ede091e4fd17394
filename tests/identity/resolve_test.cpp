#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "identity/machine_id.h"
#include "log/logger.h"
#include "support/test_support.h"

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

// The messages the resolution logs while it lives, without their time stamp and level.
class ResolveLog {
 public:
  ResolveLog() : scope_(&logger_) {}
  std::vector<std::string> Messages() {
    logger_.CloseFile();
    std::vector<std::string> messages;
    std::istringstream text(qrxtest::ReadFileBytes(logger_.path()));
    std::string line;
    while (std::getline(text, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t start = line.find("] ");
      if (start != std::string::npos) messages.push_back(line.substr(start + 2));
    }
    return messages;
  }

 private:
  qrx::Logger logger_;
  qrx::MachineIdLogScope scope_;
};

const qrx::MachineIdSources kFake = {FakeDetect, FakeCollect, FakeLoad, FakeSave, FakeGuid};

class Resolve : public ::testing::Test {
 protected:
  void SetUp() override { machine = FakeMachine(); }
  bool Run() { return qrx::ResolveMachineIdFrom(kFake, cache_, id_); }
  std::wstring cache_;
  std::wstring id_;
};

TEST_F(Resolve, StoredIdOfAnySafeLettersIsKeptAsItIs) {
  // Other programs share the store: what they wrote is used and left alone, whatever its letters.
  const wchar_t* const storedTexts[] = {
      L"X-0000FFFF-0000-FFFF-0000-FFFF0000FFFF",
      L"V-01234567-89ab-cdef-0123-456789abcdef",
      L"P-001a2b3c-4D5E-001a-2B3C-4d5e001A2B3C",
      L"Q-this_is-not.a~guid!but(38)chars:@;=*",
  };
  for (const wchar_t* stored : storedTexts) {
    for (bool isVirtual : {false, true}) {
      SetUp();
      cache_.clear();
      machine.isVirtual = isVirtual;
      machine.addresses = {L"00:1A:2B:3C:4D:5E"};
      machine.storeReadable = true;
      machine.stored = stored;
      ResolveLog log;
      ASSERT_TRUE(Run());
      EXPECT_EQ(id_, stored);
      EXPECT_EQ(cache_, stored);
      EXPECT_EQ(machine.probes, 1) << "the probe picks the path";
      EXPECT_EQ(machine.collects, 0) << "adapters are not enumerated";
      EXPECT_EQ(machine.saves, 0) << "the store is not rewritten";
      EXPECT_EQ(machine.stored, stored);
      EXPECT_TRUE(log.Messages().empty());
    }
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

TEST_F(Resolve, StoredIdAReportCannotCarryIsReplacedAndTheReasonLogged) {
  struct Row {
    std::wstring stored;
    // The log line, or empty when the replacement is not logged.
    const char* logged;
  };
  const Row rows[] = {
      // Its spaces would end the crash upload's query.
      {L"Q-this is not a guid but 38 characters", "Stored machine id holds U+0020, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789AB&D=F", "Stored machine id holds U+0026, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE#", "Stored machine id holds U+0023, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE%", "Stored machine id holds U+0025, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE?", "Stored machine id holds U+003F, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE+", "Stored machine id holds U+002B, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE<", "Stored machine id holds U+003C, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE>", "Stored machine id holds U+003E, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE\"", "Stored machine id holds U+0022, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE'", "Stored machine id holds U+0027, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE\r", "Stored machine id holds U+000D, which a report cannot carry: replaced"},
      {std::wstring(L"V-01234567-89AB-CDEF-0123-456789ABCDE\0", 38),
       "Stored machine id holds U+0000, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE\x7f", "Stored machine id holds U+007F, which a report cannot carry: replaced"},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE\u00e9", "Stored machine id holds U+00E9, which a report cannot carry: replaced"},
      // Not 38 characters: replaced as an unreadable store is, without a word.
      {L"V-short", ""},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDEF0", ""},
  };
  for (const Row& row : rows) {
    for (const bool isVirtual : {false, true}) {
      const wchar_t* expected =
          isVirtual ? L"V-01234567-89AB-CDEF-0123-456789ABCDEF" : L"P-001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C";
      SetUp();
      cache_.clear();
      machine.isVirtual = isVirtual;
      machine.addresses = {L"00:1A:2B:3C:4D:5E"};
      machine.storeReadable = true;
      machine.stored = row.stored;
      ResolveLog log;
      ASSERT_TRUE(Run()) << row.logged;
      EXPECT_EQ(id_, expected) << row.logged;
      EXPECT_EQ(machine.stored, expected) << row.logged;
      const std::vector<std::string> messages = log.Messages();
      if (*row.logged) {
        EXPECT_EQ(messages, std::vector<std::string>{row.logged});
      } else {
        EXPECT_TRUE(messages.empty()) << (messages.empty() ? std::string() : messages.front());
      }
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
