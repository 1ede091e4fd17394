// The workers driven through a stand-in for the bridge: what each job result, stop and closing
// page lead to, and the task's reference on its host.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bridge/worker_host.h"
#include "bridge/worker_pool.h"
#include "bridge/worker_threads.h"
#include "common/result_codes.h"
#include "common/unique_any.h"
#include "log/logger.h"
#include "support/page_callback.h"
#include "support/test_support.h"

namespace {

using downloadmanagercore::StartDownloadWorker;
using downloadmanagercore::StartInstallWorker;
using downloadmanagercore::WorkerHost;
using downloadmanagercore::WorkerPool;
using qrxtest::PageCallback;

const wchar_t kFakeDownloadPath[] = L"C:\\dl\\setup.zip";
const wchar_t kFakeStartProgram[] = L"C:\\Lumenary\\Halvard Lumenary Pro.exe";

// A host whose job results and shut-down state the test sets; records what the worker stores.
// Lives on the test's stack and holds the creator's reference (1) until it goes.
class FakeHost final : public WorkerHost {
 public:
  explicit FakeHost(qrx::Logger* logger) : logger_(logger) {}

  // WorkerHost:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    releaseThread = GetCurrentThreadId();
    return --refs;
  }
  qrx::Logger* GetLogger() override { return logger_; }
  int DownloadFile(const std::wstring& url) override {
    seenUrl = url;
    return RunJob();
  }
  int InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) override {
    seenPackage = packagePath;
    seenParameters = parameters;
    return RunJob();
  }
  bool GetInstalledStartProgram(std::wstring& path) override {
    ++startProgramLookups;
    if (!startProgramFound) return false;
    path = kFakeStartProgram;
    return true;
  }
  void SetErrorFields(int wrapperError, int msiError) override { errorFields.emplace_back(wrapperError, msiError); }
  std::wstring downloadPath() override { return kFakeDownloadPath; }
  void SetStartProgram(const std::wstring& path) override { startProgram = path; }
  bool closing() const override { return closingPage; }
  bool stopRequested() const override { return stop; }

  // The job's result; with `hold` set, the job signals `started` and waits for `resume`.
  int result = 0;
  bool startProgramFound = true;
  bool closingPage = false;
  bool stop = false;
  bool hold = false;
  qrx::UniqueHandle started{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  qrx::UniqueHandle resume{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  std::atomic<LONG> refs{1};
  std::atomic<DWORD> releaseThread{0};
  std::wstring seenUrl;
  std::wstring seenPackage;
  std::wstring seenParameters;
  int startProgramLookups = 0;
  std::vector<std::pair<int, int>> errorFields;
  std::wstring startProgram;

 private:
  int RunJob() {
    SetEvent(started.get());
    if (hold) WaitForSingleObject(resume.get(), 10000);
    return result;
  }
  qrx::Logger* logger_;
};

class WorkerHostTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override {
    EXPECT_TRUE(workers_.StopAndJoin(10000));
    logger_.reset();
    CoUninitialize();
  }
  std::string LogText() { return qrxtest::ReadFileBytes(logger_->path()); }

  // Declared first: the log goes to this folder.
  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
  std::unique_ptr<qrx::Logger> logger_ = std::make_unique<qrx::Logger>();
  WorkerPool workers_;
};

TEST_F(WorkerHostTest, JobResultsStopAndClosingDecideTheCallbackAndTheErrorFields) {
  const int kNoCallback = -1;
  struct Case {
    bool install;
    int result;
    bool startProgramFound;
    bool closingPage;
    bool stop;
    int callbackValue;  // kNoCallback: the page hears nothing
    std::vector<std::pair<int, int>> errorFields;
    bool startProgramStored;
    const char* line;  // a line the run must write, or null
    const char* absentLine;  // a line it must not write, or null
  } cases[] = {
      {false, 0, true, false, false, 0, {}, false, "DEBUG] callJscallback return 0.\r\n", "Download fail"},
      {false, 3, true, false, false, 3, {{1, 3}}, false,
       "ERROR] Download fail, download path : C:\\dl\\setup.zip, download result : 3\r\n", nullptr},
      // A stop is not a failure: nothing recorded, nothing reported, the page hears nothing.
      {false, 3, true, false, true, kNoCallback, {}, false, "DEBUG] DownloadThreadFunc stopped by shut-down\r\n",
       "Download fail"},
      // The page went away before the stop: the failure is still the run's, only the call is skipped.
      {false, 3, true, true, false, kNoCallback, {{1, 3}}, false, "ERROR] Download fail", "call js callback."},
      {true, 0, true, false, false, 0, {}, true, "DEBUG] InstallThreadFunc\r\n", "GetInstalledStartProgram failed"},
      {true, 0, false, false, false, 0, {{3, 0}}, false, "ERROR] GetInstalledStartProgram failed\r\n", nullptr},
      {true, 2, true, false, false, 2, {}, false, "DEBUG] callJscallback return 0.\r\n", nullptr},
      {true, 1603, true, false, false, 1603, {{2, 1603}}, false, "DEBUG] call js callback.\r\n", nullptr},
      // Ended by the stop: nothing recorded, the page hears nothing.
      {true, qrx::kInstallStopped, true, false, true, kNoCallback, {}, false,
       "DEBUG] InstallThreadFunc stopped by shut-down\r\n", "call js callback."},
      // A failure reached while the stop came is still the run's: the install thread's 2 wins.
      {true, 1603, true, false, true, kNoCallback, {{2, 1603}}, false, "DEBUG] InstallThreadFunc\r\n",
       "stopped by shut-down"},
      {true, 3, true, false, true, kNoCallback, {{2, 3}}, false, "DEBUG] InstallThreadFunc\r\n", "call js callback."},
      // Stopped after setup ended well: the program is not looked for during shut-down.
      {true, 0, false, false, true, kNoCallback, {}, false, "DEBUG] InstallThreadFunc\r\n",
       "GetInstalledStartProgram failed"},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(row++);
    FakeHost host(logger_.get());
    host.result = c.result;
    host.startProgramFound = c.startProgramFound;
    host.closingPage = c.closingPage;
    host.stop = c.stop;
    const size_t logBefore = LogText().size();
    PageCallback callback;
    const HRESULT hr = c.install
                           ? StartInstallWorker(workers_, &host, L"C:\\dl\\pkg.zip", L"/S \"a b\"", &callback)
                           : StartDownloadWorker(workers_, &host, L"http://127.0.0.1:1/setup.zip", &callback);
    ASSERT_EQ(hr, S_OK);
    // Joining dispatches the call back into this apartment; the worker ends only after it.
    ASSERT_TRUE(workers_.Join(10000));
    if (c.callbackValue == kNoCallback) {
      EXPECT_TRUE(callback.calls.empty());
    } else {
      ASSERT_EQ(callback.calls.size(), 1u);
      EXPECT_EQ(callback.calls[0].value, c.callbackValue);
      EXPECT_EQ(callback.calls[0].thread, GetCurrentThreadId());
    }
    EXPECT_EQ(host.errorFields, c.errorFields);
    EXPECT_EQ(host.startProgram, c.startProgramStored ? kFakeStartProgram : L"");
    if (c.install) {
      EXPECT_EQ(host.seenPackage, L"C:\\dl\\pkg.zip");
      EXPECT_EQ(host.seenParameters, L"/S \"a b\"");
      EXPECT_EQ(host.startProgramLookups, !c.stop && c.result == 0 ? 1 : 0);
    } else {
      EXPECT_EQ(host.seenUrl, L"http://127.0.0.1:1/setup.zip");
    }
    const std::string lines = LogText().substr(logBefore);
    if (c.line) {
      EXPECT_NE(lines.find(c.line), std::string::npos) << c.line;
    }
    if (c.absentLine) {
      EXPECT_EQ(lines.find(c.absentLine), std::string::npos) << c.absentLine;
    }
    // Both the host's and the callback's references came back.
    EXPECT_EQ(host.refs.load(), 1);
    EXPECT_EQ(callback.refs(), 1);
  }
}

TEST_F(WorkerHostTest, TheTaskHoldsItsHostUntilItsThreadGivesItBack) {
  for (bool install : {false, true}) {
    SCOPED_TRACE(install);
    FakeHost host(logger_.get());
    host.hold = true;
    PageCallback callback;
    const HRESULT hr = install ? StartInstallWorker(workers_, &host, L"C:\\dl\\pkg.zip", L"", &callback)
                               : StartDownloadWorker(workers_, &host, L"http://127.0.0.1:1/a.zip", &callback);
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(WaitForSingleObject(host.started.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(host.refs.load(), 2) << "one reference for the running task";
    SetEvent(host.resume.get());
    ASSERT_TRUE(workers_.Join(10000));
    ASSERT_EQ(callback.calls.size(), 1u);
    EXPECT_EQ(host.refs.load(), 1);
    EXPECT_NE(host.releaseThread.load(), GetCurrentThreadId()) << "released on the worker's thread";
  }
}

// Thread creation fails as it does when the process runs out of memory or address space.
HANDLE FailingThreadStarter(LPTHREAD_START_ROUTINE, void*) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TEST_F(WorkerHostTest, AFailedThreadStartGivesTheHostBackAtOnce) {
  workers_.SetThreadStarter(&FailingThreadStarter);
  for (bool install : {false, true}) {
    SCOPED_TRACE(install);
    FakeHost host(logger_.get());
    PageCallback callback;
    const HRESULT hr = install ? StartInstallWorker(workers_, &host, L"C:\\dl\\pkg.zip", L"", &callback)
                               : StartDownloadWorker(workers_, &host, L"http://127.0.0.1:1/a.zip", &callback);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x80070008));
    EXPECT_EQ(host.refs.load(), 1);
    EXPECT_EQ(host.releaseThread.load(), GetCurrentThreadId());
    EXPECT_EQ(callback.refs(), 1);
    EXPECT_TRUE(host.seenUrl.empty() && host.seenPackage.empty()) << "no job ran";
  }
}

}  // namespace
