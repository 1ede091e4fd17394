// The licence page: per-language file first, then the licence server's copy.
#include <gtest/gtest.h>

#include <memory>

#include "payload/license.h"
#include "payload/license_download.h"
#include "payload/license_endpoint.h"
#include "payload/page_files.h"
#include "payload_helpers.h"
#include "support/test_support.h"

using payloadtest::ReadLogLines;
using Lines = std::vector<std::pair<std::string, std::string>>;

namespace {

// Nothing listens on port 1 of the loopback address.
const wchar_t kDownUrl[] = L"http://127.0.0.1:1/license/QRX/fr/Eula.html";
// A time limit that the answered and refused downloads never reach, however loaded the machine.
constexpr DWORD kUnreachedTimeoutMs = 60000;

class LicenseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logger_ = std::make_unique<qrx::Logger>();
    pages_ = std::make_unique<qrx::PageFiles>(logger_.get());
    ASSERT_TRUE(pages_->loaded());
    folder_ = pages_->folder();
    defaultEula_ = qrxtest::ReadFileBytes(folder_ + L"Eula.html");
    frenchEula_ = qrxtest::ReadFileBytes(folder_ + L"Eula-fr.html");
    ASSERT_FALSE(defaultEula_.empty());
    ASSERT_FALSE(frenchEula_.empty());
    ASSERT_NE(defaultEula_, frenchEula_);
  }
  // Log lines written after the page folder was made.
  Lines LicenseLog() {
    Lines lines = ReadLogLines(logger_->path());
    return Lines(lines.begin() + 3, lines.end());
  }

  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  std::unique_ptr<qrx::Logger> logger_;
  std::unique_ptr<qrx::PageFiles> pages_;
  std::wstring folder_;
  std::string defaultEula_;
  std::string frenchEula_;
};

TEST(LicenseUrl, IsBuiltFromEndpointHostProductAndLanguage) {
  struct Row {
    qrx::ServerEndpoint endpoint;
    const wchar_t* url;
  };
  const Row rows[] = {
      {{false, 80}, L"http://licenses.example/license/QRX/tw/Eula.html"},
      {{true, 443}, L"https://licenses.example/license/QRX/tw/Eula.html"},
      {{true, 8443}, L"https://licenses.example:8443/license/QRX/tw/Eula.html"},
      {{false, 443}, L"http://licenses.example:443/license/QRX/tw/Eula.html"},
      {{true, 80}, L"https://licenses.example:80/license/QRX/tw/Eula.html"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(qrx::LicenseUrl(row.endpoint, L"licenses.example", L"QRX", L"tw"), row.url);
  }
  // The test build keeps the shipped default: plain HTTP on port 80.
  EXPECT_EQ(qrx::LicenseUrl(qrx::kLicenseEndpoint, QRX_LICENSE_HOST, L"QRX", L"en"),
            L"http://127.0.0.2/license/QRX/en/Eula.html");
}

TEST_F(LicenseTest, ServerDownLeavesThePerLanguageLicence) {
  qrx::PrepareLicenseFrom(folder_, L"fr", kDownUrl, logger_.get(), kUnreachedTimeoutMs);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"), frenchEula_);
  EXPECT_FALSE(qrxtest::FileExists(folder_ + L"Eula-fr.html"));
  EXPECT_EQ(LicenseLog(), (Lines{{"DEBUG", "Dynamic license from http://127.0.0.1:1/license/QRX/fr/Eula.html."},
                                 {"DEBUG", "Download license from http://127.0.0.1:1/license/QRX/fr/Eula.html failed."}}));
}

TEST_F(LicenseTest, EnglishWithServerDownKeepsTheDefaultLicence) {
  qrx::PrepareLicenseFrom(folder_, L"en", kDownUrl, logger_.get(), kUnreachedTimeoutMs);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"), defaultEula_);
  EXPECT_TRUE(qrxtest::FileExists(folder_ + L"Eula-fr.html"));
}

TEST_F(LicenseTest, UnknownLanguageKeepsTheDefaultLicence) {
  qrx::PrepareLicenseFrom(folder_, L"pt", kDownUrl, logger_.get(), kUnreachedTimeoutMs);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"), defaultEula_);
}

// The fixture server (licence_server.py, on 127.0.0.2:80) serves licences for the product id
// "QRXTEST" only.
TEST_F(LicenseTest, LicenceFromTheServerWins) {
  qrx::PrepareLicense(*pages_, L"QRXTEST", L"fr", kUnreachedTimeoutMs);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"),
            "<!DOCTYPE html>\n<html><body><p>Served licence for QRXTEST in fr.</p></body></html>\n");
  EXPECT_FALSE(qrxtest::FileExists(folder_ + L"Eula-fr.html"));
  EXPECT_FALSE(qrxtest::FileExists(folder_ + L"Eula.html-temp"));
  EXPECT_EQ(LicenseLog(), (Lines{{"DEBUG", "Dynamic license from http://127.0.0.2/license/QRXTEST/fr/Eula.html."},
                                 {"DEBUG", "Download license from http://127.0.0.2/license/QRXTEST/fr/Eula.html success."}}));
}

TEST_F(LicenseTest, ServerLicenceForALanguageWithoutItsOwnFile) {
  qrx::PrepareLicense(*pages_, L"QRXTEST", L"en", kUnreachedTimeoutMs);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"),
            "<!DOCTYPE html>\n<html><body><p>Served licence for QRXTEST in en.</p></body></html>\n");
}

}  // namespace

namespace {

// The fixture answers 404 for the product id "QRX": no server licence, the local one stays.
TEST_F(LicenseTest, ServerWithoutALicenceLeavesTheLocalOne) {
  qrx::PrepareLicense(*pages_, L"QRX", L"fr", kUnreachedTimeoutMs);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"), frenchEula_);
  EXPECT_EQ(LicenseLog(), (Lines{{"DEBUG", "Dynamic license from http://127.0.0.2/license/QRX/fr/Eula.html."},
                                 {"DEBUG", "Download license from http://127.0.0.2/license/QRX/fr/Eula.html failed."}}));
}

}  // namespace

namespace {

// The fixture accepts "QRXSTALL" requests and never answers: the download is aborted when its time
// is up, the timeout is logged, and the per-language licence stays, as after a failure.
TEST_F(LicenseTest, StalledServerIsAbortedAndTheLocalLicenceStays) {
  const DWORD started = GetTickCount();
  qrx::PrepareLicenseFrom(folder_, L"fr", L"http://127.0.0.2/license/QRXSTALL/fr/Eula.html", logger_.get(), 500);
  const DWORD elapsed = GetTickCount() - started;
  EXPECT_GE(elapsed, 450u);
  EXPECT_LT(elapsed, 20000u);  // the stalled server holds the connection for minutes
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"Eula.html"), frenchEula_);
  EXPECT_EQ(LicenseLog(),
            (Lines{{"DEBUG", "Dynamic license from http://127.0.0.2/license/QRXSTALL/fr/Eula.html."},
                   {"DEBUG", "Download license from http://127.0.0.2/license/QRXSTALL/fr/Eula.html timed out after 500 ms."},
                   {"DEBUG", "Download license from http://127.0.0.2/license/QRXSTALL/fr/Eula.html failed."}}));
}

TEST(LicenseDownload, StalledDownloadReportsItsTimeout) {
  qrxtest::TempDir temp;
  DWORD abortedAfterMs = 0;
  const HRESULT hr = qrx::DownloadLicenseFile(L"http://127.0.0.2/license/QRXSTALL/en/Eula.html",
                                              (temp.path() + L"Eula.html-temp").c_str(), 300, &abortedAfterMs);
  EXPECT_NE(hr, S_OK);
  EXPECT_EQ(abortedAfterMs, 300u) << "the server never answered: the answer limit ended it";
}

TEST(LicenseDownload, AnsweredDownloadIsNotATimeout) {
  qrxtest::TempDir temp;
  DWORD abortedAfterMs = 1;
  const HRESULT hr = qrx::DownloadLicenseFile(L"http://127.0.0.2/license/QRXTEST/en/Eula.html",
                                              (temp.path() + L"Eula.html-temp").c_str(), 60000, &abortedAfterMs);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(abortedAfterMs, 0u);
}

TEST(LicenseTimeLimit, NoAnswerWithinTheAnswerLimitAbortsAnAnswerGetsTheTotal) {
  // Time left before the server has answered, and once its body is arriving (10 s from the start).
  const struct {
    DWORD elapsedMs;
    DWORD leftUnansweredMs;
    DWORD leftAnsweredMs;
  } rows[] = {
      {0, 2000, 10000},  {1999, 1, 8001}, {2000, 0, 8000}, {2001, 0, 7999},
      {9999, 0, 1},      {10000, 0, 0},   {10001, 0, 0},   {0xFFFFFFFFu, 0, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(qrx::LicenseTimeLeftMs(row.elapsedMs, false, qrx::kLicenseDownloadTimeoutMs, qrx::kLicenseTotalTimeoutMs),
              row.leftUnansweredMs)
        << row.elapsedMs;
    EXPECT_EQ(qrx::LicenseTimeLeftMs(row.elapsedMs, true, qrx::kLicenseDownloadTimeoutMs, qrx::kLicenseTotalTimeoutMs),
              row.leftAnsweredMs)
        << row.elapsedMs << " answered";
  }
}

TEST(LicenseTimeLimit, OnlyAnAbortedUnfinishedDownloadTimedOut) {
  const struct {
    HRESULT download;
    bool abortAsked;
    bool timedOut;
  } rows[] = {
      // Completed as the limit ran out (at 2000 ms): the licence is kept.
      {S_OK, true, false},
      {S_OK, false, false},
      {E_ABORT, true, true},
      {INET_E_DOWNLOAD_FAILURE, true, true},
      {INET_E_DOWNLOAD_FAILURE, false, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(qrx::LicenseTimedOut(row.download, row.abortAsked), row.timedOut) << std::hex << row.download;
  }
}

TEST(LicenseDownloadResult, HttpErrorsTurnSuccessIntoFailure) {
  const struct {
    HRESULT download;
    DWORD status;
    HRESULT result;
  } cases[] = {
      {S_OK, 200, S_OK},
      {S_OK, 0, S_OK},  // no HTTP status seen (another scheme)
      {S_OK, 304, S_OK},
      {S_OK, 301, INET_E_REDIRECT_FAILED},  // a redirect to file: or ftp:, left unfollowed
      {S_OK, 302, INET_E_REDIRECT_FAILED},
      {S_OK, 307, INET_E_REDIRECT_FAILED},
      {S_OK, 308, INET_E_REDIRECT_FAILED},
      {S_OK, 404, INET_E_RESOURCE_NOT_FOUND},
      {S_OK, 410, INET_E_RESOURCE_NOT_FOUND},
      {S_OK, 403, INET_E_DOWNLOAD_FAILURE},
      {S_OK, 500, INET_E_DOWNLOAD_FAILURE},
      {INET_E_DOWNLOAD_FAILURE, 0, INET_E_DOWNLOAD_FAILURE},
      {E_ABORT, 200, E_ABORT},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qrx::LicenseDownloadResult(c.download, c.status), c.result) << c.status;
  }
}

}  // namespace
