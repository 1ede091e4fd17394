#include <gtest/gtest.h>
#include <windows.h>

#include "reporting/session_info.h"
#include "sysinfo/os_facts.h"
#include "sysinfo/text.h"

namespace {

constexpr BYTE kWorkstation = VER_NT_WORKSTATION;
constexpr BYTE kServer = VER_NT_SERVER;
constexpr WORD kAmd64 = PROCESSOR_ARCHITECTURE_AMD64;
constexpr WORD kX86 = PROCESSOR_ARCHITECTURE_INTEL;

qrx::OsVersionFacts Facts(DWORD major, DWORD minor, BYTE type, WORD arch = kX86) {
  qrx::OsVersionFacts facts;
  facts.queryOk = true;
  facts.major = major;
  facts.minor = minor;
  facts.productType = type;
  facts.nativeArchitecture = arch;
  return facts;
}

TEST(OsName, FollowsTheVersionTable) {
  struct Case {
    qrx::OsVersionFacts facts;
    const wchar_t* expected;
  } cases[] = {
      {qrx::OsVersionFacts(), L"Other"},                      // query failed
      {Facts(5, 1, kWorkstation), L"Windows XP"},
      {Facts(5, 1, kServer), L"Windows XP"},                  // 5.1 ignores the product type
      {Facts(5, 2, kWorkstation, kAmd64), L"Windows XP"},     // XP x64
      {Facts(5, 2, kWorkstation, kX86), L"Other"},
      {Facts(5, 2, kServer, kAmd64), L"Other"},               // Server 2003
      {Facts(6, 0, kWorkstation), L"Windows Vista"},
      {Facts(6, 1, kWorkstation), L"Windows 7"},
      {Facts(6, 1, kServer), L"Other"},                       // Server 2008 R2
      {Facts(6, 2, kWorkstation), L"Windows 8"},
      {Facts(6, 2, kServer), L"Other"},                       // Server 2012
      {Facts(6, 3, kWorkstation), L"Windows 8"},              // 8.1
      {Facts(6, 4, kWorkstation), L"Windows 10"},
      {Facts(6, 5, kWorkstation), L"Other"},
      {Facts(10, 0, kWorkstation), L"Windows 10"},            // also Windows 11
      {Facts(10, 0, 3), L"Other"},                            // domain controller
      {Facts(11, 0, kWorkstation), L"Other"},
      {Facts(4, 0, kWorkstation), L"Other"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qrx::OsNameFor(c.facts), c.expected) << c.facts.major << "." << c.facts.minor;
  }
}

TEST(Architecture, OnlyAmd64AndItaniumAreX64) {
  EXPECT_EQ(qrx::ArchitectureFor(PROCESSOR_ARCHITECTURE_AMD64), L"x64");
  EXPECT_EQ(qrx::ArchitectureFor(PROCESSOR_ARCHITECTURE_IA64), L"x64");
  EXPECT_EQ(qrx::ArchitectureFor(PROCESSOR_ARCHITECTURE_INTEL), L"x86");
  EXPECT_EQ(qrx::ArchitectureFor(12), L"x86");  // ARM64
  EXPECT_EQ(qrx::ArchitectureFor(PROCESSOR_ARCHITECTURE_ARM), L"x86");
  // "osbits" follows the architecture text.
  EXPECT_EQ(qrx::OsBitsFor(qrx::ArchitectureFor(12)), L"32");
  EXPECT_EQ(qrx::OsBitsFor(L"x64"), L"64");
  EXPECT_EQ(qrx::OsBitsFor(L"x86"), L"32");
}

TEST(Elevation, HighIntegrityOrPreVistaAdministrator) {
  EXPECT_FALSE(qrx::IntegrityLevelIsElevated(0x2000));  // medium, filtered administrator
  EXPECT_FALSE(qrx::IntegrityLevelIsElevated(0x2FFF));
  EXPECT_TRUE(qrx::IntegrityLevelIsElevated(0x3000));   // high
  EXPECT_TRUE(qrx::IntegrityLevelIsElevated(0x4000));   // system
  EXPECT_TRUE(qrx::ElevatedFor(true, 5, true, 0));      // XP administrator
  EXPECT_FALSE(qrx::ElevatedFor(true, 5, false, 0));
  EXPECT_FALSE(qrx::ElevatedFor(false, 5, true, 0));    // failed version query
  EXPECT_FALSE(qrx::ElevatedFor(true, 6, true, 0x2000));
  EXPECT_TRUE(qrx::ElevatedFor(true, 10, false, 0x3000));
}

TEST(OsFacts, VersionTextAndServerFlag) {
  EXPECT_EQ(qrx::OsVersionTextFor(6, 1), L"6.1");
  EXPECT_EQ(qrx::OsVersionTextFor(10, 0), L"10.0");
  EXPECT_FALSE(qrx::IsServerProductType(kWorkstation));
  EXPECT_TRUE(qrx::IsServerProductType(kServer));
  EXPECT_TRUE(qrx::IsServerProductType(0));  // a failed query counts as a server
}

TEST(OsFacts, ThisWineMachine) {
  // Wine runs the tests as an administrator at high integrity on a 64-bit "Windows 10".
  EXPECT_TRUE(qrx::IsUserAdmin());
  EXPECT_TRUE(qrx::IsElevated());
  EXPECT_EQ(qrx::QueryIntegrityLevel(), 0x3000u);
  EXPECT_EQ(qrx::GetArchitecture(), L"x64");
  const std::wstring name = qrx::GetOsName();
  EXPECT_EQ(name, qrx::OsNameFor(qrx::QueryOsVersion()));
  EXPECT_FALSE(qrx::IsServerOs());
  const std::wstring version = qrx::GetOsVersionText();
  EXPECT_NE(version.find(L'.'), std::wstring::npos);
}

TEST(ToUtf8, ConvertsUpToTheFirstZero) {
  EXPECT_EQ(qrx::ToUtf8(L""), "");
  EXPECT_EQ(qrx::ToUtf8(L"abc"), "abc");
  EXPECT_EQ(qrx::ToUtf8(L"\u00e9\u4e2d"), "\xc3\xa9\xe4\xb8\xad");
  EXPECT_EQ(qrx::ToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");
  EXPECT_EQ(qrx::ToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
}

}  // namespace
