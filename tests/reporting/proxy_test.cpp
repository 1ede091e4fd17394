#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "reporting/report_transport.h"
#include "support/report_server.h"
#include "sysinfo/text.h"

namespace {

using qrxtest::RecordedRequest;
using qrxtest::ReportServer;

constexpr DWORD kWaitMs = 10000;
const wchar_t kConnectionsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// Flags of the Internet Explorer connection settings.
constexpr DWORD kDirect = 1;
constexpr DWORD kUseProxy = 2;
constexpr DWORD kUseConfigScript = 4;
constexpr DWORD kAutoDetect = 8;

void AppendDword(std::string& blob, DWORD value) { blob.append(reinterpret_cast<const char*>(&value), 4); }
void AppendText(std::string& blob, const std::string& text) {
  AppendDword(blob, static_cast<DWORD>(text.size()));
  blob += text;
}

// "DefaultConnectionSettings" as Internet Explorer writes it.
std::string ConnectionSettings(DWORD flags, const std::string& proxy, const std::string& bypass,
                               const std::string& scriptUrl) {
  std::string blob;
  AppendDword(blob, 0x46);
  AppendDword(blob, 1);
  AppendDword(blob, flags);
  AppendText(blob, proxy);
  AppendText(blob, bypass);
  AppendText(blob, scriptUrl);
  blob.append(32, '\0');
  return blob;
}

// Points HKEY_CURRENT_USER of this process at a scratch key for the life of the object.
class ScratchCurrentUser {
 public:
  ScratchCurrentUser() {
    name_ = L"Software\\QRXTests\\proxy-" + std::to_wstring(GetCurrentProcessId());
    RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.put(), nullptr);
    ok_ = root_.valid() && RegOverridePredefKey(HKEY_CURRENT_USER, root_.get()) == ERROR_SUCCESS;
  }
  ~ScratchCurrentUser() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    root_.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
  }
  bool ok() const { return ok_; }
  bool SetSettings(const std::string& blob) {
    qrx::UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    return RegSetValueExW(key.get(), L"DefaultConnectionSettings", 0, REG_BINARY,
                          reinterpret_cast<const BYTE*>(blob.data()), static_cast<DWORD>(blob.size())) == ERROR_SUCCESS;
  }

 private:
  std::wstring name_;
  qrx::UniqueHKey root_;
  bool ok_ = false;
};

class Proxy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(user_.ok());
    ASSERT_TRUE(origin_.Start(80)) << "port 80 stayed taken";
    proxy_.ActAsProxy();
    ASSERT_TRUE(proxy_.Start(0));
    // Named differently from the report host: Wine's WinHTTP sends origin-form requests to a proxy
    // whose name equals the target host's.
    proxyAddress_ = "localhost:" + std::to_string(proxy_.port());
  }

  // Sends one report marked with a fresh token; true when the origin received it.
  bool SendMarked(std::string& marker) {
    marker = qrx::ToUtf8(qrx::NewRequestToken());
    const std::string body = "marker " + marker;
    if (!qrx::SendReport(body.data(), static_cast<DWORD>(body.size()), qrx::kAnalyticsPath, qrx::kVerbPost)) {
      ADD_FAILURE() << "not sent";
      return false;
    }
    if (origin_.WaitFor([&](const RecordedRequest& r) { return r.body == body; }, kWaitMs)) return true;
    for (const auto& request : proxy_.Requests()) ADD_FAILURE() << "proxy saw " << request.target;
    return false;
  }

  bool ProxySaw(const std::string& marker) {
    for (const auto& request : proxy_.Requests()) {
      if (request.body.find(marker) != std::string::npos) return true;
    }
    return false;
  }

  ScratchCurrentUser user_;
  ReportServer origin_;
  ReportServer proxy_;
  std::string proxyAddress_;
};

TEST_F(Proxy, ConfiguredProxyCarriesTheRequest) {
  ASSERT_TRUE(user_.SetSettings(ConnectionSettings(kDirect | kUseProxy, proxyAddress_, "", "")));
  std::string marker;
  ASSERT_TRUE(SendMarked(marker));
  RecordedRequest viaProxy;
  ASSERT_TRUE(proxy_.WaitFor([&](const RecordedRequest& r) { return r.body.find(marker) != std::string::npos; },
                             kWaitMs, &viaProxy));
  EXPECT_EQ(viaProxy.verb, "POST");
  // Absolute form; Wine names the default port, Windows leaves it out.
  EXPECT_TRUE(viaProxy.target == "http://127.0.0.1/v1/logAnalytics" ||
              viaProxy.target == "http://127.0.0.1:80/v1/logAnalytics")
      << viaProxy.target;
  EXPECT_EQ(viaProxy.path, "/v1/logAnalytics");
  EXPECT_EQ(viaProxy.Header("User-Agent"), "Norvane Message Client/1.0");
}

TEST_F(Proxy, BypassListIsHonoured) {
  ASSERT_TRUE(user_.SetSettings(ConnectionSettings(kDirect | kUseProxy, proxyAddress_, "127.0.0.1;<local>", "")));
  std::string marker;
  ASSERT_TRUE(SendMarked(marker));
  EXPECT_FALSE(ProxySaw(marker));
}

TEST_F(Proxy, NoSettingsGoDirect) {
  std::string marker;
  ASSERT_TRUE(SendMarked(marker));
  EXPECT_FALSE(ProxySaw(marker));
}

TEST_F(Proxy, AutomaticDetectionAndScriptsGoDirect) {
  const std::string settings[] = {
      ConnectionSettings(kDirect | kAutoDetect, "", "", ""),
      ConnectionSettings(kDirect | kUseConfigScript, "", "", "http://" + proxyAddress_ + "/proxy.pac"),
      // A proxy written down but switched off.
      ConnectionSettings(kDirect, proxyAddress_, "", ""),
  };
  for (const std::string& blob : settings) {
    ASSERT_TRUE(user_.SetSettings(blob));
    std::string marker;
    ASSERT_TRUE(SendMarked(marker));
    EXPECT_FALSE(ProxySaw(marker));
  }
  EXPECT_TRUE(proxy_.Requests().empty()) << "no script was fetched either";
}

}  // namespace
