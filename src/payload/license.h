// The licence page "Eula.html" for the install language.
#pragma once

#include <string>

#include "log/logger.h"
#include "payload/license_download.h"

namespace qrx {

// "http://" host "/license/" product "/" code "/Eula.html".
std::wstring LicenseUrl(const std::wstring& host, const std::wstring& productId, const std::wstring& languageCode);

// The per-language page file replaces "Eula.html", then a licence downloaded from `url` (when
// there is one: the server answering within `timeoutMs`, see DownloadLicenseFile) replaces it again.
void PrepareLicenseFrom(const std::wstring& folder, const std::wstring& languageCode, const std::wstring& url,
                        Logger* log, DWORD timeoutMs = kLicenseDownloadTimeoutMs);

}  // namespace qrx
