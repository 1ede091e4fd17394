#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/run_sequence.h"
#include "reporting/analytics.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"
#include "support/report_server.h"
#include "support/test_support.h"
#include "support/zip_entries.h"
#include "sysinfo/text.h"
#include "common/unique_any.h"
#include "log/logger.h"

#include <algorithm>

namespace {

using qrxtest::QueryValue;
using qrxtest::RecordedRequest;
using qrxtest::ReportServer;
using qrxtest::ScopedEnv;
using qrxtest::TempDir;
using qrxtest::ZipEntry;

constexpr DWORD kWaitMs = 10000;

class ErrorReport : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start(80)) << "port 80 stayed taken"; }

  bool WaitForReport(const std::string& token, RecordedRequest& request) {
    return server_.WaitFor(
        [&](const RecordedRequest& r) { return r.verb == "PUT" && QueryValue(r.query, "token") == token; }, kWaitMs,
        &request);
  }

  ReportServer server_;
};

TEST_F(ErrorReport, EveryAttachmentBecomesAnEntryNamedByItsFile) {
  TempDir files(qrxtest::WorkingParent());
  TempDir temp;
  CreateDirectoryW(files.Join(L"first").c_str(), nullptr);
  CreateDirectoryW(files.Join(L"second").c_str(), nullptr);
  ASSERT_TRUE(qrxtest::WriteFileBytes(files.Join(L"first\\log.txt"), "first attempt\r\n"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(files.Join(L"second\\log.txt"), "second attempt\r\n"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(files.Join(L"empty.log"), ""));
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  info.machineId = L"V-01234567-89AB-CDEF-0123-456789ABCDEF";
  qrx::ErrorReporter reporter(&info);
  reporter.attachments = {files.Join(L"first\\log.txt"), files.Join(L"missing.txt"), files.Join(L"second\\log.txt"),
                          files.Join(L"empty.log")};
  {
    ScopedEnv tmp(L"TMP", temp.path());
    qrx::SendErrorReport(reporter, nullptr);
  }
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp.path())) << "nothing in the user's temp folder";
  EXPECT_TRUE(qrxtest::FileExists(files.Join(L"first\\log.txt"))) << "attachments stay";

  RecordedRequest request;
  const std::string token = qrx::ToUtf8(info.requestToken);
  ASSERT_TRUE(WaitForReport(token, request));
  EXPECT_EQ(request.path, "/v1/reportError");
  EXPECT_EQ(request.query, "token=" + token + "&machineId=V-01234567-89AB-CDEF-0123-456789ABCDEF");
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(qrxtest::ReadZipEntries(request.body, entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "log.txt");
  EXPECT_EQ(entries[0].data, "first attempt\r\n");
  EXPECT_EQ(entries[1].name, "log.txt");
  EXPECT_EQ(entries[1].data, "second attempt\r\n");
  EXPECT_EQ(entries[2].name, "empty.log");
  EXPECT_EQ(entries[2].data, "");
  for (const auto& entry : entries) EXPECT_TRUE(entry.crcMatches) << entry.name;
}

TEST_F(ErrorReport, NothingReadableSendsNothing) {
  TempDir temp;
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  qrx::ErrorReporter reporter(&info);
  reporter.attachments = {temp.Join(L"gone.txt")};
  {
    ScopedEnv tmp(L"TMP", temp.path());
    qrx::SendErrorReport(reporter, nullptr);
  }
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp.path()));
  const std::string token = qrx::ToUtf8(info.requestToken);
  // A later request arrives; the report would have come before it.
  ASSERT_TRUE(qrx::SendAnalytics(info, true));
  ASSERT_TRUE(server_.WaitFor([&](const RecordedRequest& r) { return r.body.find(token) != std::string::npos; },
                              kWaitMs));
  for (const auto& request : server_.Requests()) EXPECT_NE(request.verb, "PUT");
}

// What a report reads: only plain files below the working parent, each file's last 4 MiB. A link,
// a hard link, a file below a linked folder or one elsewhere is logged and not sent, and what it
// points at stays as it was.
TEST_F(ErrorReport, LinksAndFilesElsewhereAreRefusedAndLogged) {
  TempDir files(qrxtest::WorkingParent());
  TempDir outside;
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.Join(L"victim.txt"), "victim secret"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(files.Join(L"plain.log"), "plain"));
  ASSERT_TRUE(CreateHardLinkW(files.Join(L"hard.log").c_str(), outside.Join(L"victim.txt").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(files.Join(L"filelink.log"), "seam"));
  ASSERT_TRUE(qrxtest::MakeUnixLink(files.Join(L"linked"), outside.path()));
  const std::wstring elsewhere = outside.Join(L"victim.txt");
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  qrx::ErrorReporter reporter(&info);
  reporter.attachments = {files.Join(L"hard.log"), files.Join(L"filelink.log"), files.Join(L"linked\\victim.txt"),
                          elsewhere, files.Join(L"plain.log")};
  std::string log;
  {
    qrx::Logger logger;
    qrxtest::ScopedFakeLinks fake({files.Join(L"filelink.log")});
    qrx::SendErrorReport(reporter, &logger);
    EXPECT_FALSE(logger.isOpen()) << "the report closes the log";
    log = qrxtest::ReadFileBytes(logger.path());
  }
  const struct {
    std::wstring path;
    const char* what;
  } refused[] = {{files.Join(L"hard.log"), "a hard link"},
                 {files.Join(L"filelink.log"), "a link or below one"},
                 {files.Join(L"linked\\victim.txt"), "a link or below one"},
                 {elsewhere, "at another place"}};
  for (const auto& r : refused) {
    EXPECT_NE(log.find(" ERROR] Report file " + qrxtest::Narrow(r.path) + " not sent: " + r.what + "\r\n"),
              std::string::npos)
        << qrxtest::Narrow(r.path) << "\n" << log;
  }
  EXPECT_EQ(qrxtest::ReadFileBytes(outside.Join(L"victim.txt")), "victim secret");
  RecordedRequest request;
  ASSERT_TRUE(WaitForReport(qrx::ToUtf8(info.requestToken), request));
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(qrxtest::ReadZipEntries(request.body, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "plain.log");
  EXPECT_EQ(request.body.find("victim secret"), std::string::npos);
}

TEST(ReportFileTail, EachFileIsCappedAtItsLast4MiB) {
  TempDir files;
  std::string big(qrx::kReportFileCap + 3, 'a');
  big[0] = 'x';
  big[1] = 'y';
  big[2] = 'z';
  big[3] = 'T';  // the first byte kept
  const struct {
    std::string content;
    std::string expectedStart;
    size_t expectedSize;
  } cases[] = {{"", "", 0}, {"short", "shor", 5}, {big, "Taaa", qrx::kReportFileCap}};
  for (const auto& c : cases) {
    ASSERT_TRUE(qrxtest::WriteFileBytes(files.Join(L"f.log"), c.content));
    qrx::UniqueFile file(CreateFileW(files.Join(L"f.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.valid());
    qrx::NothrowArray<char> data;
    ASSERT_TRUE(qrx::ReadFileTail(file.get(), qrx::kReportFileCap, data));
    EXPECT_EQ(data.size(), c.expectedSize);
    EXPECT_EQ(std::string(data.data(), data.data() + std::min<size_t>(4, data.size())), c.expectedStart);
  }
  EXPECT_EQ(qrx::kReportFileCap, 4u * 1024 * 1024);
}

// The product built today carries no pages, so its run ends with status Error.
TEST_F(ErrorReport, FailedProductRunSendsItsLog) {
  TempDir temp;
  const auto result = qrxtest::RunProcess(std::wstring(L"\"") + QRX_TEST_PRODUCT_EXE + L"\"",
                                          {{L"TMP", temp.path()}, {L"TEMP", temp.path()}}, 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp.path()));

  RecordedRequest finalReport;
  ASSERT_TRUE(server_.WaitFor(
      [](const RecordedRequest& r) {
        return r.path == "/v1/logAnalytics" && r.body.find("<status>error occurred</status>") != std::string::npos;
      },
      kWaitMs, &finalReport));
  const size_t tokenAt = finalReport.body.find("<requestToken>") + 14;
  const std::string token = finalReport.body.substr(tokenAt, finalReport.body.find("</requestToken>") - tokenAt);
  const size_t idAt = finalReport.body.find("<machineId>") + 11;
  const std::string machineId = finalReport.body.substr(idAt, finalReport.body.find("</machineId>") - idAt);
  ASSERT_EQ(token.size(), 36u);
  EXPECT_TRUE(server_.WaitFor(
      [&](const RecordedRequest& r) {
        return r.body.find(token) != std::string::npos && r.body.find("<status>started</status>") != std::string::npos;
      },
      kWaitMs));

  RecordedRequest report;
  ASSERT_TRUE(WaitForReport(token, report));
  EXPECT_EQ(QueryValue(report.query, "machineId"), machineId);
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(qrxtest::ReadZipEntries(report.body, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "installer_log.txt");
  EXPECT_NE(entries[0].data.find(" DEBUG] Property lang: en\r\n\r\n"), std::string::npos) << entries[0].data;
  EXPECT_NE(entries[0].data.find(" DEBUG] Property osbits: 64\r\n\r\n"), std::string::npos);
}

}  // namespace
