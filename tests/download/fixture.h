// The Python fixture server of the download tests, started once per test executable, and a
// test owner that stores the counters as the bridge does.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "download/download_owner.h"
#include "download/resume_plan.h"
#include "log/logger.h"
#include "support/test_support.h"

namespace dltest {

// Port of the running fixture server (0 when it could not be started).
int ServerPort();
// "http://127.0.0.1:<port>" + path.
std::wstring ServerUrl(const std::string& path);
// A GET to the fixture (control interface); the body, or empty on failure.
std::string ServerGet(const std::string& path);
// Requests the fixture has seen for `path`.
int RequestCount(const std::string& path);
// A path unique to this process and call, so counts and gates start from zero.
std::string UniqueTag();

// Expected body bytes: byte i is i % 251 (with `seed`, (i + seed) % 251).
std::string ExpectedBody(size_t size, unsigned seed = 0);

// What the fixture recorded for one fault path.
struct FaultRequest {
  std::string status;
  long long rangeStart = -1;  // -1: no range asked
  long long bodySent = 0;
  std::string ifRange;        // "-" when absent
};
struct FaultStats {
  long long bytesSent = 0;
  std::vector<FaultRequest> requests;
};
FaultStats FaultStatsOf(const std::string& path);

// Mirrors the bridge: counters as signed decimal text in a map under a lock.
class TestOwner : public downloadmanagercore::DownloadOwner {
 public:
  TestOwner(const std::wstring& folder, qrx::Logger* logger);
  ~TestOwner();

  std::wstring GetDownloadFolder() override { return folder_; }
  void SetDownloadPath(const std::wstring& path) override { path_ = path; }
  void SetDownloadTotal(ULONG value) override;
  void SetDownloadCurrent(ULONG value) override;
  qrx::Logger* GetLogger() override { return logger_; }
  HANDLE GetStopEvent() override { return stop_; }
  // Gives the download a stop event (owned by the test).
  void SetStopEvent(HANDLE stop) { stop_ = stop; }

  std::wstring path() const { return path_; }
  // The stored text, or empty when nothing was stored.
  std::wstring Property(const std::wstring& key);
  int totalWrites();

 private:
  void Store(const std::wstring& key, const std::wstring& value);

  std::wstring folder_;
  std::wstring path_;
  qrx::Logger* logger_;
  HANDLE stop_ = nullptr;
  CRITICAL_SECTION lock_;
  std::map<std::wstring, std::wstring> properties_;
  int totalWrites_ = 0;
};

// A download on a thread of its own in the multithreaded apartment, as the worker runs it.
class DownloadThread {
 public:
  // With `resume`, the download takes up and stores back what a failed call left.
  DownloadThread(TestOwner& owner, std::wstring url, downloadmanagercore::ResumeState* resume = nullptr);
  ~DownloadThread();
  DownloadThread(const DownloadThread&) = delete;
  DownloadThread& operator=(const DownloadThread&) = delete;

  bool Wait(DWORD ms) { return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }
  bool running() { return WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT; }
  DWORD id() const { return threadId_; }
  int code() const { return code_; }
  bool quitReposted() const { return quitReposted_; }

 private:
  static DWORD WINAPI Run(void* context);

  TestOwner& owner_;
  std::wstring url_;
  downloadmanagercore::ResumeState* resume_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  int code_ = -1;
  bool quitReposted_ = false;
};

// A test with a log in its own temp folder, a download folder and an owner.
class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override;

  int Download(const std::wstring& url, DWORD timeoutMs = 60000, downloadmanagercore::ResumeState* resume = nullptr);
  std::string Log();
  // The HRESULT (hexadecimal) of each mapped attempt, in order.
  std::vector<std::string> MappedResults();
  // The log lines (without their time and level prefix) that start with `prefix`.
  std::vector<std::string> LogLines(const std::string& prefix);

  qrxtest::TempDir logRoot_;
  qrxtest::ScopedEnv tmp_{L"TMP", logRoot_.path()};
  qrx::Logger logger_;
  qrxtest::TempDir downloads_;
  TestOwner owner_{downloads_.path(), &logger_};
};

}  // namespace dltest
