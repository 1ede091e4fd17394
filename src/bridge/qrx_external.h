// The product's script bridge: the generic bridge plus the product's environment properties and
// its install and start-program operations.
#pragma once

#include <windows.h>

#include <string>

#include "app/session_info.h"
#include "bridge/html_external.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"

namespace qrx {

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
class QRXExternal : public downloadmanagercore::HtmlExternal {
 public:
  // Stores the start properties of this machine.
  QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger);
  // Stores the start properties from the given facts.
  QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger, const StartFacts& facts);

  int InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) override;
  bool GetInstalledStartProgram(std::wstring& path) override;

  // The facts of this machine: the installed check, server OS, screen DPI and height, version.
  static StartFacts QueryStartFacts();

  // Used only by the install worker.
  int progressStage = -1;
  int progressValue = 0;

 private:
  void StoreStartProperties(const StartFacts& facts);
};

}  // namespace qrx
