// What the download and install workers need from the script bridge, and nothing more: the long
// jobs themselves, the few pieces of shared state they record (each under the bridge lock) and
// whether shut-down has begun.
#pragma once

#include <windows.h>

#include <string>

#include "log/logger.h"

namespace downloadmanagercore {

class WorkerHost {
 public:
  // The bridge's own COM count, not a second one: a task holds one reference for its whole life,
  // as the page and the run do, so the bridge (and its download folder) outlives every worker and
  // the last release, wherever it happens, destroys it once.
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

  virtual qrx::Logger* GetLogger() = 0;

  // The long jobs, run on the worker's thread: a download result code; an install result code.
  virtual int DownloadFile(const std::wstring& url) = 0;
  virtual int InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) = 0;
  // Fills `path` with the installed product's program; false (path untouched) when none is found.
  virtual bool GetInstalledStartProgram(std::wstring& path) = 0;

  // Shared state, each stored or read under the bridge lock.
  virtual void SetErrorFields(int wrapperError, int msiError) = 0;
  virtual std::wstring downloadPath() = 0;
  virtual void SetStartProgram(const std::wstring& path) = 0;

  // The page is going away: it is called back no more.
  virtual bool closing() const = 0;
  // Shut-down has asked the workers to stop: the result is not a failure and goes unreported.
  virtual bool stopRequested() const = 0;

 protected:
  ~WorkerHost() = default;
};

}  // namespace downloadmanagercore
