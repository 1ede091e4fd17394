// The product bridge runs the real installer: `install` from script starts the install worker,
// which unpacks the package, runs setup and calls the page back.
#include <gtest/gtest.h>

#include "bridge/qrx_external.h"
#include "bridge/worker_pool.h"
#include "installer/test_install_owner.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"
#include "support/page_callback.h"
#include "support/report_server.h"
#include "support/test_support.h"

namespace {

class BridgeInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    qrxtest::RemoveTestProducts();
    logger_ = new qrx::Logger();
    info_ = new qrx::SessionInfo(L"QRX", L"1.0.79.1");
    reporter_ = new qrx::ErrorReporter(info_);
    qrx::StartFacts facts;
    facts.osVersion = L"10.0";
    bridge_ = new qrx::QRXExternal(info_, reporter_, logger_, facts);
    bridge_->AttachWorkers(&workers_);
  }
  void TearDown() override {
    EXPECT_TRUE(workers_.StopAndJoin(60000));
    bridge_->Release();
    delete reporter_;
    delete info_;
    delete logger_;
    qrxtest::RemoveTestProducts();
    CoUninitialize();
  }

  HRESULT Install(const std::wstring& parameters, IDispatch* callback) {
    return qrxtest::CallWithCallback(bridge_, L"install", parameters, callback);
  }

  // Serves `package` of the test build (or 404 for an empty name) on a loopback port and lets the
  // page download it, as a run does; the download callback's code.
  int Download(const std::wstring& package) {
    std::string body;
    if (!package.empty()) body = qrxtest::ReadFileBytes(std::wstring(QRX_TEST_PACKAGE_DIR) + L"\\" + package);
    server_.Stop();
    server_.ServeWith([body](const qrxtest::RecordedRequest&) {
      if (body.empty()) return std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: close\r\n\r\n" + body;
    });
    if (!server_.Start(0)) return -1;
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server_.port()) + L"/pkg/setup.zip";
    qrxtest::PageCallback callback;
    if (qrxtest::CallWithCallback(bridge_, L"download", url, &callback) != S_OK) return -1;
    if (!qrxtest::PumpUntil(callback.called(), 120000) || callback.calls.size() != 1) return -1;
    workers_.Join(10000);
    return callback.calls[0].value;
  }

  qrxtest::ReportServer server_;
  downloadmanagercore::WorkerPool workers_;
  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  qrxtest::ScopedEnv tempEnv_{L"TEMP", temp_.path()};
  qrx::Logger* logger_ = nullptr;
  qrx::SessionInfo* info_ = nullptr;
  qrx::ErrorReporter* reporter_ = nullptr;
  qrx::QRXExternal* bridge_ = nullptr;
};

TEST_F(BridgeInstallTest, InstallFromScriptRunsSetupAndFindsTheProgram) {
  ASSERT_EQ(Download(L"product.zip"), 0);

  qrxtest::PageCallback callback;
  ASSERT_EQ(Install(L"PAUSEMS=100", &callback), S_OK);
  ASSERT_TRUE(qrxtest::PumpUntil(callback.called(), 120000));
  ASSERT_EQ(callback.calls.size(), 1u);
  EXPECT_EQ(callback.calls[0].value, 0);
  EXPECT_TRUE(workers_.Join(10000));

  EXPECT_EQ(bridge_->GetPropertyValue(L"installProgress"), L"100");
  EXPECT_EQ(info_->productVersion, L"7.2.1.5");
  EXPECT_EQ(info_->wrapperError, 0);
  EXPECT_EQ(info_->msiError, 0);
  // The start program comes from the folder the main package registered.
  const std::wstring program = bridge_->startProgram();
  EXPECT_GT(program.size(), 24u);
  EXPECT_EQ(program.substr(program.size() - 24), L"Halvard Lumenary Pro.exe");
  EXPECT_TRUE(qrxtest::FileExists(program));
  // The setup logs went to the error report's attachments.
  ASSERT_GE(reporter_->attachments.size(), 2u);
  EXPECT_EQ(reporter_->attachments[0], bridge_->downloadFolder() + L"log.txt");
}

TEST_F(BridgeInstallTest, BusyInstallerAsksForARetryThatGoesOnFromTheValueLeft) {
  ASSERT_EQ(Download(L"product.zip"), 0);

  qrxtest::PageCallback first;
  ASSERT_EQ(Install(L"MSI=0 EXITCODE=1618", &first), S_OK);
  ASSERT_TRUE(qrxtest::PumpUntil(first.called(), 120000));
  EXPECT_EQ(first.calls[0].value, 4);
  EXPECT_TRUE(workers_.Join(10000));
  EXPECT_EQ(info_->wrapperError, 2);
  EXPECT_EQ(info_->msiError, 4);
  const int left = _wtoi(bridge_->GetPropertyValue(L"installProgress").c_str());
  EXPECT_GT(left, 0);
  ASSERT_TRUE(qrxtest::WaitUntilWritable(bridge_->downloadFolder() + L"setup.exe", 10000));

  qrxtest::PageCallback second;
  ASSERT_EQ(Install(L"MSI=0 EXITCODE=1603", &second), S_OK);
  ASSERT_TRUE(qrxtest::PumpUntil(second.called(), 120000));
  EXPECT_EQ(second.calls[0].value, 3);
  EXPECT_TRUE(workers_.Join(10000));
  EXPECT_EQ(info_->wrapperError, 2);
  EXPECT_EQ(info_->msiError, 3);
  EXPECT_GE(_wtoi(bridge_->GetPropertyValue(L"installProgress").c_str()), left);
}

// `install` runs only the package that this run downloaded with result 0: not a package put in the
// download folder some other way, not after a failed download, not after a later failed one.
TEST_F(BridgeInstallTest, InstallWithoutASuccessfulDownloadIsRefused) {
  const std::wstring package = bridge_->downloadFolder() + L"setup.zip";
  ASSERT_TRUE(CopyFileW((std::wstring(QRX_TEST_PACKAGE_DIR) + L"\\product.zip").c_str(), package.c_str(), FALSE));
  bridge_->SetDownloadPath(package);
  const std::string refusal = " ERROR] ZSInstall refused, no package downloaded and checked in this run: ";
  const auto installRefused = [&](const char* when) {
    qrxtest::PageCallback callback;
    ASSERT_EQ(Install(L"MSI=0", &callback), S_OK) << when;
    ASSERT_TRUE(qrxtest::PumpUntil(callback.called(), 120000)) << when;
    EXPECT_EQ(callback.calls[0].value, 3) << when;
    EXPECT_TRUE(workers_.Join(10000));
    EXPECT_FALSE(qrxtest::FileExists(bridge_->downloadFolder() + L"log.txt")) << when << ": setup never ran";
  };
  installRefused("no download");
  ASSERT_NE(Download(L""), 0);
  installRefused("failed download");
  ASSERT_EQ(Download(L"product.zip"), 0);
  ASSERT_NE(Download(L""), 0);
  installRefused("a failed download after a good one");
  const std::string log = qrxtest::ReadFileBytes(logger_->path());
  size_t count = 0;
  for (size_t at = log.find(refusal); at != std::string::npos; at = log.find(refusal, at + 1)) ++count;
  EXPECT_EQ(count, 3u) << log;
  EXPECT_EQ(info_->wrapperError, 2);
  EXPECT_EQ(info_->msiError, 3);
}

}  // namespace
