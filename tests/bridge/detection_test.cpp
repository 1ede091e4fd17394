// Installed-product detection against real Windows Installer registrations in the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "bridge/bridge_support.h"
#include "common/unique_any.h"
#include "installer/product_codes.h"
#include "installer/product_detection.h"
#include "support/test_support.h"

namespace {

const wchar_t kFolder64Code[] = L"{5A1D0C3E-8B7F-4E21-9C55-2D0F6B7A1E01}";
const wchar_t kFolder32Code[] = L"{5A1D0C3E-8B7F-4E21-9C55-2D0F6B7A1E02}";
const wchar_t kFolder64bCode[] = L"{5A1D0C3E-8B7F-4E21-9C55-2D0F6B7A1E03}";
const wchar_t kUnknownCode[] = L"{00000000-1111-2222-3333-444444444444}";

bool RunMsiexec(const std::wstring& action, const std::wstring& target) {
  const auto result = qrxtest::RunProcess(L"msiexec.exe " + action + L" \"" + target + L"\" /qn", {}, 180000);
  return result.finished && result.exitCode == 0;
}

// Installs a package unless its code is registered already (once per prefix).
bool EnsureInstalled(const wchar_t* code, const wchar_t* package) {
  if (qrx::IsProductInstalled(code)) return true;
  return RunMsiexec(L"/i", std::wstring(QRX_BRIDGE_MSI_DIR) + L"\\" + package) && qrx::IsProductInstalled(code);
}

class Detection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The product's own installed-check code is removed again afterwards, so that other tests in
    // this prefix see the product as not installed.
    installedCheckWasThere_ = qrx::IsProductInstalled(qrx::kInstalledCheckCode);
    const DWORD start = GetTickCount();
    ready_ = EnsureInstalled(qrx::kInstalledCheckCode, L"installed_check.msi") &&
             EnsureInstalled(kFolder64Code, L"folder64.msi") && EnsureInstalled(kFolder32Code, L"folder32.msi") &&
             EnsureInstalled(kFolder64bCode, L"folder64b.msi");
    setupMs_ = GetTickCount() - start;
  }
  static void TearDownTestSuite() {
    if (!installedCheckWasThere_) {
      RunMsiexec(L"/x", std::wstring(QRX_BRIDGE_MSI_DIR) + L"\\installed_check.msi");
    }
  }
  void SetUp() override {
    ASSERT_TRUE(ready_) << "test packages could not be installed";
    RecordProperty("package_setup_ms", static_cast<int>(setupMs_));
  }

  static bool installedCheckWasThere_;
  static bool ready_;
  static DWORD setupMs_;
};
bool Detection::installedCheckWasThere_ = false;
bool Detection::ready_ = false;
DWORD Detection::setupMs_ = 0;

TEST_F(Detection, MsiQueryIsReachedByOrdinal) {
  qrx::MsiGetProductInfoFn query = qrx::GetMsiGetProductInfo();
  ASSERT_NE(query, nullptr);
  HMODULE msi = GetModuleHandleW(L"msi.dll");
  ASSERT_NE(msi, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(query), reinterpret_cast<void*>(GetProcAddress(msi, "MsiGetProductInfoW")));
  wchar_t value[16] = {};
  DWORD count = 16;
  EXPECT_EQ(query(kUnknownCode, L"VersionString", value, &count), static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
}

TEST_F(Detection, RegisteredCodeWithoutLocationCountsAsInstalled) {
  EXPECT_TRUE(qrx::IsProductInstalled(qrx::kInstalledCheckCode));
  EXPECT_FALSE(qrx::IsProductInstalled(kUnknownCode));
  wchar_t location[MAX_PATH] = L"sentinel";
  DWORD count = MAX_PATH;
  ASSERT_EQ(qrx::GetMsiGetProductInfo()(qrx::kInstalledCheckCode, L"InstallLocation", location, &count),
            static_cast<UINT>(ERROR_SUCCESS));
  EXPECT_STREQ(location, L"") << "the package sets no install location";
}

TEST_F(Detection, VersionOfARegisteredCode) {
  EXPECT_EQ(qrx::QueryProductVersion(qrx::kInstalledCheckCode), L"7.0.1.5");
  EXPECT_EQ(qrx::QueryProductVersion(kFolder32Code), L"1.0.0.2");
  EXPECT_EQ(qrx::QueryProductVersion(kUnknownCode), L"");
}

TEST_F(Detection, QrxInstalledFollowsTheLastCodeOfBothLists) {
  EXPECT_STREQ(qrx::ProductCodesFor(L"32")[5], qrx::kInstalledCheckCode);
  EXPECT_STREQ(qrx::ProductCodesFor(L"64")[5], qrx::kInstalledCheckCode);
  qrx::SessionInfo info(L"QRX", L"1.0.79.1");
  qrx::ErrorReporter reporter(&info);
  for (const wchar_t* bits : {L"32", L"64"}) {
    info.properties[L"osbits"] = bits;
    auto* bridge = new qrx::QRXExternal(&info, &reporter, nullptr);
    EXPECT_EQ(bridge->GetPropertyValue(L"qrxInstalled"), L"true") << bits;
    EXPECT_EQ(bridge->Release(), 0u);
  }
}

TEST_F(Detection, FolderOnlyInThe64BitViewIsFoundSecond) {
  std::wstring folder;
  EXPECT_FALSE(qrx::ReadMachineFolderValue(L"Software\\QRXTests\\Only64", L"Directory", KEY_WOW64_32KEY, folder));
  ASSERT_TRUE(qrx::ReadMachineFolderValue(L"Software\\QRXTests\\Only64", L"Directory", KEY_WOW64_64KEY, folder));
  EXPECT_EQ(folder, L"C:\\Lumenary R7\\");
  // As a 32-bit process on a 64-bit system looks: its own (32-bit) view first, then the 64-bit one.
  std::wstring path;
  ASSERT_TRUE(qrx::FindStartProgram(L"Software\\QRXTests\\Only64", KEY_WOW64_32KEY, KEY_WOW64_64KEY, path));
  EXPECT_EQ(path, L"C:\\Lumenary R7\\Halvard Lumenary Pro.exe") << "exactly one backslash";
}

TEST_F(Detection, The32BitViewComesFirst) {
  std::wstring path;
  ASSERT_TRUE(qrx::FindStartProgram(L"Software\\QRXTests\\Both", KEY_WOW64_32KEY, KEY_WOW64_64KEY, path));
  EXPECT_EQ(path, L"D:\\From32\\Halvard Lumenary Pro.exe");
  // What this 64-bit test process sees without a view flag: the 64-bit view.
  ASSERT_TRUE(qrx::FindStartProgram(L"Software\\QRXTests\\Both", 0, KEY_WOW64_64KEY, path));
  EXPECT_EQ(path, L"E:\\From64\\Halvard Lumenary Pro.exe");
}

TEST_F(Detection, MissingValueInBothViewsLeavesThePathAlone) {
  std::wstring path = L"untouched";
  EXPECT_FALSE(qrx::FindStartProgram(L"Software\\QRXTests\\Nothing", 0, KEY_WOW64_64KEY, path));
  EXPECT_EQ(path, L"untouched");
  // The product's own key is not registered in the test prefix.
  qrx::UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Halvard\\Lumenary Pro\\R7", 0, KEY_QUERY_VALUE, key.put()) !=
          ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Halvard\\Lumenary Pro\\R7", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.put()) != ERROR_SUCCESS) {
    bridgetest::TestBridge t;
    EXPECT_FALSE(t.bridge->GetInstalledStartProgram(path));
    EXPECT_EQ(path, L"untouched");
  }
}

TEST(RegistryValue, ValueOfExactly520BytesStaysInsideTheBuffer) {
  const wchar_t kKey[] = L"Software\\QRXTests\\Long";
  qrx::UniqueHKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  struct Case {
    size_t chars;      // characters stored
    bool terminated;   // with a terminator of its own
    size_t expected;   // characters read back
    bool pathFits;
  };
  const Case cases[] = {{260, false, 260, false}, {259, true, 259, false}, {200, true, 200, true},
                        {261, false, 0, false}};
  for (const Case& c : cases) {
    // One more non-zero character after the data: the registry adds a terminator that the
    // caller "forgot" only when the character after the counted bytes is a zero.
    std::wstring data(c.chars + 1, L'f');
    data[0] = L'C';
    size_t bytes = c.chars * sizeof(wchar_t);
    if (c.terminated) {
      data[c.chars] = L'\0';
      bytes += sizeof(wchar_t);
    }
    ASSERT_EQ(RegSetValueExW(key.get(), L"Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(bytes)),
              ERROR_SUCCESS);
    DWORD stored = 0;
    ASSERT_EQ(RegQueryValueExW(key.get(), L"Directory", nullptr, nullptr, nullptr, &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, bytes);
    std::wstring folder = L"untouched";
    const bool read = qrx::ReadMachineFolderValue(kKey, L"Directory", 0, folder);
    if (c.expected == 0) {
      EXPECT_FALSE(read) << "too large for the buffer";
    } else {
      ASSERT_TRUE(read) << c.chars;
      EXPECT_EQ(folder.size(), c.expected);
    }
    std::wstring path = L"untouched";
    EXPECT_EQ(qrx::FindStartProgram(kKey, 0, KEY_WOW64_64KEY, path), c.pathFits) << c.chars;
    if (!c.pathFits) {
      EXPECT_EQ(path, L"untouched");
    }
  }
  RegDeleteValueW(key.get(), L"Directory");
  key.Reset();
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
}

}  // namespace
