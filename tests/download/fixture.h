// The Python fixture server of the download tests, started once per test executable, and a
// test owner that stores the counters as the bridge does.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "download/download_owner.h"
#include "log/logger.h"

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

// Expected body bytes: byte i is i % 251.
std::string ExpectedBody(size_t size);

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

  std::wstring path() const { return path_; }
  // The stored text, or empty when nothing was stored.
  std::wstring Property(const std::wstring& key);
  int totalWrites();

 private:
  void Store(const std::wstring& key, const std::wstring& value);

  std::wstring folder_;
  std::wstring path_;
  qrx::Logger* logger_;
  CRITICAL_SECTION lock_;
  std::map<std::wstring, std::wstring> properties_;
  int totalWrites_ = 0;
};

}  // namespace dltest
