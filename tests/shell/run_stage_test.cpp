#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/resume_shortcut.h"
#include "app/run_sequence.h"
#include "bridge/qrx_external.h"
#include "bridge/worker_pool.h"
#include "common/com_ptr.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"
#include "support/report_server.h"
#include "support/test_support.h"
#include "support/zip_entries.h"
#include "sysinfo/text.h"

namespace {

using qrxtest::RecordedRequest;
using qrxtest::ReportServer;
using qrxtest::ScopedEnv;
using qrxtest::TempDir;

constexpr DWORD kWaitMs = 10000;

// What the stand-in window saw, and the status its page sets before closing.
struct WindowVisit {
  int calls = 0;
  bool shortcutExisted = false;
  std::wstring pagePath;
  int statusToSet = qrx::kNotStart;
  std::wstring shortcutPath;
};
WindowVisit visit;

void StandInWindow(const std::wstring& pagePath, qrx::QRXExternal* bridge) {
  ++visit.calls;
  visit.pagePath = pagePath;
  visit.shortcutExisted = qrxtest::FileExists(visit.shortcutPath);
  bridge->sessionInfo()->status = visit.statusToSet;
}

// One UI stage with the reporting server listening and a private temp folder.
class RunStage : public ::testing::Test {
 protected:
  void SetUp() override {
    visit = WindowVisit();
    name_ = L"QRX test resume " + std::to_wstring(GetCurrentProcessId()) + L".lnk";
    visit.shortcutPath = qrx::GetShortcutPath(name_);
    ASSERT_FALSE(visit.shortcutPath.empty());
    ASSERT_TRUE(server_.Start(80)) << "port 80 stayed taken";
  }
  void TearDown() override { DeleteFileW(visit.shortcutPath.c_str()); }

  // Runs the stage; the run's token goes to `token`.
  void Run(bool pagesLoaded, int statusToSet, std::string& token) {
    visit.statusToSet = statusToSet;
    ScopedEnv tmp(L"TMP", temp_.path());
    ScopedEnv tempVariable(L"TEMP", temp_.path());
    qrx::Logger logger;
    qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
    info.properties[L"lang"] = L"en";
    qrx::ErrorReporter reporter(&info);
    downloadmanagercore::WorkerPool workers;
    auto* bridge = new qrx::QRXExternal(&info, &reporter, &logger);
    bridge->AttachWorkers(&workers);
    token = qrx::ToUtf8(info.requestToken);
    logPath_ = logger.path();
    EXPECT_TRUE(qrx::RunUiStage(name_, pagesLoaded, temp_.path(), bridge, workers, StandInWindow));
    status_ = info.status;
    bridge->Release();
  }

  std::vector<RecordedRequest> RequestsOf(const std::string& token) {
    std::vector<RecordedRequest> found;
    for (const auto& request : server_.Requests()) {
      if (request.body.find(token) != std::string::npos || request.query.find(token) != std::string::npos) {
        found.push_back(request);
      }
    }
    return found;
  }

  bool WaitForAnalytics(const std::string& token, const std::string& status) {
    return server_.WaitFor(
        [&](const RecordedRequest& r) {
          return r.path == "/v1/logAnalytics" && r.body.find(token) != std::string::npos &&
                 r.body.find("<status>" + status + "</status>") != std::string::npos;
        },
        kWaitMs);
  }

  std::wstring name_;
  TempDir temp_;
  ReportServer server_;
  std::wstring logPath_;
  int status_ = -1;
};

TEST_F(RunStage, CompletedRunRemovesTheShortcutAndSendsNoErrorReport) {
  std::string token;
  Run(true, qrx::kCompleted, token);
  EXPECT_EQ(visit.calls, 1);
  EXPECT_TRUE(visit.shortcutExisted) << "the shortcut is made before the window";
  EXPECT_EQ(visit.pagePath, temp_.path() + L"Load.html");
  EXPECT_FALSE(qrxtest::FileExists(visit.shortcutPath));
  ASSERT_TRUE(WaitForAnalytics(token, "started"));
  ASSERT_TRUE(WaitForAnalytics(token, "completed"));
  const auto requests = RequestsOf(token);
  EXPECT_EQ(requests.size(), 2u);
  for (const auto& request : requests) EXPECT_EQ(request.verb, "POST");
}

TEST_F(RunStage, CanceledRunLeavesTheShortcutToTheCopy) {
  std::string token;
  Run(true, qrx::kCancel, token);
  EXPECT_TRUE(visit.shortcutExisted);
  ASSERT_TRUE(qrxtest::FileExists(visit.shortcutPath));
  CoInitialize(nullptr);
  {
    qrx::ComPtr<IShellLinkW> link;
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())));
    qrx::ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(link.As(&file)));
    ASSERT_TRUE(SUCCEEDED(file->Load(visit.shortcutPath.c_str(), STGM_READ)));
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetWorkingDirectory(folder, MAX_PATH);
    EXPECT_EQ(std::wstring(target).find(temp_.path()), 0u) << "the copy in the temp folder";
    EXPECT_TRUE(qrxtest::FileExists(target));
    EXPECT_EQ(std::wstring(folder) + L"\\", temp_.path());
  }
  CoUninitialize();
  ASSERT_TRUE(WaitForAnalytics(token, "canceled"));
  EXPECT_EQ(RequestsOf(token).size(), 2u) << "two analytics documents, no error report";
}

TEST_F(RunStage, WithoutPagesNoWindowNoShortcutAndAnErrorReport) {
  std::string token;
  Run(false, qrx::kCompleted, token);
  EXPECT_EQ(visit.calls, 0);
  EXPECT_EQ(status_, qrx::kError);
  EXPECT_FALSE(qrxtest::FileExists(visit.shortcutPath));
  ASSERT_TRUE(WaitForAnalytics(token, "started"));
  ASSERT_TRUE(WaitForAnalytics(token, "error occurred"));
  RecordedRequest report;
  ASSERT_TRUE(server_.WaitFor(
      [&](const RecordedRequest& r) { return r.verb == "PUT" && r.query.find(token) != std::string::npos; }, kWaitMs,
      &report));
  std::vector<qrxtest::ZipEntry> entries;
  ASSERT_TRUE(qrxtest::ReadZipEntries(report.body, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "installer_log.txt");
  EXPECT_NE(entries[0].data.find("DEBUG] Property lang: en\r\n\r\n"), std::string::npos) << entries[0].data;
  EXPECT_NE(entries[0].data.find("DEBUG] Property osbits: 64\r\n\r\n"), std::string::npos);
}

TEST_F(RunStage, ErrorRunKeepsTheShortcutAndSendsTheLog) {
  std::string token;
  Run(true, qrx::kError, token);
  EXPECT_TRUE(qrxtest::FileExists(visit.shortcutPath));
  RecordedRequest report;
  ASSERT_TRUE(server_.WaitFor(
      [&](const RecordedRequest& r) { return r.verb == "PUT" && r.query.find(token) != std::string::npos; }, kWaitMs,
      &report));
  EXPECT_EQ(report.path, "/v1/reportError");
  std::vector<qrxtest::ZipEntry> entries;
  ASSERT_TRUE(qrxtest::ReadZipEntries(report.body, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "installer_log.txt");
  // The workers were stopped and joined after the window, before the final reports.
  EXPECT_NE(entries[0].data.find("DEBUG] Stopping workers: 0 running\r\n"), std::string::npos) << entries[0].data;
  EXPECT_NE(entries[0].data.find("DEBUG] Workers stopped in "), std::string::npos);
  EXPECT_EQ(entries[0].data.find("Workers still running"), std::string::npos);
}

}  // namespace
