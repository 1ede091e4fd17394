#include "reporting/analytics.h"

#include "common/decimal_text.h"
#include "reporting/report_transport.h"
#include "sysinfo/languages.h"
#include "sysinfo/text.h"

namespace qrx {

const wchar_t* const kStatusTexts[kStatusTextCount] = {
    L"started", L"completed", L"error occurred", L"canceled", L"environment not supported",
};

namespace {

constexpr int kStartedIndex = 0;
constexpr int kCanceledIndex = 3;

void AppendElement(std::wstring& document, const wchar_t* tag, const std::wstring& value) {
  document += L'<';
  document += tag;
  document += L'>';
  document += EscapeElementText(value);
  document += L"</";
  document += tag;
  document += L'>';
}

void Open(std::wstring& document, const wchar_t* tag) {
  document += L'<';
  document += tag;
  document += L'>';
}

void Close(std::wstring& document, const wchar_t* tag) {
  document += L"</";
  document += tag;
  document += L'>';
}

// Language indexes always come from the table; an index outside it reads as "Other" (row 0).
std::wstring LanguageName(int index) { return GetLanguageName(index >= 0 && index < kLanguageCount ? index : 0); }

std::wstring StatusText(int status, bool started) {
  const int index = StatusTextIndex(status, started);
  // A status outside 0..4 cannot be set by the pages; never read past the table.
  return (index >= 0 && index < kStatusTextCount) ? kStatusTexts[index] : std::wstring();
}

}  // namespace

int StatusTextIndex(int status, bool started) {
  if (started) return kStartedIndex;
  return status == 0 ? kCanceledIndex : status;
}

std::wstring EscapeElementText(const std::wstring& text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'&': escaped += L"&amp;"; break;
      case L'<': escaped += L"&lt;"; break;
      case L'>': escaped += L"&gt;"; break;
      default: escaped += c; break;
    }
  }
  return escaped;
}

std::wstring BuildAnalyticsDocument(const SessionInfo& info, bool started) {
  std::wstring document;
  Open(document, L"QRXDLMAnalytics");
  AppendElement(document, L"requestToken", info.requestToken);
  AppendElement(document, L"country", info.country);
  Open(document, L"mainApp");
  AppendElement(document, L"productId", info.productId);
  AppendElement(document, L"productVersion", info.productVersion);
  AppendElement(document, L"channelId", info.channelId);
  AppendElement(document, L"installLanguage", LanguageName(info.installLanguage));
  AppendElement(document, L"status", StatusText(info.status, started));
  Close(document, L"mainApp");
  Open(document, L"error");
  AppendElement(document, L"wrapperError", DecimalText(info.wrapperError));
  AppendElement(document, L"msiError", DecimalText(info.msiError));
  Close(document, L"error");
  Open(document, L"userEnvironment");
  AppendElement(document, L"OS", info.os);
  AppendElement(document, L"language", LanguageName(info.language));
  AppendElement(document, L"architecture", info.architecture);
  AppendElement(document, L"defaultBrowser", info.defaultBrowser);
  Close(document, L"userEnvironment");
  AppendElement(document, L"QRXDLMVersion", info.managerVersion);
  AppendElement(document, L"machineId", info.machineId);
  Close(document, L"QRXDLMAnalytics");
  return document;
}

bool SendAnalytics(const SessionInfo& info, bool started) {
  const std::string body = ToUtf8(BuildAnalyticsDocument(info, started));
  return SendReport(body.data(), static_cast<DWORD>(body.size()), kAnalyticsPath, kVerbPost);
}

}  // namespace qrx
