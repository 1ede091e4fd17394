// Whole installs under Wine: the test product package is unpacked, our setup.exe runs on the
// hidden desktop and installs real .msi packages, and the owner sees progress, errors and logs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "common/unique_any.h"
#include "installer/install_package.h"
#include "installer/install_progress.h"
#include "installer/product_codes.h"
#include "installer/package_signers.h"
#include "installer/setup_signer.h"
#include "installer/test_install_owner.h"
#include "support/test_support.h"
#include "zip/zip_files.h"

namespace {

using qrxtest::TempDir;
using qrxtest::TestInstallOwner;

std::wstring PackageFile(const wchar_t* name) { return std::wstring(QRX_TEST_PACKAGE_DIR) + L"\\" + name; }

std::string Utf8(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c < 0x80 ? c : '?');
  return out;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The value of a "name=" line that our setup.exe wrote into its log.
std::string Recorded(const std::wstring& logPath, const std::string& name) {
  const std::string text = qrxtest::ReadFileBytes(logPath);
  const std::string key = name + "=";
  size_t at = text.rfind("\n" + key);
  at = text.compare(0, key.size(), key) == 0 ? 0 : (at == std::string::npos ? at : at + 1);
  if (at == std::string::npos) return "<missing>";
  const size_t end = text.find("\r\n", at);
  return text.substr(at + key.size(), end - at - key.size());
}

class InstallPackageTest : public ::testing::Test {
 protected:
  InstallPackageTest() : tmp_(L"TMP", temp_.path()), tempEnv_(L"TEMP", temp_.path()) {}

  // Copies a package of the test build into a fresh download folder.
  std::wstring Place(const wchar_t* packageName) {
    const std::wstring path = download_.Join(L"QRXPackage.zip");
    EXPECT_TRUE(CopyFileW(PackageFile(packageName).c_str(), path.c_str(), FALSE)) << Utf8(PackageFile(packageName));
    return path;
  }
  std::wstring Folder() const { return download_.path().substr(0, download_.path().size() - 1); }

  TempDir temp_;  // the user's temp folder of this test: setup gets another
  qrxtest::ScopedEnv tmp_;
  qrxtest::ScopedEnv tempEnv_;
  TempDir download_{qrxtest::WorkingParent()};
};

TEST_F(InstallPackageTest, SuccessfulSetupRegistersEveryStageAndEndsAtOneHundred) {
  qrxtest::RemoveTestProducts();
  TestInstallOwner owner(L"64");
  owner.GetInstallProgressState() = {-1, 2};
  const std::wstring package = Place(L"product.zip");

  ASSERT_EQ(qrx::InstallPackage(owner, package, L"PAUSEMS=1200", qrxtest::RealOperations()), 0);

  // Each stage's milestone is published when its package appears, in list order, and every
  // value in between creeps towards the next milestone.
  const std::vector<int> values = owner.published();
  ASSERT_FALSE(values.empty());
  std::printf("installProgress:");
  for (int v : values) std::printf(" %d", v);
  std::printf("\n");
  EXPECT_EQ(values.back(), 100);
  EXPECT_EQ(owner.GetProperty(L"installProgress"), L"100");
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  int previous = 2;
  int stage = -1;
  for (size_t i = 0; i + 1 < values.size(); ++i) {
    const int v = values[i];
    const int* m = qrx::kProgressMilestones64;
    if (v == qrx::CreepTowards(previous, m[stage + 1])) {
      // creeping (also when a creep happens to land on a milestone value)
    } else {
      const int* at = std::find(m, m + 6, v);
      ASSERT_NE(at, m + 6) << "value " << v << " after " << previous;
      ASSERT_GT(at - m, stage) << "value " << v;
      stage = static_cast<int>(at - m);
    }
    previous = v;
  }
  for (int milestone : {37, 40, 46, 74, 80, 92}) {
    EXPECT_NE(std::find(values.begin(), values.end(), milestone), values.end()) << milestone;
  }

  EXPECT_EQ(owner.productVersion(), L"7.2.1.5");
  EXPECT_EQ(owner.failedStage().first, 0);
  EXPECT_EQ(owner.failedStage().second, 0);

  const std::wstring log = download_.Join(L"log.txt");
  EXPECT_EQ(Recorded(log, "desktop"), "QRXVirtualDesktop");
  EXPECT_EQ(Recorded(log, "cwd"), Utf8(Folder()));
  // Setup's temp folder is a new folder of the run inside the package folder, not the user's.
  const std::string setupTemp = Recorded(log, "temp");
  EXPECT_EQ(Recorded(log, "tmp"), setupTemp);
  EXPECT_EQ(setupTemp.rfind(Utf8(download_.path()), 0), 0u) << setupTemp;
  EXPECT_GT(setupTemp.size(), download_.path().size()) << setupTemp;

  const std::vector<std::wstring>& attachments = owner.attachments();
  ASSERT_EQ(attachments.size(), 3u);
  EXPECT_EQ(attachments[0], log);
  EXPECT_EQ(attachments[1], download_.Join(L"log.txt.xml"));
  EXPECT_EQ(Utf8(attachments[2]).rfind(setupTemp + "dd_vcredist_amd64_", 0), 0u) << Utf8(attachments[2]);
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp_.path())) << "nothing in the user's temp folder";
  for (const std::wstring& path : attachments) EXPECT_TRUE(qrxtest::FileExists(path)) << Utf8(path);

  // The main package wrote where the program went.
  wchar_t directory[MAX_PATH] = {};
  DWORD size = sizeof(directory);
  ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, qrx::kProductRegistryKey, L"Directory", RRF_RT_REG_SZ, nullptr,
                         directory, &size),
            ERROR_SUCCESS);
  EXPECT_TRUE(qrxtest::FileExists(std::wstring(directory) + L"\\Halvard Lumenary Pro.exe")) << Utf8(directory);

  const std::vector<std::string> lines = owner.LogMessages();
  for (const wchar_t* code : qrx::kProductCodes64) {
    EXPECT_TRUE(Contains(lines, "productcode: " + Utf8(code) + "  installed")) << Utf8(code);
  }
  EXPECT_TRUE(Contains(lines, "Install error: 0"));
  qrxtest::RemoveTestProducts();
}

// The product package written to a stream (data descriptors, zero sizes in the local headers),
// with setup.exe padded by zeros and large files of one repeated byte, each sized so that the
// inflater still owes output after taking its last input: it unpacks whole and installs.
TEST_F(InstallPackageTest, StreamedPackageOfHighlyCompressibleFilesInstalls) {
  qrxtest::RemoveTestProducts();
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"compressible.zip");
  // The zeros appended to setup.exe change the file after it was signed, so the signer check would
  // refuse it; this case is about unpacking, so it runs without a signer list.
  qrx::InstallOperations unchecked = qrxtest::RealOperations();
  unchecked.setupSigners = nullptr;

  ASSERT_EQ(qrx::InstallPackage(owner, package, L"PAUSEMS=0", unchecked), 0);
  EXPECT_EQ(owner.productVersion(), L"7.2.1.5");
  EXPECT_EQ(owner.failedStage().first, 0);
  EXPECT_EQ(owner.failedStage().second, 0);
  EXPECT_EQ(owner.GetProperty(L"installProgress"), L"100");
  EXPECT_TRUE(Contains(owner.LogMessages(), "Install error: 0"));

  // Every large file arrived whole (the reader checked each one's CRC-32 on the way).
  const std::string listing = qrxtest::ReadFileBytes(PackageFile(L"compressible.txt"));
  size_t files = 0;
  for (size_t at = 0; at < listing.size();) {
    const size_t end = listing.find("\r\n", at);
    const std::string line = listing.substr(at, end - at);
    at = end == std::string::npos ? listing.size() : end + 2;
    const size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    std::wstring name(line.begin(), line.begin() + static_cast<long>(tab));
    std::replace(name.begin(), name.end(), L'/', L'\\');
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(download_.Join(name).c_str(), GetFileExInfoStandard, &data)) << line;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    EXPECT_EQ(size, std::stoull(line.substr(tab + 1))) << line;
    ++files;
  }
  EXPECT_EQ(files, 4u);
  qrxtest::RemoveTestProducts();
}

TEST_F(InstallPackageTest, ExitCodesMapToResultsWithoutRecordingErrorFields) {
  qrxtest::RemoveTestProducts();
  const struct {
    const wchar_t* exitCode;
    int result;
  } cases[] = {{L"1603", 3}, {L"1618", 4}, {L"3010", 1}, {L"1602", 1}};
  for (const auto& c : cases) {
    TestInstallOwner owner(L"64");
    const std::wstring package = Place(L"product.zip");
    EXPECT_EQ(qrx::InstallPackage(owner, package, std::wstring(L"MSI=0 EXITCODE=") + c.exitCode,
                                  qrxtest::RealOperations()),
              c.result)
        << Utf8(c.exitCode);
    // The install thread records the outcome; setup having run, nothing is recorded here.
    EXPECT_EQ(owner.failedStage().first, 0);
    EXPECT_EQ(owner.failedStage().second, 0);
    EXPECT_EQ(owner.productVersion(), L"(unset)");
    EXPECT_NE(owner.GetProperty(L"installProgress"), L"100");
    EXPECT_TRUE(Contains(owner.LogMessages(), "Install error: " + Utf8(c.exitCode)));
    // Setup's logs and the redistributable log are attached after a failure too.
    ASSERT_GE(owner.attachments().size(), 3u);
    EXPECT_EQ(owner.attachments()[0], download_.Join(L"log.txt"));
  }
}

// Extraction that goes on after the archive, asking its control as a long entry's data would,
// until two progress steps have been published, so the steps can be seen.
TestInstallOwner* g_slowOwner = nullptr;
size_t g_slowUntil = 0;
bool SlowExtract(HANDLE archive, const wchar_t* folder, const qrx::ExtractControl* control) {
  const bool ok = qrx::ExtractArchive(archive, folder, control);
  const DWORD start = GetTickCount();
  while (g_slowOwner->published().size() < g_slowUntil) {
    if (!control->keepGoing(control->context) || GetTickCount() - start > 20000) return false;
    Sleep(20);  // standing in for data being written; bounded above
  }
  return ok;
}

// A zip whose one stored entry "big.bin" declares `size` bytes of data, written sparse: the
// data is a hole the file system does not store.
void WriteSparseStoredZip(const std::wstring& path, uint32_t size) {
  const std::string name = "big.bin";
  auto le = [](std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  std::string local = "PK\x03\x04";
  le(local, 10, 2), le(local, 0, 2), le(local, 0, 2), le(local, 0, 4), le(local, 0, 4);
  le(local, size, 4), le(local, size, 4), le(local, static_cast<uint32_t>(name.size()), 2), le(local, 0, 2);
  local += name;
  std::string central = "PK\x01\x02";
  le(central, 20, 2), le(central, 10, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 4);
  le(central, 0, 4), le(central, size, 4), le(central, size, 4), le(central, static_cast<uint32_t>(name.size()), 2);
  le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 4), le(central, 0, 4);
  central += name;
  const uint32_t directoryAt = static_cast<uint32_t>(local.size()) + size;
  std::string end = "PK\x05\x06";
  le(end, 0, 4), le(end, 1, 2), le(end, 1, 2), le(end, static_cast<uint32_t>(central.size()), 4);
  le(end, directoryAt, 4), le(end, 0, 2);
  qrx::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), local.data(), static_cast<DWORD>(local.size()), &written, nullptr));
  LARGE_INTEGER at;
  at.QuadPart = directoryAt;
  ASSERT_TRUE(SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN));
  const std::string tail = central + end;
  ASSERT_TRUE(WriteFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));
}

// The install's result, and the milliseconds from the stop to its return (-1: the stop never came).
struct StoppedInstall {
  int result;
  long stopMs;
};

// Runs the install while another thread asks it to stop once `ready` holds (looked at every 5 ms,
// for two minutes at most).
using StopReady = bool (*)(TestInstallOwner& owner, const std::wstring& watched);
StoppedInstall InstallStoppedWhen(TestInstallOwner& owner, const std::wstring& package, const wchar_t* parameters,
                                  StopReady ready, const std::wstring& watched = L"") {
  struct Stopper {
    TestInstallOwner* owner;
    StopReady ready;
    const std::wstring* watched;
    DWORD stoppedAt;
  } stopper{&owner, ready, &watched, 0};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        auto* s = static_cast<Stopper*>(parameter);
        const DWORD start = GetTickCount();
        while (!s->ready(*s->owner, *s->watched)) {
          if (GetTickCount() - start > 120000) return 1;
          Sleep(5);  // watching the install from outside; bounded above
        }
        s->stoppedAt = GetTickCount();
        s->owner->RequestStop();
        return 0;
      },
      &stopper, 0, nullptr);
  const int result = qrx::InstallPackage(owner, package, parameters, qrxtest::RealOperations());
  const DWORD returnedAt = GetTickCount();
  if (!thread) return {result, -1};
  WaitForSingleObject(thread, 130000);
  CloseHandle(thread);
  return {result, stopper.stoppedAt ? static_cast<long>(returnedAt - stopper.stoppedAt) : -1};
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Shut-down asks to stop while a 1 GiB entry is being written: the extraction ends within a
// second, the partly written entry is deleted, setup is never looked for, and the install ends
// as stopped, with no stage logged.
TEST_F(InstallPackageTest, StopDuringALargeEntryEndsTheUnpackingWithinOneSecond) {
  TestInstallOwner owner(L"64");
  const std::wstring package = download_.Join(L"QRXPackage.zip");
  WriteSparseStoredZip(package, 1u << 30);
  const std::wstring entry = download_.Join(L"big.bin");
  const StoppedInstall run = InstallStoppedWhen(owner, package, L"", [](TestInstallOwner&, const std::wstring& path) {
    return FileSize(path) >= (64u << 20);
  }, entry);
  ASSERT_GE(run.stopMs, 0) << "the entry never grew to 64 MiB";
  const int result = run.result;
  const long stopMs = run.stopMs;
  std::printf("measure: unpacking stop %ld ms\n", stopMs);
  EXPECT_LT(stopMs, 1000);
  EXPECT_EQ(result, qrx::kInstallStopped);
  EXPECT_FALSE(qrxtest::FileExists(entry)) << "the partly written entry is deleted";
  const std::vector<std::string> lines = owner.LogMessages();
  EXPECT_TRUE(Contains(lines, "Unpacking stopped by shut-down"));
  EXPECT_EQ(owner.failedStage(), std::make_pair(0, 0));
  EXPECT_EQ(owner.setupLeftRunning(), 0);
}

TEST_F(InstallPackageTest, RetryAfterAnotherInstallStartsUnzipStepsFromTheValueLeft) {
  qrxtest::RemoveTestProducts();
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"product.zip");
  ASSERT_EQ(qrx::InstallPackage(owner, package, L"MSI=0 REDIST=0 WAITMS=2500 EXITCODE=1618",
                                qrxtest::RealOperations()),
            4);
  const std::vector<int> first = owner.published();
  ASSERT_GE(first.size(), 2u);
  const int left = first.back();
  ASSERT_GT(left, 6);
  ASSERT_TRUE(qrxtest::WaitUntilWritable(download_.Join(L"setup.exe"), 10000));

  qrx::InstallOperations slow = qrxtest::RealOperations();
  slow.extract = &SlowExtract;
  g_slowOwner = &owner;
  g_slowUntil = first.size() + 2;
  ASSERT_EQ(qrx::InstallPackage(owner, package, L"MSI=0 REDIST=0 EXITCODE=1618", slow), 4);
  const std::vector<int> all = owner.published();
  const std::vector<int> second(all.begin() + static_cast<long>(first.size()), all.end());
  ASSERT_GE(second.size(), 3u);
  EXPECT_EQ(second[0], qrx::CreepTowards(left, 6));
  EXPECT_EQ(second[1], qrx::CreepTowards(second[0], 6));
  EXPECT_LT(second[1], left);  // the bar moves down towards the extraction target
}

// Shut-down asks the install to stop while setup runs: the wait ends at once, the owner hears that
// setup still runs from the package folder, and setup goes on to install the product by itself.
TEST_F(InstallPackageTest, StopEndsTheWaitForSetupWhichRunsOnToItsEnd) {
  qrxtest::RemoveTestProducts();
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"product.zip");
  // The first poll publishes once setup has started; the stop follows it.
  const StoppedInstall run = InstallStoppedWhen(owner, package, L"PAUSEMS=200", [](TestInstallOwner& o, const std::wstring&) {
    return !o.published().empty();
  });
  ASSERT_GE(run.stopMs, 0);
  EXPECT_EQ(run.result, qrx::kInstallStopped);
  const long stopMs = run.stopMs;
  std::printf("measure: install stop %ld ms\n", stopMs);
  EXPECT_LT(stopMs, 1000);
  EXPECT_EQ(owner.setupLeftRunning(), 1);
  const std::vector<std::string> lines = owner.LogMessages();
  EXPECT_TRUE(Contains(lines, "Stopped waiting for setup; it runs on by itself"));
  EXPECT_EQ(owner.failedStage().first, 0);
  // Setup was not ended: the product arrives by itself.
  const DWORD start = GetTickCount();
  bool installed = false;
  while (!(installed = qrxtest::MsiProductInstalled(qrx::MainProductCodeFor(L"64"))) && GetTickCount() - start < 180000) {
    Sleep(500);  // polling another process's progress; bounded above
  }
  EXPECT_TRUE(installed);
  ASSERT_TRUE(qrxtest::WaitUntilWritable(download_.Join(L"setup.exe"), 60000));
  qrxtest::RemoveTestProducts();
}

TEST_F(InstallPackageTest, ExtractionWithinTwoSecondsMovesNoProgress) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"nosetup.zip");
  EXPECT_EQ(qrx::ExtractPackage(owner, package, Folder(), &qrx::ExtractArchive), qrx::ExtractOutcome::kExtracted);
  EXPECT_TRUE(owner.published().empty());
  EXPECT_TRUE(qrxtest::FileExists(download_.Join(L"readme.txt")));
}

TEST_F(InstallPackageTest, SlowExtractionStepsFromZeroToOneThenTwo) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"nosetup.zip");
  g_slowOwner = &owner;
  g_slowUntil = 2;
  EXPECT_EQ(qrx::ExtractPackage(owner, package, Folder(), &SlowExtract), qrx::ExtractOutcome::kExtracted);
  EXPECT_EQ(owner.published(), (std::vector<int>{1, 2}));
  EXPECT_EQ(owner.GetInstallProgressState().value, 2);
  EXPECT_EQ(owner.GetInstallProgressState().stage, -1);
}

TEST_F(InstallPackageTest, SetupTwoFoldersDeepWritesItsLogsThereAndRunsInThePackageFolder) {
  qrxtest::RemoveTestProducts();
  TestInstallOwner owner(L"64");
  owner.SetProductVersion(L"stale");
  const std::wstring package = Place(L"deep.zip");
  ASSERT_EQ(qrx::InstallPackage(owner, package, L"MSI=0", qrxtest::RealOperations()), 0);
  const std::wstring setupFolder = download_.Join(L"Halvard\\Setup Files");
  ASSERT_GE(owner.attachments().size(), 2u);
  EXPECT_EQ(owner.attachments()[0], setupFolder + L"\\log.txt");
  EXPECT_EQ(owner.attachments()[1], setupFolder + L"\\log.txt.xml");
  EXPECT_EQ(Recorded(setupFolder + L"\\log.txt", "cwd"), Utf8(Folder()));
  // The main package is not registered: the version is still overwritten, with nothing.
  EXPECT_EQ(owner.productVersion(), L"");
  EXPECT_EQ(owner.GetProperty(L"installProgress"), L"100");
}

TEST_F(InstallPackageTest, EmptyParametersGiveTwoBlanksBeforeQn) {
  TestInstallOwner owner(L"64");
  // Only the setup program: without parameters it has nothing to install.
  const std::wstring package = Place(L"setuponly.zip");
  ASSERT_EQ(qrx::InstallPackage(owner, package, L"", qrxtest::RealOperations()), 0);
  const std::wstring expected = L"\"" + download_.Join(L"setup.exe") + L"\"  /qn /l* \"" + download_.Join(L"log.txt") + L"\"";
  EXPECT_EQ(Recorded(download_.Join(L"log.txt"), "commandline"), Utf8(expected));
  EXPECT_TRUE(Contains(owner.LogMessages(), "Install : cmd line: " + Utf8(expected)));
}

TEST_F(InstallPackageTest, ParametersWithQuotesPassUnchanged) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"product.zip");
  const std::wstring parameters = L"MSI=0 NAME=\"Halvard Lumenary\" PATH='C:\\x y' TAIL=\\\"";
  ASSERT_EQ(qrx::InstallPackage(owner, package, parameters, qrxtest::RealOperations()), 0);
  const std::wstring expected =
      L"\"" + download_.Join(L"setup.exe") + L"\" " + parameters + L" /qn /l* \"" + download_.Join(L"log.txt") + L"\"";
  EXPECT_EQ(Recorded(download_.Join(L"log.txt"), "commandline"), Utf8(expected));
}

TEST_F(InstallPackageTest, NoSetupProgramGivesThreeAndRecordsFive) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"nosetup.zip");
  EXPECT_EQ(qrx::InstallPackage(owner, package, L"", qrxtest::RealOperations()), 3);
  EXPECT_EQ(owner.failedStage().first, 5);
  EXPECT_EQ(owner.failedStage().second, 0);
  EXPECT_TRUE(Contains(owner.LogMessages(), "Can not find setup.exe, unzip path : " + Utf8(Folder())));
  EXPECT_TRUE(owner.attachments().empty());
}

void Corrupt(std::string& bytes) {
  // Flip bytes inside the compressed data of the first entry (after its local header).
  for (size_t i = 200; i < 260 && i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
}

TEST_F(InstallPackageTest, CorruptTruncatedOrMissingPackageGivesThreeAndRecordsFour) {
  const std::string good = qrxtest::ReadFileBytes(PackageFile(L"product.zip"));
  ASSERT_GT(good.size(), 1000u);
  std::string corrupt = good;
  Corrupt(corrupt);
  const struct {
    const char* name;
    std::string bytes;
    bool write;
  } cases[] = {{"corrupt", corrupt, true}, {"truncated", good.substr(0, good.size() / 2), true},
               {"empty", std::string(), true}, {"missing", std::string(), false}};
  for (const auto& c : cases) {
    TempDir folder;
    const std::wstring package = folder.Join(L"QRXPackage.zip");
    if (c.write) {
      ASSERT_TRUE(qrxtest::WriteFileBytes(package, c.bytes));
    }
    TestInstallOwner owner(L"64");
    EXPECT_EQ(qrx::InstallPackage(owner, package, L"MSI=0", qrxtest::RealOperations()), 3) << c.name;
    EXPECT_EQ(owner.failedStage().first, 4) << c.name;
    EXPECT_EQ(owner.failedStage().second, 0) << c.name;
    const std::wstring unzipTo = folder.path().substr(0, folder.path().size() - 1);
    EXPECT_TRUE(Contains(owner.LogMessages(),
                         "Unzip failed, installer_path: " + Utf8(package) + ", unzip to: " + Utf8(unzipTo)))
        << c.name;
    EXPECT_TRUE(owner.attachments().empty());
  }
}

TEST_F(InstallPackageTest, SetupThatIsNotAProgramGivesThreeAndRecordsSixWithTheSystemError) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"notprogram.zip");
  // Without a signer list, so that process creation itself is what fails.
  qrx::InstallOperations unchecked = qrxtest::RealOperations();
  unchecked.setupSigners = nullptr;
  EXPECT_EQ(qrx::InstallPackage(owner, package, L"MSI=0", unchecked), 3);
  EXPECT_EQ(owner.failedStage().first, 6);
  EXPECT_NE(owner.failedStage().second, 0);
  std::printf("process creation of a text setup.exe failed with system error %d\n", owner.failedStage().second);
  const std::wstring line = L"\"" + download_.Join(L"setup.exe") + L"\" MSI=0 /qn /l* \"" + download_.Join(L"log.txt") + L"\"";
  EXPECT_TRUE(Contains(owner.LogMessages(), "Create process failed, setup cmd line: " + Utf8(line)));
  EXPECT_TRUE(owner.attachments().empty());
}

TEST_F(InstallPackageTest, PackagePathTooLongForTheBufferIsRefusedNotCut) {
  TestInstallOwner owner(L"64");
  std::wstring package = download_.path();
  package += std::wstring(MAX_PATH, L'p') + L".zip";
  EXPECT_EQ(qrx::InstallPackage(owner, package, L"", qrxtest::RealOperations()), 3);
  EXPECT_EQ(owner.failedStage().first, 4);
  EXPECT_EQ(owner.failedStage().second, 0);
  EXPECT_TRUE(owner.published().empty());
  EXPECT_TRUE(qrxtest::FolderIsEmpty(Folder()));
}

TEST(SetupSigners, TheTestBuildListsTheTestSigner) {
  qrx::Sha256Digest testSigner{};
  ASSERT_TRUE(qrx::ParseDigestHex(QRX_TEST_SIGNER_THUMBPRINT, testSigner));
  const std::vector<qrx::Sha256Digest> listed = qrx::ParseSignerList(qrx::ProductInstallOperations().setupSigners);
  EXPECT_NE(std::find(listed.begin(), listed.end(), testSigner), listed.end());
}

// Whether our setup.exe ran: it writes the Windows Installer log it is given.
bool SetupRan(const TempDir& folder) { return qrxtest::FileExists(folder.Join(L"log.txt")); }

TEST_F(InstallPackageTest, SetupSignedByTheListedCertificateRuns) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"product.zip");
  ASSERT_EQ(qrx::InstallPackage(owner, package, L"MSI=0 REDIST=0", qrxtest::RealOperations()), 0);
  EXPECT_TRUE(SetupRan(download_));
  EXPECT_EQ(owner.failedStage().first, 0);
}

TEST_F(InstallPackageTest, SetupNotSignedByAListedCertificateIsNotStarted) {
  const std::string refused = "Setup signature refused, setup: ";
  const struct {
    const wchar_t* package;
    std::string reason;  // the start of the reason in the log line
    long trust;          // WinVerifyTrust's answer, recorded as msiError
  } cases[] = {
      {L"unsigned.zip", "signature not valid, WinVerifyTrust 800b0100", static_cast<long>(TRUST_E_NOSIGNATURE)},
      {L"tampered.zip", "signature not valid, WinVerifyTrust 80096010", static_cast<long>(TRUST_E_BAD_DIGEST)},
      // A valid signature by a certificate of the same name: only the thumbprint tells them apart.
      {L"othersigner.zip", "signer certificate not listed, sha256 ", 0},
  };
  for (const auto& c : cases) {
    TempDir download;
    const std::wstring package = download.Join(L"QRXPackage.zip");
    ASSERT_TRUE(CopyFileW(PackageFile(c.package).c_str(), package.c_str(), FALSE));
    TestInstallOwner owner(L"64");
    EXPECT_EQ(qrx::InstallPackage(owner, package, L"MSI=0 REDIST=0", qrxtest::RealOperations()), 3)
        << Utf8(c.package);
    EXPECT_FALSE(SetupRan(download)) << Utf8(c.package);
    EXPECT_EQ(owner.failedStage().first, 7) << Utf8(c.package);
    EXPECT_EQ(owner.failedStage().second, c.trust) << Utf8(c.package);
    EXPECT_TRUE(owner.attachments().empty());
    const std::string prefix = refused + Utf8(download.Join(L"setup.exe")) + ", reason: " + c.reason;
    std::string line;
    for (const std::string& message : owner.LogMessages()) {
      if (message.compare(0, refused.size(), refused) == 0) line = message;
    }
    EXPECT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    if (c.trust == 0) {
      // The other certificate's thumbprint is named, and it is not the test signer's.
      EXPECT_EQ(line.size(), prefix.size() + 64) << line;
      EXPECT_NE(line.substr(prefix.size()), Utf8(QRX_TEST_SIGNER_THUMBPRINT));
    }
  }
}

// With a signer list, every program, library and installer package of the unpacked package must
// be signed by a listed certificate: a package whose main .msi was swapped for one of another
// signer, or an unsigned one, is refused before setup starts.
TEST_F(InstallPackageTest, InstallerPackageNotSignedByAListedCertificateIsRefused) {
  const std::string refused = "Package file signature refused, file: ";
  const struct {
    const wchar_t* package;
    std::string reason;
    long trust;
  } cases[] = {
      {L"unsignedmsi.zip", "signature not valid, WinVerifyTrust 800b0100", static_cast<long>(TRUST_E_NOSIGNATURE)},
      {L"othersignermsi.zip", "signer certificate not listed, sha256 ", 0},
  };
  for (const auto& c : cases) {
    TempDir download;
    const std::wstring package = download.Join(L"QRXPackage.zip");
    ASSERT_TRUE(CopyFileW(PackageFile(c.package).c_str(), package.c_str(), FALSE));
    TestInstallOwner owner(L"64");
    EXPECT_EQ(qrx::InstallPackage(owner, package, L"REDIST=0", qrxtest::RealOperations()), 3) << Utf8(c.package);
    EXPECT_FALSE(SetupRan(download)) << Utf8(c.package);
    EXPECT_EQ(owner.failedStage().first, 7) << Utf8(c.package);
    EXPECT_EQ(owner.failedStage().second, c.trust) << Utf8(c.package);
    const std::string prefix = refused + Utf8(download.Join(L"4_lumenary.msi")) + ", reason: " + c.reason;
    std::string line;
    for (const std::string& message : owner.LogMessages()) {
      if (message.compare(0, refused.size(), refused) == 0) line = message;
    }
    EXPECT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
  }
}

TEST(PackageSigners, ProgramsLibrariesAndInstallerPackagesNeedOne) {
  const struct {
    const wchar_t* name;
    bool needs;
  } cases[] = {{L"setup.exe", true}, {L"a.DLL", true}, {L"4_lumenary.msi", true}, {L"X.Msi", true},
               {L"readme.txt", false}, {L"packages.txt", false}, {L"setup.ex", false}, {L"msi", false},
               {L".exe", false}, {L"a.exe.txt", false}, {L"a.msp", false}};
  for (const auto& c : cases) EXPECT_EQ(qrx::NeedsSigner(c.name), c.needs) << Utf8(c.name);
  TempDir folder;
  ASSERT_TRUE(CreateDirectoryW(folder.Join(L"sub").c_str(), nullptr));
  for (const wchar_t* name : {L"a.exe", L"b.txt", L"sub\\c.dll", L"sub\\d.msi", L"sub\\e.log"}) {
    ASSERT_TRUE(qrxtest::WriteFileBytes(folder.Join(name), "x"));
  }
  std::vector<std::wstring> found = qrx::FilesNeedingSigner(folder.path());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::wstring>{folder.Join(L"a.exe"), folder.Join(L"sub\\c.dll"),
                                              folder.Join(L"sub\\d.msi")}));
}

TEST_F(InstallPackageTest, ValidSignatureOfAnUnlistedCertificateIsRefused) {
  // Under Wine, WinVerifyTrust accepts any well-formed signature: the list decides.
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"product.zip");
  qrx::InstallOperations others = qrxtest::RealOperations();
  others.setupSigners = L"0000000000000000000000000000000000000000000000000000000000000000";
  EXPECT_EQ(qrx::InstallPackage(owner, package, L"MSI=0 REDIST=0", others), 3);
  EXPECT_FALSE(SetupRan(download_));
  EXPECT_EQ(owner.failedStage().first, 7);
  EXPECT_EQ(owner.failedStage().second, 0);
}

TEST_F(InstallPackageTest, EmptySignerListRunsAnUnsignedSetup) {
  TestInstallOwner owner(L"64");
  const std::wstring package = Place(L"unsigned.zip");
  qrx::InstallOperations unchecked = qrxtest::RealOperations();
  unchecked.setupSigners = L"";
  EXPECT_EQ(qrx::InstallPackage(owner, package, L"MSI=0 REDIST=0", unchecked), 0);
  EXPECT_TRUE(SetupRan(download_));
}

TEST(SetupSigners, ListParsing) {
  const std::wstring a(64, L'a');
  const std::wstring b = L"0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef";
  const struct {
    std::wstring text;
    size_t count;
  } cases[] = {
      {L"", 0}, {a, 1}, {a + L"," + b, 2}, {a + L";" + b, 2}, {L" " + a + L" , " + b + L" ", 2},
      {a.substr(1), 0}, {a + L"0", 0}, {a.substr(1) + L"g", 0}, {a + L",,", 1}, {L"sha256:" + a, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qrx::ParseSignerList(c.text.c_str()).size(), c.count) << Utf8(c.text);
  }
  EXPECT_TRUE(qrx::ParseSignerList(nullptr).empty());
  qrx::Sha256Digest parsed = qrx::ParseSignerList(b.c_str()).at(0);
  EXPECT_EQ(parsed[0], 0x01);
  EXPECT_EQ(parsed[31], 0xEF);
}

TEST(SetupSigners, Decision) {
  qrx::Sha256Digest listed{};
  listed[0] = 1;
  qrx::Sha256Digest other{};
  other[0] = 2;
  qrx::Sha256Digest ca{};
  ca[0] = 3;
  using qrx::SignerVerdict;
  const LONG badDigest = static_cast<LONG>(TRUST_E_BAD_DIGEST);
  struct Case {
    LONG trust;
    std::vector<qrx::Sha256Digest> chain;
    std::vector<qrx::Sha256Digest> list;
    SignerVerdict verdict;
  } cases[] = {
      {0, {listed}, {other, listed}, SignerVerdict::kListed},
      {0, {other}, {listed}, SignerVerdict::kNotListed},
      {0, {other}, {}, SignerVerdict::kNotListed},
      {0, {}, {listed}, SignerVerdict::kNoSigner},
      {badDigest, {listed}, {listed}, SignerVerdict::kNotTrusted},
      // The vendor lists its CA: a leaf it issued passes, wherever in the chain the CA is.
      {0, {other, ca}, {ca}, SignerVerdict::kListed},
      {0, {other, listed, ca}, {ca}, SignerVerdict::kListed},
      {0, {other, ca}, {listed}, SignerVerdict::kNotListed},
      {badDigest, {other, ca}, {ca}, SignerVerdict::kNotTrusted},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    EXPECT_EQ(qrx::DecideSigner(cases[i].trust, cases[i].chain, cases[i].list), cases[i].verdict) << "row " << i;
  }
}

}  // namespace
