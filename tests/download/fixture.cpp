// Sockets first: winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "download/fixture.h"

#include <gtest/gtest.h>

#include "download/counter_text.h"
#include "support/test_support.h"

namespace dltest {

namespace {

int g_port = 0;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Starts the server with python3 through CreateProcessW (Wine runs the Unix program; its process
// handle cannot be waited on, so readiness is the port file) and stops it through its control URL.
class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    wchar_t portFile[MAX_PATH];
    wsprintfW(portFile, L"%sdl-fixture-%u-%u.port", QRX_TEST_BINARY_DIR L"\\", GetCurrentProcessId(), GetTickCount());
    portFile_ = portFile;
    DeleteFileW(portFile_.c_str());
    std::wstring unixPortFile = UnixPath(portFile_);
    std::wstring script = UnixPath(QRX_TEST_SOURCE_DIR L"\\tests\\download\\fixture_server.py");
    std::wstring command = L"/usr/bin/python3 " + script + L" --lifetime 600 --port-file " + unixPortFile;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      return;
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      const std::string text = qrxtest::ReadFileBytes(portFile_);
      if (!text.empty()) {
        g_port = atoi(text.c_str());
        break;
      }
      Sleep(20);  // polling a file another process writes; bounded above
    }
  }
  void TearDown() override {
    if (g_port) ServerGet("/_control/quit");
    g_port = 0;
    WSACleanup();
  }

 private:
  // Z:\a\b -> /a/b
  static std::wstring UnixPath(const std::wstring& windowsPath) {
    std::wstring path = windowsPath.substr(2);
    for (wchar_t& c : path) {
      if (c == L'\\') c = L'/';
    }
    return path;
  }

  std::wstring portFile_;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

}  // namespace

int ServerPort() { return g_port; }

std::wstring ServerUrl(const std::string& path) {
  return L"http://127.0.0.1:" + std::to_wstring(g_port) + Widen(path);
}

std::string ServerGet(const std::string& path) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return std::string();
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(g_port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  DWORD timeout = 10000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  std::string response;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    char buffer[4096];
    int n;
    while ((n = recv(s, buffer, sizeof(buffer), 0)) > 0) response.append(buffer, static_cast<size_t>(n));
  }
  closesocket(s);
  const size_t bodyStart = response.find("\r\n\r\n");
  return bodyStart == std::string::npos ? std::string() : response.substr(bodyStart + 4);
}

int RequestCount(const std::string& path) { return atoi(ServerGet("/_control/count" + path).c_str()); }

std::string UniqueTag() {
  static LONG counter = 0;
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(InterlockedIncrement(&counter));
}

std::string ExpectedBody(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

TestOwner::TestOwner(const std::wstring& folder, qrx::Logger* logger) : folder_(folder), logger_(logger) {
  InitializeCriticalSection(&lock_);
  properties_[L"downloadTotal"] = L"1";
  properties_[L"downloadCurrent"] = L"0";
}

TestOwner::~TestOwner() { DeleteCriticalSection(&lock_); }

void TestOwner::SetDownloadTotal(ULONG value) {
  Store(L"downloadTotal", downloadmanagercore::CounterText(value));
  EnterCriticalSection(&lock_);
  ++totalWrites_;
  LeaveCriticalSection(&lock_);
}

void TestOwner::SetDownloadCurrent(ULONG value) { Store(L"downloadCurrent", downloadmanagercore::CounterText(value)); }

void TestOwner::Store(const std::wstring& key, const std::wstring& value) {
  EnterCriticalSection(&lock_);
  properties_[key] = value;
  LeaveCriticalSection(&lock_);
}

std::wstring TestOwner::Property(const std::wstring& key) {
  EnterCriticalSection(&lock_);
  const std::wstring value = properties_[key];
  LeaveCriticalSection(&lock_);
  return value;
}

int TestOwner::totalWrites() {
  EnterCriticalSection(&lock_);
  const int count = totalWrites_;
  LeaveCriticalSection(&lock_);
  return count;
}

}  // namespace dltest
