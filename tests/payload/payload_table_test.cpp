// The page table reader on tables written byte by byte: every edge of the walk and its log lines.
#include <gtest/gtest.h>

#include <memory>

#include "payload/payload_reader.h"
#include "payload/payload_record.h"
#include "payload_helpers.h"
#include "support/test_support.h"

using payloadtest::ListFiles;
using payloadtest::ReadLogLines;
using payloadtest::TableWriter;
using Lines = std::vector<std::pair<std::string, std::string>>;

namespace {

class PayloadTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = temp_.Join(L"pages\\");
    ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  }

  // Writes the table to a file and extracts it into the target folder.
  bool Extract(const TableWriter& table) {
    const std::wstring path = temp_.Join(L"table.bin");
    EXPECT_TRUE(qrxtest::WriteFileBytes(path, table.bytes()));
    logger_ = std::make_unique<qrx::Logger>();
    return qrx::ExtractPayloadFrom(path, target_, logger_.get());
  }
  Lines Log() { return ReadLogLines(logger_->path()); }
  std::string TargetA() { return payloadtest::Narrow(target_); }

  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  std::wstring target_;
  std::unique_ptr<qrx::Logger> logger_;
};

TEST_F(PayloadTableTest, WritesEveryRecordIntoNestedFolders) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.File(L"Load.html", "<html>load</html>");
  table.File(L"images\\icons\\big\\logo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
  table.File(L"js\\empty.js", "");
  table.End();
  table.Trailer(first);

  ASSERT_TRUE(Extract(table));
  const auto files = ListFiles(target_);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].first, L"Load.html");
  EXPECT_EQ(files[0].second, "<html>load</html>");
  EXPECT_EQ(files[1].first, L"images\\icons\\big\\logo.png");
  EXPECT_EQ(files[1].second, std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
  EXPECT_EQ(files[2].first, L"js\\empty.js");
  EXPECT_EQ(files[2].second, "");
  EXPECT_EQ(Log(), (Lines{{"DEBUG", "Load Resource from pe finished."}}));
}

TEST_F(PayloadTableTest, OnlyAnEndRecordGivesAnEmptyFolder) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.End();
  table.Trailer(first);
  EXPECT_TRUE(Extract(table));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
}

TEST_F(PayloadTableTest, TrailerPointingAtAnEndRecordStopsAtOnce) {
  TableWriter table;
  table.File(L"before.txt", "skipped");
  const uint32_t end = table.offset();
  table.End();
  table.File(L"after.txt", "never read");
  table.End();
  table.Trailer(end);
  EXPECT_TRUE(Extract(table));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
}

TEST_F(PayloadTableTest, LaterRecordOfTheSameNameWins) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.File(L"Eula.html", "first, and longer than the second");
  table.File(L"Eula.html", "second");
  table.End();
  table.Trailer(first);
  ASSERT_TRUE(Extract(table));
  EXPECT_EQ(qrxtest::ReadFileBytes(target_ + L"Eula.html"), "second");
}

TEST_F(PayloadTableTest, MissingEndRecordFailsAfterWritingTheRecordsBeforeIt) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.File(L"a.txt", "A");
  table.File(L"css\\b.css", "B");
  table.Trailer(first);
  EXPECT_FALSE(Extract(table));
  EXPECT_EQ(qrxtest::ReadFileBytes(target_ + L"a.txt"), "A");
  EXPECT_EQ(qrxtest::ReadFileBytes(target_ + L"css\\b.css"), "B");
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file info failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

TEST_F(PayloadTableTest, HighSizeHalfIsRefused) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.File(L"ok.txt", "fine");
  table.Record(u"big.bin", "data", 4, 1);
  table.End();
  table.Trailer(first);
  EXPECT_FALSE(Extract(table));
  EXPECT_TRUE(qrxtest::FileExists(target_ + L"ok.txt"));
  EXPECT_FALSE(qrxtest::FileExists(target_ + L"big.bin"));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

// Sizes beyond what is left of the file are refused before any buffer is allocated: 0xFFFFFFF0
// would otherwise ask for nearly 4 GiB.
TEST_F(PayloadTableTest, SizesBeyondTheFileAreRefused) {
  for (uint32_t size : {0xFFFFFFF0u, 0x7FFFFFFFu, 600u}) {
    SCOPED_TRACE(size);
    TableWriter table;
    const uint32_t first = table.offset();
    table.Record(u"huge.bin", "only a few bytes", size, 0);
    table.End();
    table.Trailer(first);
    EXPECT_FALSE(Extract(table));
    EXPECT_FALSE(qrxtest::FileExists(target_ + L"huge.bin"));
    EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
  }
}

// A size that reaches exactly to the end of the file is still read (here it swallows the
// trailer); the walk then finds no further header.
TEST_F(PayloadTableTest, SizeReachingExactlyToTheEndOfTheFileIsRead) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.Record(u"last.txt", "12345678", 12, 0);
  table.Raw(std::string(reinterpret_cast<const char*>(&first), 4));
  EXPECT_FALSE(Extract(table));
  EXPECT_EQ(qrxtest::ReadFileBytes(target_ + L"last.txt"), std::string("12345678", 8) + std::string(reinterpret_cast<const char*>(&first), 4));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file info failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

TEST_F(PayloadTableTest, NamesThatLeaveTheFolderAreRefused) {
  const std::wstring names[] = {L"..\\escape.txt", L"js\\..\\..\\escape.txt", L"\\escape.txt", L"/escape.txt",
                                L"C:\\escape.txt", L"C:escape.txt", L"../escape.txt", L"js/../../escape.txt",
                                L"Eula.html:stream", L".\\.\\x.txt"};
  for (const std::wstring& name : names) {
    SCOPED_TRACE(payloadtest::Narrow(name));
    TableWriter table;
    const uint32_t first = table.offset();
    table.File(name, "outside");
    table.End();
    table.Trailer(first);
    EXPECT_FALSE(Extract(table));
    EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
    EXPECT_FALSE(qrxtest::FileExists(temp_.Join(L"escape.txt")));
    EXPECT_EQ(Log(), (Lines{{"ERROR", "create " + TargetA() + " failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
  }
  EXPECT_FALSE(qrxtest::FileExists(L"C:\\escape.txt"));
}

TEST_F(PayloadTableTest, NameWithoutTerminatingZeroIsRefused) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.Record(std::u16string(260, u'a'), "x", 1, 0);
  table.End();
  table.Trailer(first);
  EXPECT_FALSE(Extract(table));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
}

TEST_F(PayloadTableTest, TrailerPastTheEndFailsToReadTheFirstHeader) {
  TableWriter table;
  table.End();
  table.Trailer(0x7FFFFFF0u);
  EXPECT_FALSE(Extract(table));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file info failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

TEST_F(PayloadTableTest, FileShorterThanTheTrailer) {
  TableWriter table(3);
  EXPECT_FALSE(Extract(table));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read end of certification table failed!"}}));
}

TEST_F(PayloadTableTest, MissingFileIsReportedWithItsPath) {
  logger_ = std::make_unique<qrx::Logger>();
  const std::wstring path = temp_.Join(L"no-such.exe");
  EXPECT_FALSE(qrx::ExtractPayloadFrom(path, target_, logger_.get()));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "open file : " + payloadtest::Narrow(path) + " failed!"}}));
}

TEST_F(PayloadTableTest, AFileCannotBeWrittenWhereAFolderStands) {
  ASSERT_TRUE(CreateDirectoryW((target_ + L"taken").c_str(), nullptr));
  TableWriter table;
  const uint32_t first = table.offset();
  table.File(L"taken", "a file where a folder is");
  table.End();
  table.Trailer(first);
  EXPECT_FALSE(Extract(table));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "create " + TargetA() + " failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

TEST(PayloadRecordName, SafeAndUnsafeNames) {
  const struct {
    const wchar_t* name;
    bool safe;
  } cases[] = {
      {L"Load.html", true},
      {L"js\\installparams.js", true},
      {L"images\\a\\b\\BG.png", true},
      {L"..data\\x..y", true},
      {L"", false},
      {L"..", false},
      {L"..\\x", false},
      {L"a\\..\\b", false},
      {L"a\\..", false},
      {L".\\a", false},
      {L"\\a", false},
      {L"/a", false},
      {L"a\\\\b", false},
      {L"a\\", false},
      {L"C:\\a", false},
      {L"C:a", false},
      {L"\\\\server\\share\\a", false},
      {L"a/../../b", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qrx::IsSafeRecordName(c.name), c.safe) << payloadtest::Narrow(c.name);
  }
}

}  // namespace
