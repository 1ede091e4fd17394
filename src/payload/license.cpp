#include "payload/license.h"

#include <windows.h>
#include <shlwapi.h>

#include "payload/license_download.h"
#include "payload/page_files.h"
#include "payload/payload_texts.h"

namespace qrx {

std::wstring LicenseUrl(const std::wstring& host, const std::wstring& productId, const std::wstring& languageCode) {
  return L"http://" + host + L"/license/" + productId + L"/" + languageCode + L"/Eula.html";
}

void PrepareLicenseFrom(const std::wstring& folder, const std::wstring& languageCode, const std::wstring& url,
                        Logger* log, DWORD timeoutMs) {
  wchar_t eula[MAX_PATH] = {};
  wchar_t local[MAX_PATH] = {};
  wchar_t temp[MAX_PATH] = {};
  if (!PathCombineW(eula, folder.c_str(), L"Eula.html")) return;
  const std::wstring localName = L"Eula-" + languageCode + L".html";
  if (PathCombineW(local, folder.c_str(), localName.c_str()) && PathFileExistsW(local)) {
    MoveFileExW(local, eula, MOVEFILE_REPLACE_EXISTING);
  }
  LogDebug(log, kLogLicenseFrom, url.c_str());
  if (!PathCombineW(temp, folder.c_str(), L"Eula.html-temp")) return;
  DWORD abortedAfterMs = 0;
  if (DownloadLicenseFile(url.c_str(), temp, timeoutMs, &abortedAfterMs) == S_OK) {
    MoveFileExW(temp, eula, MOVEFILE_REPLACE_EXISTING);
    LogDebug(log, kLogLicenseSuccess, url.c_str());
  } else {
    // A download that took too long was aborted: like a failed one, it leaves the local licence.
    if (abortedAfterMs) LogDebug(log, kLogLicenseTimedOut, url.c_str(), static_cast<unsigned>(abortedAfterMs));
    LogDebug(log, kLogLicenseFailed, url.c_str());
  }
}

void PrepareLicense(const PageFiles& pages, const std::wstring& productId, const std::wstring& languageCode,
                    DWORD timeoutMs) {
  if (pages.folder().empty()) return;
  PrepareLicenseFrom(pages.folder(), languageCode, LicenseUrl(QRX_LICENSE_HOST, productId, languageCode),
                     pages.logger(), timeoutMs);
}

}  // namespace qrx
