// The wizard's page files, unpacked from this executable into a fresh folder.
#pragma once

#include <string>
#include <vector>

#include "log/logger.h"
#include "payload/license_download.h"

namespace qrx {

class PageFiles {
 public:
  explicit PageFiles(Logger* logger);
  ~PageFiles();
  PageFiles(const PageFiles&) = delete;
  PageFiles& operator=(const PageFiles&) = delete;

  bool loaded() const { return loaded_; }
  const std::wstring& folder() const { return folder_; }
  Logger* logger() const { return logger_; }

 private:
  Logger* logger_;
  std::wstring folder_;
  bool loaded_ = false;
};

// The "LANG" list of the pages' parameter file; empty when there is none.
std::vector<std::wstring> ReadSupportedLanguages(const PageFiles& pages);
// Puts the licence for the install language into "Eula.html" (waiting at most `timeoutMs` for the
// licence server to answer, see DownloadLicenseFile).
void PrepareLicense(const PageFiles& pages, const std::wstring& productId, const std::wstring& languageCode,
                    DWORD timeoutMs = kLicenseDownloadTimeoutMs);

}  // namespace qrx
