#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/run_sequence.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "reporting/analytics.h"
#include "reporting/report_endpoint.h"
#include "reporting/report_transport.h"
#include "reporting/session_info.h"
#include "support/report_server.h"
#include "support/test_support.h"
#include "sysinfo/text.h"

namespace {

using qrxtest::RecordedRequest;
using qrxtest::ReportServer;

constexpr DWORD kWaitMs = 10000;

std::string Narrow(const std::wstring& text) { return qrx::ToUtf8(text); }

// A record with a fresh token, so requests of this test can be told from any other.
qrx::SessionInfo TestRecord() {
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  info.channelId = L"ch&<\u00e9>";
  return info;
}

class Transport : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(origin_.Start(80)) << "port 80 stayed taken"; }
  ReportServer origin_;
};

TEST_F(Transport, AnalyticsArePostedAsUtf8WithTheFixedHeaders) {
  const qrx::SessionInfo info = TestRecord();
  ASSERT_TRUE(qrx::SendAnalytics(info, true));
  const std::string token = Narrow(info.requestToken);
  RecordedRequest request;
  ASSERT_TRUE(origin_.WaitFor([&](const RecordedRequest& r) { return r.body.find(token) != std::string::npos; },
                              kWaitMs, &request));
  EXPECT_EQ(request.verb, "POST");
  EXPECT_EQ(request.target, "/v1/logAnalytics");
  EXPECT_EQ(request.version, "HTTP/1.1");
  EXPECT_EQ(request.Header("User-Agent"), "Norvane Message Client/1.0");
  EXPECT_EQ(request.Header("Content-Type"), "application/xml");
  EXPECT_EQ(request.Header("Host"), "127.0.0.1");
  EXPECT_FALSE(request.HasHeader("Accept"));
  EXPECT_FALSE(request.HasHeader("Referer"));
  EXPECT_TRUE(request.bodyComplete);
  EXPECT_EQ(request.body, qrx::ToUtf8(qrx::BuildAnalyticsDocument(info, true)));
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
  EXPECT_NE(request.body.find("<channelId>ch&amp;&lt;\xC3\xA9&gt;</channelId>"), std::string::npos);
}

TEST_F(Transport, FileReportIsPutWithTokenAndMachineIdInTheQuery) {
  qrxtest::TempDir dir;
  std::string content(70000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(qrxtest::WriteFileBytes(dir.Join(L"report.bin"), content));
  const std::wstring token = qrx::NewRequestToken();
  ASSERT_TRUE(qrx::SendFileReport(dir.Join(L"report.bin"), token, L"P-ABC"));
  RecordedRequest request;
  const std::string query = "token=" + Narrow(token) + "&machineId=P-ABC";
  ASSERT_TRUE(origin_.WaitFor([&](const RecordedRequest& r) { return r.query == query; }, kWaitMs, &request));
  EXPECT_EQ(request.verb, "PUT");
  EXPECT_EQ(request.path, "/v1/reportError");
  EXPECT_EQ(request.Header("Content-Type"), "application/xml");
  EXPECT_EQ(request.Header("User-Agent"), "Norvane Message Client/1.0");
  EXPECT_EQ(request.body, content);
}

TEST_F(Transport, EmptyFileIsPutWithAnEmptyBody) {
  qrxtest::TempDir dir;
  ASSERT_TRUE(qrxtest::WriteFileBytes(dir.Join(L"empty.dmp"), std::string()));
  const std::wstring token = qrx::NewRequestToken();
  ASSERT_TRUE(qrx::SendFileReport(dir.Join(L"empty.dmp"), token, L"V-1"));
  RecordedRequest request;
  ASSERT_TRUE(origin_.WaitFor(
      [&](const RecordedRequest& r) { return qrxtest::QueryValue(r.query, "token") == Narrow(token); }, kWaitMs,
      &request));
  EXPECT_EQ(request.verb, "PUT");
  EXPECT_EQ(request.Header("Content-Length"), "0");
  EXPECT_TRUE(request.body.empty());
}

TEST_F(Transport, MissingFileSendsNothing) {
  qrxtest::TempDir dir;
  const std::wstring token = qrx::NewRequestToken();
  EXPECT_FALSE(qrx::SendFileReport(dir.Join(L"absent.zip"), token, L"V-1"));
  // A request sent after it arrives; the missing file's would have come first.
  ASSERT_TRUE(qrx::SendReport("x", 1, L"/v1/marker", L"POST"));
  ASSERT_TRUE(origin_.WaitFor([](const RecordedRequest& r) { return r.path == "/v1/marker"; }, kWaitMs));
  for (const auto& request : origin_.Requests()) {
    EXPECT_EQ(request.query.find(Narrow(token)), std::string::npos);
  }
}

TEST(ReportEndpoint, SecureEndpointsAddOnlyTheSecureFlag) {
  EXPECT_EQ(qrx::ReportRequestFlags({false, 80}), static_cast<DWORD>(WINHTTP_FLAG_REFRESH));
  EXPECT_EQ(qrx::ReportRequestFlags({false, 8443}), static_cast<DWORD>(WINHTTP_FLAG_REFRESH));
  EXPECT_EQ(qrx::ReportRequestFlags({true, 443}), static_cast<DWORD>(WINHTTP_FLAG_REFRESH | WINHTTP_FLAG_SECURE));
  // The test build keeps the shipped default: plain HTTP on port 80.
  EXPECT_FALSE(qrx::kReportEndpoint.secure);
  EXPECT_EQ(qrx::kReportEndpoint.port, 80);
}

TEST(ReportPath, TokenAndMachineIdGoInAsTheyAre) {
  EXPECT_EQ(qrx::BuildReportErrorPath(L"", L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"),
            L"/v1/reportError?token=&machineId=X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX");
  EXPECT_EQ(qrx::BuildReportErrorPath(L"A B&c", L"P-1"), L"/v1/reportError?token=A B&c&machineId=P-1");
}

}  // namespace
