#include <gtest/gtest.h>

#include "app/run_sequence.h"
#include "reporting/analytics.h"
#include "reporting/session_info.h"
#include "sysinfo/text.h"

namespace {

// The record of a run on an English Windows 10 machine before any page has run.
qrx::SessionInfo EnglishStartRecord() {
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  info.requestToken = L"XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
  info.machineId = L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
  info.country = L"244";
  info.installLanguage = 1;
  info.language = 1;
  info.os = L"Windows 10";
  info.architecture = L"x64";
  info.defaultBrowser = L"Other";
  return info;
}

// The document with the given middle parts, everything else as in EnglishStartRecord.
std::wstring Expected(const std::wstring& mainApp, const std::wstring& error, const std::wstring& environment) {
  return L"<QRXDLMAnalytics><requestToken>XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX</requestToken><country>244</country>"
         L"<mainApp>" + mainApp + L"</mainApp><error>" + error + L"</error><userEnvironment>" + environment +
         L"</userEnvironment><QRXDLMVersion>1.0.79.1</QRXDLMVersion>"
         L"<machineId>X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX</machineId></QRXDLMAnalytics>";
}

const wchar_t kEnglishEnvironment[] =
    L"<OS>Windows 10</OS><language>English</language><architecture>x64</architecture>"
    L"<defaultBrowser>Other</defaultBrowser>";
const wchar_t kNoError[] = L"<wrapperError>0</wrapperError><msiError>0</msiError>";

TEST(AnalyticsDocument, StartDocumentMatchesTheReferenceLine) {
  const std::wstring reference =
      L"<QRXDLMAnalytics><requestToken>XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX</requestToken><country>244</country>"
      L"<mainApp><productId>QRX</productId><productVersion></productVersion><channelId></channelId>"
      L"<installLanguage>English</installLanguage><status>started</status></mainApp><error><wrapperError>0"
      L"</wrapperError><msiError>0</msiError></error><userEnvironment><OS>Windows 10</OS><language>English"
      L"</language><architecture>x64</architecture><defaultBrowser>Other</defaultBrowser></userEnvironment>"
      L"<QRXDLMVersion>1.0.79.1</QRXDLMVersion><machineId>X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX</machineId>"
      L"</QRXDLMAnalytics>";
  EXPECT_EQ(qrx::BuildAnalyticsDocument(EnglishStartRecord(), true), reference);
}

TEST(AnalyticsDocument, StatusTextFollowsStatusAndStart) {
  struct Row {
    int status;
    bool started;
    const wchar_t* text;
  };
  const Row rows[] = {
      {0, false, L"canceled"},        {1, false, L"completed"},
      {2, false, L"error occurred"},  {3, false, L"canceled"},
      {4, false, L"environment not supported"},
      {0, true, L"started"},          {1, true, L"started"},
      {2, true, L"started"},          {3, true, L"started"},
      {4, true, L"started"},
  };
  for (const Row& row : rows) {
    qrx::SessionInfo info = EnglishStartRecord();
    info.status = row.status;
    const std::wstring mainApp = std::wstring(L"<productId>QRX</productId><productVersion></productVersion>"
                                              L"<channelId></channelId><installLanguage>English</installLanguage>"
                                              L"<status>") + row.text + L"</status>";
    EXPECT_EQ(qrx::BuildAnalyticsDocument(info, row.started), Expected(mainApp, kNoError, kEnglishEnvironment))
        << "status " << row.status << " started " << row.started;
  }
}

TEST(AnalyticsDocument, FinalDocumentCarriesTheRunsFields) {
  qrx::SessionInfo info = EnglishStartRecord();
  info.status = 1;
  info.productVersion = L"7.2.0.15";
  info.channelId = L"web-eu";
  info.installLanguage = 13;
  info.language = 0;
  info.wrapperError = 1;
  info.msiError = 3;
  const std::wstring mainApp =
      L"<productId>QRX</productId><productVersion>7.2.0.15</productVersion><channelId>web-eu</channelId>"
      L"<installLanguage>Traditional Chinese</installLanguage><status>completed</status>";
  const std::wstring environment =
      L"<OS>Windows 10</OS><language>Other</language><architecture>x64</architecture>"
      L"<defaultBrowser>Other</defaultBrowser>";
  EXPECT_EQ(qrx::BuildAnalyticsDocument(info, false),
            Expected(mainApp, L"<wrapperError>1</wrapperError><msiError>3</msiError>", environment));
}

TEST(AnalyticsDocument, ErrorNumbersAreSignedDecimal) {
  struct Row {
    int wrapper;
    int msi;
    const wchar_t* text;
  };
  const Row rows[] = {
      {6, -2147024894, L"<wrapperError>6</wrapperError><msiError>-2147024894</msiError>"},
      {-1, 1603, L"<wrapperError>-1</wrapperError><msiError>1603</msiError>"},
      {2147483647, -2147483647 - 1,
       L"<wrapperError>2147483647</wrapperError><msiError>-2147483648</msiError>"},
  };
  for (const Row& row : rows) {
    qrx::SessionInfo info = EnglishStartRecord();
    info.wrapperError = row.wrapper;
    info.msiError = row.msi;
    const std::wstring document = qrx::BuildAnalyticsDocument(info, false);
    EXPECT_NE(document.find(row.text), std::wstring::npos) << row.wrapper << " " << row.msi;
  }
}

TEST(AnalyticsDocument, MarkupCharactersInTextsAreEscaped) {
  qrx::SessionInfo info = EnglishStartRecord();
  info.channelId = L"a&b<c>d\"e'f";
  info.defaultBrowser = L"Fire<fox> & co";
  const std::wstring document = qrx::BuildAnalyticsDocument(info, true);
  EXPECT_NE(document.find(L"<channelId>a&amp;b&lt;c&gt;d\"e'f</channelId>"), std::wstring::npos) << document;
  EXPECT_NE(document.find(L"<defaultBrowser>Fire&lt;fox&gt; &amp; co</defaultBrowser>"), std::wstring::npos);
  EXPECT_EQ(qrx::EscapeElementText(L"&&<<>>"), L"&amp;&amp;&lt;&lt;&gt;&gt;");
  EXPECT_EQ(qrx::EscapeElementText(L""), L"");
}

TEST(AnalyticsDocument, NonAsciiTextsBecomeUtf8) {
  qrx::SessionInfo info = EnglishStartRecord();
  info.channelId = L"k\u00e4se-\u4e2d";
  info.defaultBrowser = L"\U0001F310 Browser";
  const std::string body = qrx::ToUtf8(qrx::BuildAnalyticsDocument(info, true));
  EXPECT_NE(body.find("<channelId>k\xC3\xA4se-\xE4\xB8\xAD</channelId>"), std::string::npos);
  EXPECT_NE(body.find("<defaultBrowser>\xF0\x9F\x8C\x90 Browser</defaultBrowser>"), std::string::npos);
  EXPECT_EQ(body.find('\0'), std::string::npos);
  EXPECT_NE(body.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
}

}  // namespace
