// What an install needs from the object that runs it (the script bridge).
#pragma once

#include <windows.h>

#include <string>

#include "installer/install_progress.h"
#include "log/logger.h"

namespace qrx {

class InstallOwner {
 public:
  virtual Logger* GetLogger() = 0;
  // A property of the run (for example "osbits"), read under the bridge lock; empty when unset.
  virtual std::wstring GetProperty(const std::wstring& key) = 0;
  // Stores "installProgress" as signed decimal text under the bridge lock.
  virtual void SetInstallProgress(int value) = 0;
  // Stores `productVersion` of the run record under the bridge lock.
  virtual void SetProductVersion(const std::wstring& version) = 0;
  // Adds a file to the error report's attachments.
  virtual void AddAttachment(const std::wstring& path) = 0;
  // The progress state that lives as long as the bridge; only the install thread touches it.
  virtual InstallProgress& GetInstallProgressState() = 0;
  // Set when shut-down asks the install to stop: the unpacking ends, setup is not started or not
  // waited for any more (setup itself runs on). None here.
  virtual HANDLE GetStopEvent() { return nullptr; }
  // The install stopped waiting while setup still runs: the package folder must stay.
  virtual void OnSetupStillRunning() {}

 protected:
  ~InstallOwner() = default;
};

}  // namespace qrx
