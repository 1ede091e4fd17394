// The licence page "Eula.html" for the install language.
#pragma once

#include <string>

#include "common/server_endpoint.h"
#include "log/logger.h"
#include "payload/license_download.h"

namespace qrx {

// The endpoint's origin ("http://" host, or "https://" host, with a port of its own),
// "/license/" product "/" code "/Eula.html".
std::wstring LicenseUrl(const ServerEndpoint& endpoint, const std::wstring& host, const std::wstring& productId,
                       const std::wstring& languageCode);

// The per-language page file replaces "Eula.html", then a licence downloaded from `url` (when
// there is one: the server answering within `timeoutMs`, see DownloadLicenseFile) replaces it again.
void PrepareLicenseFrom(const std::wstring& folder, const std::wstring& languageCode, const std::wstring& url,
                        Logger* log, DWORD timeoutMs = kLicenseDownloadTimeoutMs);

}  // namespace qrx
