#include <gtest/gtest.h>

#include "identity/machine_id_rules.h"
#include "support/test_support.h"

namespace {

TEST(ShapeMacId, RepeatsTheDigitsThroughTheGuidShape) {
  struct Row {
    const wchar_t* mac;
    const wchar_t* shaped;
  };
  const Row rows[] = {
      {L"00:1A:2B:3C:4D:5E", L"001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C"},
      {L"00:0C:29:00:00:01", L"000C2900-0001-000C-2900-0001000C2900"},
      {L"FF:FF:FF:FF:FF:FF", L"FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"},
      // Any letters or digits repeat; other characters are skipped.
      {L"a", L"aaaaaaaa-aaaa-aaaa-aaaa-aaaaaaaaaaaa"},
      {L"-1-2-", L"12121212-1212-1212-1212-121212121212"},
  };
  for (const Row& row : rows) {
    std::wstring text = row.mac;
    ASSERT_TRUE(qrx::ShapeMacId(text)) << row.mac;
    EXPECT_EQ(text, row.shaped) << row.mac;
    EXPECT_EQ(text.size(), 36u);
  }
}

TEST(ShapeMacId, TextWithoutLettersOrDigitsIsRefused) {
  for (const wchar_t* input : {L"", L":", L"::-::", L"\u00e9\u00e9"}) {
    std::wstring text = input;
    EXPECT_FALSE(qrx::ShapeMacId(text));
    EXPECT_EQ(text, input);
  }
}

TEST(MachineIdRules, SmallestAddressWins) {
  EXPECT_EQ(qrx::SmallestAddress({L"00:1A:2B:3C:4D:5E", L"00:0C:29:00:00:01"}), L"00:0C:29:00:00:01");
  EXPECT_EQ(qrx::SmallestAddress({L"B0:00:00:00:00:00", L"A0:00:00:00:00:01", L"A0:00:00:00:00:00"}),
            L"A0:00:00:00:00:00");
  EXPECT_EQ(qrx::SmallestAddress({}), L"");
  std::wstring id = qrx::SmallestAddress({L"00:1A:2B:3C:4D:5E", L"00:0C:29:00:00:01"});
  ASSERT_TRUE(qrx::ShapeMacId(id));
  EXPECT_EQ(L"P-" + id, L"P-000C2900-0001-000C-2900-0001000C2900");
}

TEST(MachineIdRules, AdapterFilter) {
  struct Row {
    const wchar_t* path;
    const wchar_t* description;
    bool kept;
  };
  const Row rows[] = {
      {L"\\\\?\\pci#ven_8086&dev_15b8#3&11583659&0&fe#{ad498944-762f-11d0-8dcb-00c04fc3358c}", L"Intel(R) Ethernet",
       true},
      {L"\\\\?\\root#net#0000#{ad498944-762f-11d0-8dcb-00c04fc3358c}", L"Loopback", false},
      {L"\\\\?\\ROOT#NET#0001#{ad498944}", L"", false},
      {L"\\\\?\\usb#vid_0b95&pid_1790#{ad498944}", L"USB Ethernet", false},
      {L"\\\\?\\BTH#MS_BTHPAN#{ad498944}", L"Bluetooth PAN", false},
      // "usb" at position 7 is still early; at 8 it is not.
      {L"\\\\?\\abcusb#x", L"", false},
      {L"\\\\?\\abcdusb#x", L"", true},
      {L"\\\\?\\pci#root#usb#bth", L"", true},
      // The description filter looks for the lower-case word only.
      {L"\\\\?\\pci#x", L"Microsoft Kernel Debug Network Adapter", true},
      {L"\\\\?\\pci#x", L"my microsoft nic", false},
      {L"\\\\?\\pci#x", L"12345678microsoft", true},
      {L"", L"", true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(qrx::KeepAdapter(row.path, row.description), row.kept) << row.path << " / " << row.description;
  }
}

TEST(MachineIdRules, VirtualMachineSignatures) {
  struct Row {
    const wchar_t* model;
    const wchar_t* manufacturer;
    bool isVirtual;
  };
  const Row rows[] = {
      {L"VirtualBox", L"innotek GmbH", true},
      {L"VMware Virtual Platform", L"VMware, Inc.", true},
      {L"Virtual Machine", L"Microsoft Corporation", true},
      {L"virtualbox", L"innotek GmbH", false},
      {L"VirtualBox", L"innotek GmbH ", false},
      {L"VirtualBox", L"VMware, Inc.", false},
      {L"Virtual Machine", L"", false},
      {L"Wine", L"The Wine Project", false},
      {L"", L"", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(qrx::IsVirtualMachineSignature(row.model, row.manufacturer), row.isVirtual) << row.model;
  }
}

TEST(MachineIdRules, AddressText) {
  const unsigned char bytes[8] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x77, 0x88};
  EXPECT_EQ(qrx::FormatMacAddress(bytes, 6), L"00:1A:2B:3C:4D:5E");
  EXPECT_EQ(qrx::FormatMacAddress(bytes, 5), L"");
  EXPECT_EQ(qrx::FormatMacAddress(bytes, 8), L"");
}

TEST(MachineIdRules, StoredBytesAreUtf16LittleEndian) {
  const std::string bytes = qrx::IdentifierBytes(L"P-\u00e9");
  EXPECT_EQ(bytes, std::string("P\0-\0\xE9\0", 6));
  const unsigned char odd[] = {'V', 0, '-', 0, 'x'};
  EXPECT_EQ(qrx::IdentifierFromBytes(odd, sizeof(odd)), L"V-");
  EXPECT_EQ(qrx::IdentifierFromBytes(odd, 0), L"");
  const std::wstring id = L"V-01234567-89AB-CDEF-0123-456789ABCDEF";
  const std::string round = qrx::IdentifierBytes(id);
  EXPECT_EQ(round.size(), 76u);
  EXPECT_EQ(qrx::IdentifierFromBytes(reinterpret_cast<const unsigned char*>(round.data()), round.size()), id);
}

}  // namespace

namespace {

TEST(MachineIdRules, FirstCharacterAReportCannotCarryIsFound) {
  constexpr size_t kSafe = std::wstring::npos;
  struct Row {
    std::wstring id;
    size_t unsafeAt;
  };
  const Row rows[] = {
      {L"P-001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C", kSafe},
      {L"V-01234567-89ab-cdef-0123-456789abcdef", kSafe},
      {L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", kSafe},
      // Any other safe letters: another program's id in the shared store.
      {L"Q-this_is-not.a~guid!but(38)chars:@;=*", kSafe},
      {L"Q-this is not a guid but 38 characters", 6},
      {L"V-01234567-89AB-CDEF-0123-456789AB&D=F", 34},
      {L"#-01234567-89AB-CDEF-0123-456789ABCDEF", 0},
      {L"V-0123456%-89AB-CDEF-0123-456789ABCDEF", 9},
      {L"V-01234567?89AB-CDEF-0123-456789ABCDEF", 10},
      {L"V-01234567-89AB+CDEF-0123-456789ABCDEF", 15},
      {L"V-01234567-89AB-CDEF<0123-456789ABCDEF", 20},
      {L"V-01234567-89AB-CDEF-0123>456789ABCDEF", 25},
      {L"V-01234567-89AB-CDEF-0123-\"56789ABCDEF", 26},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE'", 37},
      {std::wstring(L"V-01234567-89AB-CDEF-0123-456789ABC\0EF", 38), 35},
      {L"V-01234567-89AB-CDEF-0123-456789ABC\tEF", 35},
      {L"V-01234567-89AB-CDEF-0123-456789ABC\nEF", 35},
      {L"V-01234567-89AB-CDEF-0123-456789ABC\x1f" L"EF", 35},
      {L"V-01234567-89AB-CDEF-0123-456789ABC\x7f" L"EF", 35},
      {L"V-01234567-89AB-CDEF-0123-456789ABC\u00e9EF", 35},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE\u0660", 37},
      {L"V-01234567-89AB-CDEF-0123-456789ABCDE\xd83d", 37},
      {L"", kSafe},
  };
  for (const Row& row : rows) EXPECT_EQ(qrx::FindUnsafeIdCharacter(row.id), row.unsafeAt) << qrxtest::Narrow(row.id);
}

TEST(MachineIdRules, StoreFolderDecision) {
  struct Row {
    bool isDirectory;
    bool isReparsePoint;
    bool ownerTrusted;
    qrx::StoreFolderAction action;
  };
  const Row rows[] = {
      {true, false, true, qrx::StoreFolderAction::kUse},
      {true, false, false, qrx::StoreFolderAction::kReclaim},
      // A junction or directory symbolic link, whoever owns it.
      {true, true, true, qrx::StoreFolderAction::kRefuse},
      {true, true, false, qrx::StoreFolderAction::kRefuse},
      // A file (or a file link) in the folder's place.
      {false, false, true, qrx::StoreFolderAction::kRefuse},
      {false, true, false, qrx::StoreFolderAction::kRefuse},
  };
  for (const Row& row : rows) {
    qrx::StoreFolderFacts facts;
    facts.isDirectory = row.isDirectory;
    facts.isReparsePoint = row.isReparsePoint;
    facts.ownerTrusted = row.ownerTrusted;
    EXPECT_EQ(qrx::DecideStoreFolder(facts), row.action)
        << row.isDirectory << row.isReparsePoint << row.ownerTrusted;
  }
}

}  // namespace
