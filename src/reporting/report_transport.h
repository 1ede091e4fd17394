// One fire-and-forget HTTP request per report to the reporting server.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "common/server_endpoint.h"

namespace qrx {

extern const wchar_t kReportUserAgent[];
// Sent with every report, whatever its body.
extern const wchar_t kReportHeader[];
constexpr DWORD kReportHeaderLength = 28;
extern const wchar_t kAnalyticsPath[];
extern const wchar_t kReportErrorPath[];
extern const wchar_t kVerbPost[];
extern const wchar_t kVerbPut[];

// WINHTTP_FLAG_REFRESH, and WINHTTP_FLAG_SECURE for an https endpoint. No flag ever relaxes the
// certificate check: a report to a server whose certificate WinHTTP refuses is not sent.
DWORD ReportRequestFlags(const ServerEndpoint& endpoint);

// "/v1/reportError?token=<token>&machineId=<machineId>", the values as they are.
std::wstring BuildReportErrorPath(const std::wstring& token, const std::wstring& machineId);

// A session through the user's Internet Explorer proxy server when one is set, direct otherwise.
HINTERNET OpenReportSession();
// True when WinHTTP sent the request; the response is never read.
bool SendReport(const void* body, DWORD length, const std::wstring& path, const std::wstring& verb);
// PUTs the whole file to the error path; false when it cannot be read.
bool SendFileReport(const std::wstring& filePath, const std::wstring& token, const std::wstring& machineId);

}  // namespace qrx
