// AddFileToArchive under Wine: the log archive is built one file at a time.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/unique_any.h"
#include "support/test_support.h"
#include "zip/zip_files.h"
#include "zip/zip_format.h"
#include "zip_test_helpers.h"

using qrxtest::FileExists;
using qrxtest::ReadFileBytes;
using qrxtest::TempDir;
using qrxtest::WriteFileBytes;
using ziptest::MemoryArchive;

namespace {

struct Expected {
  std::string name;
  std::string data;
};

void ExpectEntries(const std::wstring& archive, const std::vector<Expected>& expected) {
  MemoryArchive zip(ReadFileBytes(archive));
  ASSERT_TRUE(zip.ok());
  ASSERT_EQ(zip.reader().EntryCount(), expected.size());
  for (uint32_t i = 0; i < expected.size(); ++i) {
    qrx::ZipEntry entry;
    ASSERT_TRUE(zip.reader().GetEntry(i, &entry));
    EXPECT_EQ(entry.name, expected[i].name);
    EXPECT_EQ(entry.dosDate, 0);
    EXPECT_EQ(entry.dosTime, 0);
    EXPECT_EQ(entry.flags, 0);
    EXPECT_EQ(entry.method, expected[i].data.empty() ? qrx::zipformat::kMethodStored : qrx::zipformat::kMethodDeflated);
    std::string data;
    EXPECT_TRUE(zip.Data(i, &data));
    EXPECT_EQ(data, expected[i].data);
  }
}

std::string LogText(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "2026-01-01 12:00:00 DEBUG line " + std::to_string(i) + "\r\n";
  return text;
}

}  // namespace

TEST(AddFileToArchive, FirstFileCreatesTheArchiveAndLaterOnesAppend) {
  TempDir temp;
  const std::wstring archive = temp.Join(L"log.zip");
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"installer_log.txt"), LogText(2000)));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"log.txt.xml"), "<log/>"));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"installer_log.txt").c_str(), archive.c_str()));
  ExpectEntries(archive, {{"installer_log.txt", LogText(2000)}});
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"log.txt.xml").c_str(), archive.c_str()));
  ExpectEntries(archive, {{"installer_log.txt", LogText(2000)}, {"log.txt.xml", "<log/>"}});
  // Compressed at the best level: the repetitive log shrinks a lot.
  EXPECT_LT(ReadFileBytes(archive).size(), LogText(2000).size() / 5);
}

TEST(AddFileToArchive, SameNamesFromDifferentFoldersGiveTwoEntries) {
  TempDir temp;
  const std::wstring archive = temp.Join(L"log.zip");
  ASSERT_TRUE(CreateDirectoryW(temp.Join(L"one").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(temp.Join(L"two").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"one\\log.txt"), "first setup log"));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"two\\log.txt"), "second setup log"));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"one\\log.txt").c_str(), archive.c_str()));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"two\\log.txt").c_str(), archive.c_str()));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"one\\log.txt").c_str(), archive.c_str()));
  ExpectEntries(archive, {{"log.txt", "first setup log"}, {"log.txt", "second setup log"}, {"log.txt", "first setup log"}});
}

TEST(AddFileToArchive, EmptyFileBecomesAnEmptyEntry) {
  TempDir temp;
  const std::wstring archive = temp.Join(L"log.zip");
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"empty.log"), ""));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"empty.log").c_str(), archive.c_str()));
  ExpectEntries(archive, {{"empty.log", ""}});
}

TEST(AddFileToArchive, FileHeldWithoutReadSharingIsSkippedAndTheArchiveUnchanged) {
  TempDir temp;
  const std::wstring archive = temp.Join(L"log.zip");
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"first.txt"), "first"));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"locked.txt"), "locked"));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"first.txt").c_str(), archive.c_str()));
  const std::string before = ReadFileBytes(archive);
  {
    qrx::UniqueFile holder(CreateFileW(temp.Join(L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(qrx::AddFileToArchive(temp.Join(L"locked.txt").c_str(), archive.c_str()));
  }
  EXPECT_EQ(ReadFileBytes(archive), before);
  // Once released, the same file can be added.
  EXPECT_TRUE(qrx::AddFileToArchive(temp.Join(L"locked.txt").c_str(), archive.c_str()));
  ExpectEntries(archive, {{"first.txt", "first"}, {"locked.txt", "locked"}});
}

TEST(AddFileToArchive, FailuresLeaveNoArchive) {
  TempDir temp;
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), "a"));
  // Missing file: nothing is created.
  EXPECT_FALSE(qrx::AddFileToArchive(temp.Join(L"missing.txt").c_str(), temp.Join(L"log.zip").c_str()));
  EXPECT_FALSE(FileExists(temp.Join(L"log.zip")));
  // Archive in a folder that does not exist.
  EXPECT_FALSE(qrx::AddFileToArchive(temp.Join(L"a.txt").c_str(), temp.Join(L"none\\log.zip").c_str()));
  // Archive path that does not fit 260 bytes.
  const std::wstring longPath = temp.Join(std::wstring(300, L'x') + L".zip");
  EXPECT_FALSE(qrx::AddFileToArchive(temp.Join(L"a.txt").c_str(), longPath.c_str()));
  // A file that is not an archive is left alone.
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"not.zip"), "plain text, not an archive"));
  EXPECT_FALSE(qrx::AddFileToArchive(temp.Join(L"a.txt").c_str(), temp.Join(L"not.zip").c_str()));
  EXPECT_EQ(ReadFileBytes(temp.Join(L"not.zip")), "plain text, not an archive");
}

TEST(AddFileToArchive, ArchiveExtractsWithExtractArchive) {
  TempDir temp;
  const std::wstring archive = temp.Join(L"log.zip");
  std::string random(100000, '\0');
  unsigned seed = 1;
  for (char& c : random) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"random.bin"), random));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"text.txt"), LogText(300)));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"random.bin").c_str(), archive.c_str()));
  ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(L"text.txt").c_str(), archive.c_str()));
  ASSERT_TRUE(ziptest::ExtractFile(archive, temp.Join(L"out")));
  EXPECT_EQ(ReadFileBytes(temp.Join(L"out\\random.bin")), random);
  EXPECT_EQ(ReadFileBytes(temp.Join(L"out\\text.txt")), LogText(300));
}

// Leaves an archive in the build folder for the check with Info-ZIP and Python that runs next.
TEST(AddFileToArchive, WritesTheArchiveForTheInteroperabilityCheck) {
  TempDir temp;
  const std::wstring folder = std::wstring(QRX_TEST_BINARY_DIR) + L"\\zip-written";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring archive = folder + L"\\log.zip";
  DeleteFileW(archive.c_str());
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"installer_log.txt"), LogText(500)));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"log.txt"), "setup log"));
  ASSERT_TRUE(WriteFileBytes(temp.Join(L"empty.txt"), ""));
  for (const wchar_t* name : {L"log.txt", L"installer_log.txt", L"empty.txt", L"log.txt"}) {
    ASSERT_TRUE(qrx::AddFileToArchive(temp.Join(name).c_str(), archive.c_str()));
  }
}
