// An install owner for tests: a property map and run record under a lock, like the bridge's,
// recording every published progress value and attachment.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "installer/install_owner.h"
#include "installer/install_package.h"

namespace qrxtest {

class TestInstallOwner : public qrx::InstallOwner {
 public:
  explicit TestInstallOwner(const std::wstring& osBits = L"64");
  ~TestInstallOwner();

  // InstallOwner:
  qrx::Logger* GetLogger() override { return &logger_; }
  std::wstring GetProperty(const std::wstring& key) override;
  void SetInstallProgress(int value) override;
  void SetProductVersion(const std::wstring& version) override;
  void AddAttachment(const std::wstring& path) override;
  qrx::InstallProgress& GetInstallProgressState() override { return progress_; }
  HANDLE GetStopEvent() override { return stop_; }
  void OnSetupStillRunning() override { ++setupLeftRunning_; }

  // Asks the install to stop, as shut-down does.
  void RequestStop() { SetEvent(stop_); }
  int setupLeftRunning() const { return setupLeftRunning_; }

  void SetProperty(const std::wstring& key, const std::wstring& value);
  std::vector<int> published();
  // The stage and detail of the log's "Install stage %d failed, detail %d" line; {0, 0} without one.
  std::pair<int, int> failedStage();
  std::wstring productVersion();
  const std::vector<std::wstring>& attachments() const { return attachments_; }
  // The log lines written so far, without their time and level prefix.
  std::vector<std::string> LogMessages();

  // Waits until `count` values have been published in all; false after `timeoutMs`.
  bool WaitForPublished(size_t count, DWORD timeoutMs);

 private:
  CRITICAL_SECTION lock_;
  HANDLE publishedEvent_;
  HANDLE stop_;
  std::atomic<int> setupLeftRunning_{0};
  qrx::Logger logger_;
  std::map<std::wstring, std::wstring> properties_;
  std::vector<int> published_;
  std::wstring productVersion_ = L"(unset)";
  std::vector<std::wstring> attachments_;
  qrx::InstallProgress progress_;
};

// The Windows Installer queries, made directly.
bool MsiProductInstalled(const wchar_t* productCode);
std::wstring MsiProductVersion(const wchar_t* productCode);
// Removes every product of both lists that is registered (msiexec /x ... /qn).
void RemoveTestProducts();

// Waits (up to `timeoutMs`) until a file can be opened for writing. Under Wine a program that has
// just exited can keep its image file busy for a moment, so a retried install that unpacks over
// the setup.exe of the last one waits for it first.
bool WaitUntilWritable(const std::wstring& path, DWORD timeoutMs);

// The product's own operations: the zip layer and the Windows Installer queries.
inline qrx::InstallOperations RealOperations() { return qrx::ProductInstallOperations(); }

}  // namespace qrxtest
