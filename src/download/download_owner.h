// What a download needs from the object that owns it (the script bridge).
#pragma once

#include <windows.h>

#include <string>

#include "log/logger.h"

namespace downloadmanagercore {

class DownloadOwner {
 public:
  // The run's download folder, with a trailing backslash.
  virtual std::wstring GetDownloadFolder() = 0;
  // Records the path of the package file of the current download.
  virtual void SetDownloadPath(const std::wstring& path) = 0;
  // Store "downloadTotal" / "downloadCurrent" as signed decimal text under the bridge lock.
  virtual void SetDownloadTotal(ULONG value) = 0;
  virtual void SetDownloadCurrent(ULONG value) = 0;
  virtual qrx::Logger* GetLogger() = 0;
  // Set when shut-down asks the download to stop: the transfer is abandoned. None here.
  virtual HANDLE GetStopEvent() { return nullptr; }
  // How each attempt ended, in order: its HRESULT and the HTTP status of its answer (0 for none).
  virtual void OnAttemptEnded(HRESULT, unsigned long) {}

 protected:
  ~DownloadOwner() = default;
};

}  // namespace downloadmanagercore
