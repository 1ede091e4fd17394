#include "reporting/report_transport.h"

#include <memory>
#include <new>

#include "common/unique_any.h"
#include "common/unique_winhttp.h"
#include "reporting/report_endpoint.h"

namespace qrx {

const wchar_t kReportUserAgent[] = L"Norvane Message Client/1.0";
const wchar_t kReportHeader[] = L"Content-Type:application/xml";
const wchar_t kAnalyticsPath[] = L"/v1/logAnalytics";
const wchar_t kReportErrorPath[] = L"/v1/reportError";
const wchar_t kVerbPost[] = L"POST";
const wchar_t kVerbPut[] = L"PUT";

namespace {

const wchar_t kReportHost[] = QRX_REPORT_HOST;

}  // namespace

DWORD ReportRequestFlags(const ServerEndpoint& endpoint) {
  return WINHTTP_FLAG_REFRESH | (endpoint.secure ? WINHTTP_FLAG_SECURE : 0);
}

std::wstring BuildReportErrorPath(const std::wstring& token, const std::wstring& machineId) {
  return std::wstring(kReportErrorPath) + L"?token=" + token + L"&machineId=" + machineId;
}

HINTERNET OpenReportSession() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  const bool haveConfig = WinHttpGetIEProxyConfigForCurrentUser(&config) != FALSE;
  // WinHTTP hands out its own copies; ours are freed after WinHttpOpen has copied them.
  UniqueGlobalText autoConfigUrl(config.lpszAutoConfigUrl);
  UniqueGlobalText proxy(config.lpszProxy);
  UniqueGlobalText bypass(config.lpszProxyBypass);
  // Automatic detection and configuration scripts are not followed: such users go direct.
  if (haveConfig && proxy) {
    return WinHttpOpen(kReportUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.get(), bypass.get(), 0);
  }
  return WinHttpOpen(kReportUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
}

bool SendReport(const void* body, DWORD length, const std::wstring& path, const std::wstring& verb) {
  UniqueHInternet session(OpenReportSession());
  if (!session) return false;
  UniqueHInternet connection(WinHttpConnect(session.get(), kReportHost, kReportEndpoint.port, 0));
  if (!connection) return false;
  UniqueHInternet request(WinHttpOpenRequest(connection.get(), verb.c_str(), path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             ReportRequestFlags(kReportEndpoint)));
  if (!request) return false;
  const BOOL sent = WinHttpSendRequest(request.get(), kReportHeader, kReportHeaderLength, const_cast<void*>(body),
                                       length, length, 0);
  // Closed request first, then connection, then session.
  request.Reset();
  connection.Reset();
  session.Reset();
  return sent != FALSE;
}

bool SendFileReport(const std::wstring& filePath, const std::wstring& token, const std::wstring& machineId) {
  std::unique_ptr<char[]> buffer;
  DWORD read = 0;
  {
    UniqueFile file(CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD size = GetFileSize(file.get(), nullptr);
    // Also refuses a file of 4 GiB - 1 bytes, which no 32-bit process could hold.
    if (size == INVALID_FILE_SIZE) return false;
    // One extra byte keeps the buffer non-null for an empty file.
    buffer.reset(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
    if (!buffer) return false;
    // Only the bytes actually read are sent.
    if (size > 0 && !ReadFile(file.get(), buffer.get(), size, &read, nullptr)) read = 0;
  }
  return SendReport(buffer.get(), read, BuildReportErrorPath(token, machineId), kVerbPut);
}

}  // namespace qrx
