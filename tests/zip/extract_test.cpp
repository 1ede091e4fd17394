// ExtractArchive under Wine, on archives that Python's zipfile wrote for this run.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>

#include "common/unique_any.h"
#include "support/test_support.h"
#include "sysinfo/text.h"
#include "zip/zip_files.h"
#include "zip_test_helpers.h"

using qrxtest::FileExists;
using qrxtest::ReadFileBytes;
using qrxtest::TempDir;
using ziptest::ExtractFile;
using ziptest::Fixture;
using ziptest::ListFolder;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace

TEST(ExtractArchive, ArchiveWithoutEntriesCreatesOnlyTheTargetFolder) {
  TempDir temp;
  const std::wstring target = temp.Join(L"a\\b\\out");
  ASSERT_TRUE(ExtractFile(Fixture(L"empty.zip"), target));
  EXPECT_EQ(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_TRUE(ListFolder(target).empty());
}

TEST(ExtractArchive, FileInFolderWithoutFolderEntryCreatesTheFolder) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(ExtractFile(Fixture(L"nested.zip"), target));
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"docs\\"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\docs\\readme.txt"), Repeat("read me first\r\n", 100));
}

TEST(ExtractArchive, TreeWithFoldersEmptyFileAndEmptyFolder) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(ExtractFile(Fixture(L"tree.zip"), target));
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"top.txt", L"folder\\", L"empty.txt", L"emptydir\\"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\top.txt"), "top level");
  std::string block;
  for (int i = 0; i < 256; ++i) block += static_cast<char>(i);
  EXPECT_EQ(ReadFileBytes(target + L"\\folder\\inner\\deep.bin"), Repeat(block, 64));
  EXPECT_TRUE(FileExists(target + L"\\empty.txt"));
  EXPECT_EQ(ReadFileBytes(target + L"\\empty.txt"), "");
  EXPECT_TRUE(ListFolder(target + L"\\emptydir").empty());
}

TEST(ExtractArchive, ExistingFileIsReplaced) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(target + L"\\same.txt", std::string(5000, 'o')));
  ASSERT_TRUE(ExtractFile(Fixture(L"replace.zip"), target));
  EXPECT_EQ(ReadFileBytes(target + L"\\same.txt"), "new content");
}

// A control that counts its calls and says stop at the call `stopAt` (0: never).
struct CountingControl {
  int calls = 0;
  int stopAt = 0;
  static bool KeepGoing(void* context) {
    auto* self = static_cast<CountingControl*>(context);
    ++self->calls;
    return self->stopAt == 0 || self->calls < self->stopAt;
  }
};

bool ExtractWith(const std::wstring& archive, const std::wstring& target, CountingControl& counting) {
  qrx::UniqueFile file(CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  const qrx::ExtractControl control = {&CountingControl::KeepGoing, &counting};
  return file && qrx::ExtractArchive(file.get(), target.c_str(), &control);
}

TEST(ExtractArchive, ControlIsAskedBeforeEveryEntryAndAfterEveryMebibyteOfData) {
  TempDir temp;
  CountingControl counting;
  ASSERT_TRUE(ExtractWith(Fixture(L"large.zip"), temp.Join(L"out"), counting));
  // Two entries, and four whole mebibytes of the large one's data.
  EXPECT_EQ(counting.calls, 2 + 4);
  EXPECT_EQ(ReadFileBytes(temp.Join(L"out\\large.bin")).size(), 256u * (4 * 4096 + 7));
}

TEST(ExtractArchive, ControlSayingStopEndsTheExtractionAndDeletesTheEntryBeingWritten) {
  struct Case {
    int stopAt;
    bool smallWritten;
  } cases[] = {{1, false}, {2, true}, {3, true}, {5, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stopAt);
    TempDir temp;
    CountingControl counting;
    counting.stopAt = c.stopAt;
    EXPECT_FALSE(ExtractWith(Fixture(L"large.zip"), temp.Join(L"out"), counting));
    EXPECT_EQ(counting.calls, c.stopAt) << "nothing is asked after the stop";
    EXPECT_EQ(FileExists(temp.Join(L"out\\small.txt")), c.smallWritten);
    EXPECT_FALSE(FileExists(temp.Join(L"out\\large.bin")));
  }
}

TEST(ExtractArchive, CrcMismatchFailsAndLeavesNoFileForThatEntry) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  EXPECT_FALSE(ExtractFile(Fixture(L"crc.zip"), target));
  // The entry before stays; the failing one is deleted; nothing after it is attempted.
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"first.txt"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\first.txt"), "first entry is fine");
}

TEST(ExtractArchive, SameNamedEntriesLeaveTheLastOne) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(ExtractFile(Fixture(L"dupes.zip"), target));
  EXPECT_EQ(ReadFileBytes(target + L"\\dup.txt"), "second");
}

TEST(ExtractArchive, FolderEntrySucceedsWhenItsFolderCannotBeMadeAndTheFileInsideFails) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  EXPECT_FALSE(ExtractFile(Fixture(L"blocked.zip"), target));
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"blocker"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\blocker"), "a file");
}

TEST(ExtractArchive, NamesAreDecodedWithTheAnsiCodePageEvenWhenFlaggedUtf8) {
  // The tests run with LANG=en_US.UTF-8, for which Wine's ANSI code page is 1252.
  ASSERT_EQ(GetACP(), 1252u);
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(ExtractFile(Fixture(L"ansi.zip"), target));
  ASSERT_TRUE(ExtractFile(Fixture(L"utf8.zip"), target));
  // 0xE9 is e acute in 1252; the UTF-8 bytes C3 BC become two 1252 characters, not u umlaut.
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"caf\u00e9.txt", L"\u00c3\u00bc.txt"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\\u00c3\u00bc.txt"), "utf8");
}

TEST(ExtractArchive, MissingOrDamagedArchiveFails) {
  TempDir temp;
  EXPECT_FALSE(ExtractFile(Fixture(L"no-such.zip"), temp.Join(L"out")));
  ASSERT_TRUE(qrxtest::WriteFileBytes(temp.Join(L"junk.zip"), std::string(300, 'j')));
  EXPECT_FALSE(ExtractFile(temp.Join(L"junk.zip"), temp.Join(L"out")));
  // A damaged archive is refused before anything, the target folder included, is made.
  EXPECT_FALSE(FileExists(temp.Join(L"out")));
  EXPECT_FALSE(qrx::ExtractArchive(INVALID_HANDLE_VALUE, temp.Join(L"out").c_str()));
}

TEST(ExtractArchive, ReadsPositionallyWhateverTheHandlesFilePointer) {
  TempDir temp;
  qrx::UniqueFile file(CreateFileW(Fixture(L"nested.zip").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  SetFilePointer(file.get(), 17, nullptr, FILE_BEGIN);
  ASSERT_TRUE(qrx::ExtractArchive(file.get(), temp.Join(L"out").c_str()));
  EXPECT_EQ(ReadFileBytes(temp.Join(L"out\\docs\\readme.txt")), Repeat("read me first\r\n", 100));
}

TEST(ExtractArchive, NameTooLongForThePathFails) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  EXPECT_FALSE(ExtractFile(Fixture(L"long.zip"), target));
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"fine.txt"}));
}

TEST(ExtractEntry, FailsWithoutAReadingReaderOrForAnIndexOutOfRange) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  qrx::ZipReader idle;
  EXPECT_FALSE(qrx::ExtractEntry(&idle, 0, target.c_str()));
  EXPECT_FALSE(qrx::ExtractEntry(nullptr, 0, target.c_str()));
  ziptest::MemoryArchive zip(ReadFileBytes(Fixture(L"nested.zip")));
  ASSERT_TRUE(zip.ok());
  EXPECT_FALSE(qrx::ExtractEntry(&zip.reader(), 1, target.c_str()));
  EXPECT_FALSE(FileExists(target));
  EXPECT_TRUE(qrx::ExtractEntry(&zip.reader(), 0, target.c_str()));
  EXPECT_EQ(ReadFileBytes(target + L"\\docs\\readme.txt"), Repeat("read me first\r\n", 100));
}

// Every name that would leave the target folder fails the extraction; the harmless entry before
// it is written, and nothing appears beside the target folder or at the drive's root.
class EscapingName : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(EscapingName, IsRefusedAndNothingIsWrittenOutside) {
  TempDir temp;
  const std::wstring root = temp.Join(L"root");
  const std::wstring target = root + L"\\out";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  EXPECT_FALSE(ExtractFile(Fixture(GetParam()), target));
  EXPECT_EQ(ListFolder(root), (std::set<std::wstring>{L"out\\"}));
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"fine.txt"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\fine.txt"), "fine");
  EXPECT_FALSE(FileExists(L"Z:\\evil.txt"));
  EXPECT_FALSE(FileExists(L"C:\\evil.txt"));
  EXPECT_FALSE(FileExists(L"evil.txt"));
  EXPECT_FALSE(FileExists(temp.Join(L"evil.txt")));
}

INSTANTIATE_TEST_SUITE_P(Names, EscapingName,
                         ::testing::Values(L"escape-parent.zip", L"escape-deep.zip", L"escape-backslash.zip",
                                           L"escape-absolute.zip", L"escape-drive.zip",
                                           L"escape-drive-relative.zip", L"escape-unc.zip",
                                           L"escape-dots-blank.zip", L"escape-stream.zip",
                                           L"escape-device.zip", L"escape-dir.zip"));

namespace {

// The files below `folder` by path relative to it, with their bytes.
void FilesBelow(const std::wstring& folder, const std::wstring& relative, std::map<std::wstring, std::string>* files) {
  for (const std::wstring& name : ListFolder(folder + relative)) {
    if (name.back() == L'\\') {
      FilesBelow(folder, relative + name, files);
    } else {
      (*files)[relative + name] = ReadFileBytes(folder + relative + name);
    }
  }
}

std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  FilesBelow(folder, L"\\", &files);
  return files;
}

}  // namespace

// Valid archives that other tools read: a streamed deflated entry whose inflater still owes
// output after its last input, data in front that no offset counts plus data after the end
// record, and Zip64 records behind a classic end record of escape values. Each unpacks into
// exactly the files Python wrote.
class ShapeOtherToolsRead : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ShapeOtherToolsRead, IsExtractedCompletely) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(ExtractFile(Fixture(GetParam()), target));
  const std::map<std::wstring, std::string> expected = FilesBelow(Fixture(std::wstring(GetParam()) + L".expected"));
  const std::map<std::wstring, std::string> got = FilesBelow(target);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(got.size(), expected.size());
  for (const auto& [path, data] : expected) {
    const auto found = got.find(path);
    ASSERT_NE(found, got.end()) << qrx::ToUtf8(path);
    EXPECT_EQ(found->second.size(), data.size()) << qrx::ToUtf8(path);
    EXPECT_TRUE(found->second == data) << qrx::ToUtf8(path);
  }
}

INSTANTIATE_TEST_SUITE_P(Archives, ShapeOtherToolsRead,
                         ::testing::Values(L"owed-output.zip", L"prefixed.zip", L"zip64-escaped.zip"));

// An entry in a method without a decoder here (bzip2, LZMA), encrypted (traditional or AES) or
// patched fails the extraction cleanly: the entry before it stays and no file is left for it.
class UnreadableEntry : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(UnreadableEntry, FailsTheExtractionAndLeavesNoFileForIt) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  EXPECT_FALSE(ExtractFile(Fixture(GetParam()), target));
  EXPECT_EQ(ListFolder(target), (std::set<std::wstring>{L"fine.txt"}));
  EXPECT_EQ(ReadFileBytes(target + L"\\fine.txt"), "fine");
}

INSTANTIATE_TEST_SUITE_P(Archives, UnreadableEntry,
                         ::testing::Values(L"method-bzip2.zip", L"method-lzma.zip", L"encrypted.zip", L"aes.zip",
                                           L"patched.zip"));

// Another process may plant links in the folder the package is unpacked to: nothing is written
// through them, and the extraction fails as for any entry that cannot be written.
TEST(ExtractArchive, NothingIsWrittenThroughAFolderLink) {
  TempDir outside;
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.Join(L"canary.txt"), "alive"));
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(qrxtest::MakeUnixLink(target + L"\\docs", outside.path()));
  EXPECT_FALSE(ExtractFile(Fixture(L"nested.zip"), target));
  EXPECT_EQ(ListFolder(outside.path()), (std::set<std::wstring>{L"canary.txt"}));
  EXPECT_EQ(ReadFileBytes(outside.Join(L"canary.txt")), "alive");
}

TEST(ExtractArchive, TargetFolderThatIsALinkIsRefused) {
  TempDir outside;
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(qrxtest::MakeUnixLink(target, outside.path()));
  EXPECT_FALSE(ExtractFile(Fixture(L"nested.zip"), target));
  EXPECT_TRUE(ListFolder(outside.path()).empty());
}

// Junctions deeper down and file links, which Wine cannot make, through the attribute seam.
TEST(ExtractArchive, FolderOrFileReportedAsLinkFailsTheEntry) {
  TempDir temp;
  const std::wstring target = temp.Join(L"out");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(target + L"\\same.txt", "old"));
  {
    qrxtest::ScopedFakeLinks links({target + L"\\same.txt"});
    EXPECT_FALSE(ExtractFile(Fixture(L"replace.zip"), target));
  }
  EXPECT_EQ(ReadFileBytes(target + L"\\same.txt"), "old");

  const std::wstring tree = temp.Join(L"tree");
  ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((tree + L"\\folder").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((tree + L"\\folder\\inner").c_str(), nullptr));
  {
    qrxtest::ScopedFakeLinks links({tree + L"\\folder\\inner"});
    EXPECT_FALSE(ExtractFile(Fixture(L"tree.zip"), tree));
  }
  EXPECT_TRUE(ListFolder(tree + L"\\folder\\inner").empty());
}
