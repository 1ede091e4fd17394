// The page table reader on tables written byte by byte: every edge of the walk and its log lines.
#include <gtest/gtest.h>

#include <memory>

#include "payload/payload_reader.h"
#include "payload/payload_record.h"
#include "payload/record_inflate.h"
#include "payload_helpers.h"
#include "support/test_support.h"

using payloadtest::DeflateRaw;
using payloadtest::DeflateZeros;
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
    tally_ = qrx::InflateTally{};
    return qrx::ExtractPayloadFrom(path, target_, logger_.get(), &tally_);
  }
  Lines Log() { return ReadLogLines(logger_->path()); }
  std::string TargetA() { return payloadtest::Narrow(target_); }

  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  std::wstring target_;
  std::unique_ptr<qrx::Logger> logger_;
  qrx::InflateTally tally_;
};

// Text that deflates well, like the pages.
std::string PageText(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) text += "<p class=\"row" + std::to_string(i % 97) + "\">licence text</p>\n";
  text.resize(size);
  return text;
}

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

TEST_F(PayloadTableTest, DeflatedRecordsUnpackBesideStoredOnes) {
  const std::string page = PageText(96 * 1024);
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0", 11);
  TableWriter table;
  const uint32_t first = table.offset();
  table.Deflated(L"Eula.html", DeflateRaw(page), static_cast<uint32_t>(page.size()));
  table.File(L"images\\logo.png", png);
  table.Deflated(L"js\\empty.js", DeflateRaw(""), 0);
  table.End();
  table.Trailer(first);

  ASSERT_TRUE(Extract(table));
  const auto files = ListFiles(target_);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].first, L"Eula.html");
  EXPECT_TRUE(files[0].second == page);
  EXPECT_EQ(files[1].second, png);
  EXPECT_EQ(files[2].first, L"js\\empty.js");
  EXPECT_EQ(files[2].second, "");
  EXPECT_EQ(tally_.inflated, page.size());
  EXPECT_EQ(Log(), (Lines{{"DEBUG", "Load Resource from pe finished."}}));
}

// A deflated record is written only when its stream gives exactly the declared size within the
// caps. Each row is the only record: nothing may be written, and `mostInflated` bounds the bytes
// inflating produced before the refusal (so a bomb never unpacks beyond its declared size).
TEST_F(PayloadTableTest, HostileDeflatedRecordsAreRefusedWithNothingWritten) {
  const std::string text = PageText(64 * 1024);
  const std::string stream = DeflateRaw(text);
  const uint32_t textSize = static_cast<uint32_t>(text.size());
  const std::string bomb = DeflateZeros(64u << 20);
  ASSERT_LT(bomb.size(), 100u * 1024);
  const struct Row {
    const char* name;
    std::string data;
    uint32_t sizeHigh;
    uint32_t declared;
    uint64_t mostInflated;
  } rows[] = {
      {"inflates larger than declared", stream, qrx::kRecordDeflated, 1000, 1001},
      {"inflates one byte larger than declared", stream, qrx::kRecordDeflated, textSize - 1, textSize},
      {"inflates smaller than declared", stream, qrx::kRecordDeflated, textSize + 1, textSize},
      {"a deflate bomb declared at 1 MiB", bomb, qrx::kRecordDeflated, 1u << 20, (1u << 20) + 1},
      {"a deflate bomb declared at its own size", bomb, qrx::kRecordDeflated, 64u << 20, 0},
      {"declared one byte over the file cap", DeflateZeros(qrx::kMaxUnpackedFileSize + 1), qrx::kRecordDeflated,
       qrx::kMaxUnpackedFileSize + 1, 0},
      {"a truncated stream", stream.substr(0, stream.size() / 2), qrx::kRecordDeflated, textSize, textSize - 1},
      {"a stream cut before its last byte", stream.substr(0, stream.size() - 1), qrx::kRecordDeflated, textSize,
       textSize},
      {"not a deflate stream", std::string(64, '\xFF'), qrx::kRecordDeflated, 64, 64},
      {"bytes after the stream's end", stream + "tail", qrx::kRecordDeflated, textSize, textSize},
      {"an empty stream", "", qrx::kRecordDeflated, 10, 0},
      {"other size bits beside the flag", stream, qrx::kRecordDeflated | 1, textSize, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TableWriter table;
    const uint32_t first = table.offset();
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(row.declared >> (8 * i));
    data += row.data;
    table.Record(u"Eula.html", data, static_cast<uint32_t>(data.size()), row.sizeHigh);
    table.End();
    table.Trailer(first);
    EXPECT_FALSE(Extract(table));
    EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
    EXPECT_LE(tally_.inflated, row.mostInflated);
    EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
  }
}

TEST_F(PayloadTableTest, DeflatedRecordTooShortForItsSizeIsRefused) {
  TableWriter table;
  const uint32_t first = table.offset();
  table.Record(u"Eula.html", "abc", 3, qrx::kRecordDeflated);
  table.End();
  table.Trailer(first);
  EXPECT_FALSE(Extract(table));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

// The table's cap: four files of the per-file cap fill it exactly; the fifth is refused before
// any of its bytes are inflated.
TEST_F(PayloadTableTest, TableCapStopsInflatingAtSixteenMebibytes) {
  const std::string full = DeflateZeros(qrx::kMaxUnpackedFileSize);
  TableWriter table;
  const uint32_t first = table.offset();
  for (int i = 0; i < 5; ++i) table.Deflated(L"big" + std::to_wstring(i) + L".bin", full, qrx::kMaxUnpackedFileSize);
  table.End();
  table.Trailer(first);
  EXPECT_FALSE(Extract(table));
  EXPECT_EQ(tally_.inflated, qrx::kMaxUnpackedTableSize);
  EXPECT_EQ(tally_.declared, qrx::kMaxUnpackedTableSize);
  EXPECT_TRUE(qrxtest::FileExists(target_ + L"big3.bin"));
  EXPECT_FALSE(qrxtest::FileExists(target_ + L"big4.bin"));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

TEST(RecordInflate, OutcomesAndBytesProduced) {
  const std::string text = PageText(5000);
  const std::string stream = DeflateRaw(text);
  const struct Row {
    const char* name;
    std::string in;
    uint32_t declared;
    qrx::InflateOutcome outcome;
    uint64_t inflated;
  } rows[] = {
      {"exact", stream, 5000, qrx::InflateOutcome::kOk, 5000},
      {"longer", stream, 4000, qrx::InflateOutcome::kLonger, 4001},
      {"shorter", stream, 5001, qrx::InflateOutcome::kShorter, 5000},
      {"empty output declared empty", DeflateRaw(""), 0, qrx::InflateOutcome::kOk, 0},
      {"any output declared empty", stream, 0, qrx::InflateOutcome::kLonger, 1},
      {"over the file cap", stream, qrx::kMaxUnpackedFileSize + 1, qrx::InflateOutcome::kOverCap, 0},
      {"at the file cap", DeflateZeros(qrx::kMaxUnpackedFileSize), qrx::kMaxUnpackedFileSize, qrx::InflateOutcome::kOk,
       qrx::kMaxUnpackedFileSize},
      {"no input", "", 5000, qrx::InflateOutcome::kTruncated, 0},
      {"trailing bytes", stream + "x", 5000, qrx::InflateOutcome::kCorrupt, 5000},
      {"invalid block type", std::string("\x07", 1), 5000, qrx::InflateOutcome::kCorrupt, 0},
  };
  for (const Row& row : rows) {
    std::string out(row.declared, 'x');
    uint64_t inflated = 99;
    EXPECT_EQ(qrx::InflateExactly(reinterpret_cast<const unsigned char*>(row.in.data()), row.in.size(),
                                  reinterpret_cast<unsigned char*>(&out[0]), row.declared, inflated),
              row.outcome)
        << row.name;
    EXPECT_EQ(inflated, row.inflated) << row.name;
    if (row.outcome == qrx::InflateOutcome::kOk) {
      EXPECT_TRUE(out == (row.declared == text.size() ? text : std::string(row.declared, '\0'))) << row.name;
    }
  }
}

}  // namespace
