// The product's script bridge: the generic bridge plus the product's environment properties and
// its install and start-program operations.
#pragma once

#include <windows.h>

#include <string>

#include "bridge/html_external.h"
#include "installer/install_owner.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"

namespace qrx {

// Logged when `install` names no package that this run downloaded with result 0.
extern const wchar_t kLogInstallNotDownloaded[];

// The facts behind the start properties.
struct StartFacts {
  bool productInstalled = false;
  bool serverOs = false;
  int dpi = 96;
  int screenHeight = 0;
  std::wstring osVersion;
};

// "true" when the pixels per inch are below 144 or the screen is at least 920 pixels high.
bool DpiSatisfied(int dpi, int screenHeight);

// Reference-counted; created with a count of 1.
class QRXExternal : public downloadmanagercore::HtmlExternal, public InstallOwner {
 public:
  // Stores the start properties of this machine.
  QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger);
  // Stores the start properties from the given facts.
  QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger, const StartFacts& facts);

  // Refused with the fatal result 3 unless `packagePath` is this run's checked download.
  int InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) override;
  bool GetInstalledStartProgram(std::wstring& path) override;

  // The facts of this machine: the installed check, server OS, screen DPI and height, version.
  static StartFacts QueryStartFacts();

  // InstallOwner (and DownloadOwner's logger):
  Logger* GetLogger() override;
  std::wstring GetProperty(const std::wstring& key) override;
  void SetInstallProgress(int value) override;
  void SetProductVersion(const std::wstring& version) override;
  void AddAttachment(const std::wstring& path) override;
  InstallProgress& GetInstallProgressState() override;
  HANDLE GetStopEvent() override;
  void OnSetupStillRunning() override;

 private:
  void StoreStartProperties(const StartFacts& facts);

  // Kept across installs: a retried install goes on from where the last one left.
  InstallProgress installProgress_;
};

}  // namespace qrx
