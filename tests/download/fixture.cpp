// Sockets first: winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "download/fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "download/download_file.h"

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

std::string ExpectedBody(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i + seed) % 251);
  return bytes;
}

FaultStats FaultStatsOf(const std::string& path) {
  FaultStats stats;
  const std::string text = ServerGet("/_control/fault" + path);
  size_t at = 0;
  bool first = true;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (first) {
      first = false;
      long long count = 0;
      sscanf(line.c_str(), "requests %lld bytes %lld", &count, &stats.bytesSent);
      continue;
    }
    FaultRequest request;
    char status[16] = {};
    char range[32] = {};
    const size_t ifRange = line.find(' ', line.find(' ', line.find(' ') + 1) + 1);
    if (sscanf(line.c_str(), "%15s %31s %lld", status, range, &request.bodySent) != 3) continue;
    request.status = status;
    request.rangeStart = range[0] == '-' ? -1 : atoll(range);
    request.ifRange = ifRange == std::string::npos ? "" : line.substr(ifRange + 1);
    stats.requests.push_back(request);
  }
  return stats;
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

DownloadThread::DownloadThread(TestOwner& owner, std::wstring url, downloadmanagercore::ResumeState* resume)
    : owner_(owner), url_(std::move(url)), resume_(resume) {
  thread_ = CreateThread(nullptr, 0, &DownloadThread::Run, this, 0, &threadId_);
}

DownloadThread::~DownloadThread() {
  if (thread_) {
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
  }
}

DWORD WINAPI DownloadThread::Run(void* context) {
  auto* self = static_cast<DownloadThread*>(context);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  downloadmanagercore::ResumeState fresh;
  self->code_ = downloadmanagercore::DownloadFile(self->owner_, self->url_, self->resume_ ? *self->resume_ : fresh);
  MSG message;
  self->quitReposted_ = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  CoUninitialize();
  return 0;
}

void DownloadTest::SetUp() { ASSERT_NE(ServerPort(), 0) << "the fixture server did not start"; }

int DownloadTest::Download(const std::wstring& url, DWORD timeoutMs, downloadmanagercore::ResumeState* resume) {
  DownloadThread thread(owner_, url, resume);
  EXPECT_TRUE(thread.Wait(timeoutMs)) << "download did not end in time";
  return thread.code();
}

std::string DownloadTest::Log() { return qrxtest::ReadFileBytes(logger_.path()); }

std::vector<std::string> DownloadTest::MappedResults() {
  std::vector<std::string> results;
  const std::string log = Log();
  const std::string marker = "TransferDownloadError HRESULT: ";
  for (size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) {
    const size_t end = log.find_first_of("\r\n", at);
    results.push_back(log.substr(at + marker.size(), end - at - marker.size()));
  }
  return results;
}

std::vector<std::string> DownloadTest::LogLines(const std::string& prefix) {
  std::vector<std::string> lines;
  const std::string log = Log();
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t text = line.find("] ");
    if (text == std::string::npos) continue;
    line = line.substr(text + 2);
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace dltest
