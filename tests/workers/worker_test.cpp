#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "bridge/html_external.h"
#include "bridge/worker_pool.h"
#include "bridge/worker_threads.h"
#include "download/fixture.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"
#include "support/page_callback.h"
#include "support/test_support.h"

namespace {

using downloadmanagercore::HtmlExternal;
using downloadmanagercore::WorkerPool;
using qrxtest::PageCallback;
using qrxtest::PumpFor;
using qrxtest::PumpUntil;

// A bridge whose install and start-program results the test chooses.
class ScriptedBridge : public HtmlExternal {
 public:
  ScriptedBridge(qrx::SessionInfo* info, qrx::ErrorReporter* reporter, qrx::Logger* logger)
      : HtmlExternal(info, reporter, logger) {}
  int InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) override {
    seenPackage = packagePath;
    seenParameters = parameters;
    return installResult;
  }
  bool GetInstalledStartProgram(std::wstring& path) override {
    if (!startProgramFound) return false;
    path = L"C:\\Lumenary\\Halvard Lumenary Pro.exe";
    return true;
  }
  int installResult = 2;
  bool startProgramFound = true;
  std::wstring seenPackage;
  std::wstring seenParameters;
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    ASSERT_GT(dltest::ServerPort(), 0);
    logger_ = new qrx::Logger();
    info_ = new qrx::SessionInfo(L"QRX", L"1.0.79.1");
    reporter_ = new qrx::ErrorReporter(info_);
    bridge_ = new ScriptedBridge(info_, reporter_, logger_);
    bridge_->AttachWorkers(&workers_);
    folder_ = bridge_->downloadFolder();
  }
  void TearDown() override {
    // Every worker has ended before the run's objects go away.
    EXPECT_TRUE(workers_.StopAndJoin(10000));
    if (bridge_) bridge_->Release();
    delete reporter_;
    delete info_;
    delete logger_;
    CoUninitialize();
  }

  HRESULT CallMethod(const wchar_t* name, const std::wstring& text, IDispatch* callback) {
    return qrxtest::CallWithCallback(bridge_, name, text, callback);
  }

  std::string LogText() { return qrxtest::ReadFileBytes(logger_->path()); }
  bool LogHas(const std::string& line) { return LogText().find(line) != std::string::npos; }

  // Joined only once every worker has ended.
  bool Joined() { return workers_.Join(10000); }
  size_t RunningWorkers() { return workers_.running(); }

  WorkerPool workers_;
  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  qrx::Logger* logger_ = nullptr;
  qrx::SessionInfo* info_ = nullptr;
  qrx::ErrorReporter* reporter_ = nullptr;
  ScriptedBridge* bridge_ = nullptr;
  std::wstring folder_;
};

TEST_F(WorkerTest, DownloadCallsBackOnTheCallingThreadWithOneInteger) {
  PageCallback callback;
  const std::wstring url = dltest::ServerUrl("/len/100000/" + dltest::UniqueTag() + "/setup.zip");
  ASSERT_EQ(CallMethod(L"download", url, &callback), S_OK);
  ASSERT_TRUE(PumpUntil(callback.called(), 30000));
  ASSERT_EQ(callback.calls.size(), 1u);
  const PageCallback::Call& call = callback.calls[0];
  EXPECT_EQ(call.value, 0);
  EXPECT_EQ(call.thread, GetCurrentThreadId()) << "the page is called back on its own thread";
  EXPECT_EQ(call.dispid, DISPID_VALUE);
  EXPECT_EQ(call.flags, DISPATCH_METHOD);
  EXPECT_EQ(call.argumentCount, 1u);
  EXPECT_EQ(call.namedCount, 0u);
  EXPECT_TRUE(Joined());
  EXPECT_EQ(bridge_->downloadPath(), folder_ + L"setup.zip");
  EXPECT_EQ(qrxtest::ReadFileBytes(bridge_->downloadPath()), dltest::ExpectedBody(100000));
  EXPECT_EQ(info_->wrapperError, 0);
  EXPECT_EQ(info_->msiError, 0);
  EXPECT_TRUE(LogHas("DEBUG] ZSDownload: " + std::string(url.begin(), url.end()) + "\r\n"));
  EXPECT_TRUE(LogHas("DEBUG] DownloadThreadFunc\r\n"));
  EXPECT_TRUE(LogHas("DEBUG] call js callback.\r\n"));
  EXPECT_TRUE(LogHas("DEBUG] callJscallback return 0.\r\n"));
  // The marshalled callback's references are all returned once the worker ended.
  EXPECT_EQ(callback.refs(), 1);
}

TEST_F(WorkerTest, FailedDownloadKeepsItsErrorFieldsAfterASuccessfulRetry) {
  PageCallback first;
  ASSERT_EQ(CallMethod(L"download", dltest::ServerUrl("/missing/" + dltest::UniqueTag() + "/setup.zip"), &first),
            S_OK);
  ASSERT_TRUE(PumpUntil(first.called(), 30000));
  ASSERT_EQ(first.calls.size(), 1u);
  EXPECT_EQ(first.calls[0].value, 2);
  EXPECT_TRUE(Joined());
  EXPECT_EQ(info_->wrapperError, 1);
  EXPECT_EQ(info_->msiError, 2);
  const std::wstring path = folder_ + L"setup.zip";
  EXPECT_TRUE(LogHas("ERROR] Download fail, download path : " + std::string(path.begin(), path.end()) +
                     ", download result : 2\r\n"));

  PageCallback second;
  ASSERT_EQ(CallMethod(L"download", dltest::ServerUrl("/len/5000/" + dltest::UniqueTag() + "/setup.zip"), &second),
            S_OK);
  ASSERT_TRUE(PumpUntil(second.called(), 30000));
  EXPECT_EQ(second.calls[0].value, 0);
  EXPECT_TRUE(Joined());
  EXPECT_EQ(info_->wrapperError, 1);
  EXPECT_EQ(info_->msiError, 2);
}

// The cause a failed download leaves under "downloadFailure" before its callback; the next
// download empties it when it starts.
TEST_F(WorkerTest, AFailedDownloadLeavesItsCauseUntilTheNextDownloadStarts) {
  EXPECT_EQ(bridge_->GetPropertyValue(L"downloadFailure"), L"");
  const std::string port = dltest::ServerGet("/_control/closedport");
  const std::string flipped = dltest::ServerGet("/_control/sha256/5000/flip");
  struct Case {
    std::wstring url;
    int code;
    const wchar_t* cause;
  };
  const std::string tag = dltest::UniqueTag();
  const Case cases[] = {
      {dltest::ServerUrl("/missing/" + tag + "/setup.zip"), 2, L"notfound"},
      {std::wstring(L"http://127.0.0.1:") + std::wstring(port.begin(), port.end()) + L"/setup.zip", 4, L"network"},
      {dltest::ServerUrl("/len/5000/" + tag + "/setup.zip#sha256=" + flipped), 1, L"verification"},
      // Refused by the server: 403 at once.
      {dltest::ServerUrl("/fault/5000/busy:403:0/" + tag + "/setup.zip"), 1, L"server"},
      // The fixture answers 400 to a path it does not know: an HTTP error, but not the server's.
      {dltest::ServerUrl("/refuse/" + tag + "/setup.zip"), 1, L"other"},
      {dltest::ServerUrl("/len/5000/" + tag + "/setup.zip"), 0, L""},
  };
  for (const Case& c : cases) {
    PageCallback callback;
    ASSERT_EQ(CallMethod(L"download", c.url, &callback), S_OK);
    EXPECT_EQ(bridge_->GetPropertyValue(L"downloadFailure"), L"") << "emptied when the download starts";
    ASSERT_TRUE(PumpUntil(callback.called(), 60000));
    EXPECT_EQ(callback.calls[0].value, c.code);
    // Stored before the callback, which runs once the download has returned.
    EXPECT_EQ(bridge_->GetPropertyValue(L"downloadFailure"), c.cause) << c.code;
    EXPECT_TRUE(Joined());
  }
}

// The page's Retry of the same URL goes on from the bytes the failed download kept, with no byte
// sent twice; a download of another URL deletes what a failed one kept, and a finished package
// stays where it is.
TEST_F(WorkerTest, ARetryOfTheSameUrlResumesAndAnotherUrlDropsTheKeptBytes) {
  const std::string tag = dltest::UniqueTag();
  const std::string first = "/fault/400000/short:150000,busy:403:0,ok/" + tag + "/a.zip";
  const std::string second = "/fault/400000/short:150000,busy:403:0,ok/" + tag + "/b.zip";
  struct Step {
    std::string path;
    int code;
  };
  const Step steps[] = {{first, 1}, {first, 0}, {second, 1}, {"/len/5000/" + tag + "/c.zip", 0}};
  for (const Step& step : steps) {
    PageCallback callback;
    ASSERT_EQ(CallMethod(L"download", dltest::ServerUrl(step.path), &callback), S_OK);
    ASSERT_TRUE(PumpUntil(callback.called(), 60000));
    EXPECT_EQ(callback.calls[0].value, step.code) << step.path;
    EXPECT_TRUE(Joined());
    if (step.path == second) {
      EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"b.zip"), dltest::ExpectedBody(150000));
    }
  }
  const dltest::FaultStats stats = dltest::FaultStatsOf(first);
  ASSERT_EQ(stats.requests.size(), 3u);
  EXPECT_EQ(stats.requests[2].rangeStart, 150000);
  EXPECT_EQ(stats.requests[2].status, "206");
  EXPECT_EQ(stats.bytesSent, 400000);
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"a.zip"), dltest::ExpectedBody(400000));
  EXPECT_EQ(GetFileAttributesW((folder_ + L"b.zip").c_str()), INVALID_FILE_ATTRIBUTES) << "kept bytes dropped";
  EXPECT_EQ(qrxtest::ReadFileBytes(folder_ + L"c.zip"), dltest::ExpectedBody(5000));
}

TEST_F(WorkerTest, ScriptErrorInTheCallbackIsOnlyLogged) {
  PageCallback callback(DISP_E_EXCEPTION);
  ASSERT_EQ(CallMethod(L"download", dltest::ServerUrl("/len/10/" + dltest::UniqueTag() + "/a.zip"), &callback), S_OK);
  ASSERT_TRUE(PumpUntil(callback.called(), 30000));
  EXPECT_TRUE(Joined());
  EXPECT_EQ(RunningWorkers(), 0u);
  EXPECT_TRUE(LogHas("DEBUG] callJscallback return 80020009.\r\n"));
}

TEST_F(WorkerTest, MarshallingFailureReturnsItsResultAndStartsNothing) {
  PageCallback callback(S_OK, /*dispatchable=*/false);
  const std::string tag = dltest::UniqueTag();
  EXPECT_EQ(CallMethod(L"download", dltest::ServerUrl("/len/10/" + tag + "/a.zip"), &callback), E_NOINTERFACE);
  EXPECT_EQ(RunningWorkers(), 0u);
  EXPECT_TRUE(LogHas("ERROR] ZSDownload: CoMarshalInterThreadInterfaceInStream failed with 80004002\r\n"));
  EXPECT_EQ(CallMethod(L"install", L"/S", &callback), E_NOINTERFACE);
  EXPECT_EQ(RunningWorkers(), 0u);
  EXPECT_TRUE(LogHas("DEBUG] ZSInstall: CoMarshalInterThreadInterfaceInStream failed with 80004002\r\n"));
  PumpFor(300);
  EXPECT_TRUE(callback.calls.empty());
  EXPECT_EQ(dltest::RequestCount("/len/10/" + tag + "/a.zip"), 0);
}

TEST_F(WorkerTest, InstallResultsAndTheErrorFieldsTheyRecord) {
  struct Case {
    int installResult;
    bool startProgramFound;
    int wrapperError;
    int msiError;
    bool startProgramLine;
  } cases[] = {
      {0, true, 0, 0, false},   // success records nothing
      {2, true, 0, 0, false},   // a bridge without an installer records nothing
      {3, true, 2, 3, false},
      {4, true, 2, 4, false},
      {0, false, 3, 0, true},   // installed, but the program was not found: the page still gets 0
  };
  for (const Case& c : cases) {
    info_->wrapperError = 0;
    info_->msiError = 0;
    bridge_->installResult = c.installResult;
    bridge_->startProgramFound = c.startProgramFound;
    bridge_->SetStartProgram(L"");
    const size_t linesBefore = LogText().size();
    PageCallback callback;
    ASSERT_EQ(CallMethod(L"install", L"/S \"a b\"", &callback), S_OK);
    ASSERT_TRUE(PumpUntil(callback.called(), 30000));
    EXPECT_TRUE(Joined());
    ASSERT_EQ(callback.calls.size(), 1u);
    EXPECT_EQ(callback.calls[0].value, c.installResult);
    EXPECT_EQ(callback.calls[0].thread, GetCurrentThreadId());
    EXPECT_EQ(info_->wrapperError, c.wrapperError) << c.installResult;
    EXPECT_EQ(info_->msiError, c.msiError) << c.installResult;
    EXPECT_EQ(bridge_->seenParameters, L"/S \"a b\"");
    EXPECT_EQ(bridge_->seenPackage, bridge_->downloadPath());
    const std::string newLines = LogText().substr(linesBefore);
    EXPECT_NE(newLines.find("DEBUG] InstallThreadFunc\r\n"), std::string::npos);
    EXPECT_EQ(newLines.find("ERROR] GetInstalledStartProgram failed\r\n") != std::string::npos, c.startProgramLine);
    if (c.installResult == 0 && c.startProgramFound) {
      EXPECT_EQ(bridge_->startProgram(), L"C:\\Lumenary\\Halvard Lumenary Pro.exe");
    }
  }
}

TEST_F(WorkerTest, ClosingDuringASlowDownloadStopsItWithoutACallback) {
  const std::string tag = dltest::UniqueTag();
  const std::string path = "/gate/" + tag + "/65536/10000000/" + tag + "/setup.zip";
  PageCallback callback;
  ASSERT_EQ(CallMethod(L"download", dltest::ServerUrl(path), &callback), S_OK);
  // Wait until the transfer is under way (the server has the request).
  const DWORD start = GetTickCount();
  while (dltest::RequestCount(path) == 0 && GetTickCount() - start < 20000) PumpFor(50);
  ASSERT_EQ(dltest::RequestCount(path), 1);
  EXPECT_EQ(RunningWorkers(), 1u);

  // The window closes: the bridge hears of it and shut-down stops and joins the workers.
  bridge_->BeginShutdown();
  const DWORD stopStart = GetTickCount();
  EXPECT_TRUE(workers_.StopAndJoin(5000));
  const DWORD stopMs = GetTickCount() - stopStart;
  std::printf("measure: download stop-and-join %lu ms\n", static_cast<unsigned long>(stopMs));
  // The join's own limit is 5 s; the stop itself takes well under one.
  EXPECT_LT(stopMs, 1000u);
  PumpFor(300);
  EXPECT_TRUE(callback.calls.empty()) << "no callback reaches a closed page";
  EXPECT_EQ(RunningWorkers(), 0u);
  EXPECT_EQ(callback.refs(), 1) << "the worker gave the page's callback back";
  // A stop is not a failure: the error fields stay as they stood.
  EXPECT_EQ(info_->wrapperError, 0);
  EXPECT_EQ(info_->msiError, 0);
  EXPECT_TRUE(LogHas("DEBUG] DownloadThreadFunc stopped by shut-down\r\n"));
  EXPECT_FALSE(LogHas("Download fail"));

  // The last reference goes: the download folder goes with the bridge.
  bridge_->Release();
  bridge_ = nullptr;
  EXPECT_FALSE(qrxtest::FileExists(folder_));
  dltest::ServerGet("/_control/open/" + tag);
}

// Thread creation fails as it does when the process runs out of memory or address space.
HANDLE FailingThreadStarter(LPTHREAD_START_ROUTINE, void*) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TEST_F(WorkerTest, AFailedThreadStartIsReportedToTheScriptAndLeaksNothing) {
  workers_.SetThreadStarter(&FailingThreadStarter);
  struct Case {
    const wchar_t* method;
    const wchar_t* text;
    const char* line;
  } cases[] = {
      {L"download", L"http://127.0.0.1:1/a.zip", "ERROR] ZSDownload: CreateThread failed with 80070008\r\n"},
      {L"install", L"/S", "ERROR] ZSInstall: CreateThread failed with 80070008\r\n"},
  };
  for (const Case& c : cases) {
    const LONG bridgeRefs = bridge_->refCount();
    PageCallback callback;
    EXPECT_EQ(CallMethod(c.method, c.text, &callback), static_cast<HRESULT>(0x80070008)) << c.line;
    EXPECT_TRUE(LogHas(c.line)) << c.line;
    EXPECT_EQ(RunningWorkers(), 0u);
    PumpFor(200);
    EXPECT_TRUE(callback.calls.empty());
    // The marshalled callback and the task's reference on the bridge were both given back.
    EXPECT_EQ(callback.refs(), 1) << c.line;
    EXPECT_EQ(bridge_->refCount(), bridgeRefs) << c.line;
  }
}

TEST_F(WorkerTest, TheWorkerKeepsTheBridgeAliveUntilItEnds) {
  const std::string tag = dltest::UniqueTag();
  const std::string path = "/gate/" + tag + "/16384/200000/" + tag + "/pkg.zip";
  PageCallback callback;
  ASSERT_EQ(CallMethod(L"download", dltest::ServerUrl(path), &callback), S_OK);
  const DWORD start = GetTickCount();
  while (dltest::RequestCount(path) == 0 && GetTickCount() - start < 20000) PumpFor(50);
  // The page's owner lets go first; the worker still holds the bridge and its folder.
  bridge_->Release();
  bridge_ = nullptr;
  EXPECT_TRUE(qrxtest::FileExists(folder_));
  dltest::ServerGet("/_control/open/" + tag);
  ASSERT_TRUE(PumpUntil(callback.called(), 30000));
  EXPECT_EQ(callback.calls[0].value, 0);
  EXPECT_TRUE(Joined());
  EXPECT_FALSE(qrxtest::FileExists(folder_)) << "the worker's release destroyed the bridge";
}

}  // namespace
