// Winsock first: it must precede <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/report_server.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qrxtest {

namespace {

constexpr DWORD kIoTimeoutMs = 10000;
// How long a connection stays open for the client to close it first.
constexpr DWORD kLingerForClientMs = 3000;
constexpr size_t kMaxHeaderBytes = 64 * 1024;
constexpr size_t kMaxBodyBytes = 256 * 1024 * 1024;

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void SetTimeouts(SOCKET s, DWORD ms) {
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
}

bool SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads one request: head up to the blank line, then Content-Length bytes of body.
bool ReadRequest(SOCKET s, RecordedRequest& request, std::string& rawHead) {
  std::string data;
  char buffer[16384];
  size_t headEnd = std::string::npos;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    if (data.size() > kMaxHeaderBytes) return false;
    const int n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    data.append(buffer, static_cast<size_t>(n));
  }
  rawHead = data.substr(0, headEnd + 4);
  const std::string head = data.substr(0, headEnd);
  size_t lineEnd = head.find("\r\n");
  const std::string requestLine = head.substr(0, lineEnd);
  const size_t firstSpace = requestLine.find(' ');
  const size_t lastSpace = requestLine.rfind(' ');
  if (firstSpace == std::string::npos || lastSpace == firstSpace) return false;
  request.verb = requestLine.substr(0, firstSpace);
  request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  request.version = requestLine.substr(lastSpace + 1);
  std::string pathAndQuery = request.target;
  const size_t scheme = pathAndQuery.find("://");
  if (scheme != std::string::npos) {
    const size_t slash = pathAndQuery.find('/', scheme + 3);
    pathAndQuery = slash == std::string::npos ? "/" : pathAndQuery.substr(slash);
  }
  const size_t question = pathAndQuery.find('?');
  request.path = pathAndQuery.substr(0, question);
  request.query = question == std::string::npos ? std::string() : pathAndQuery.substr(question + 1);
  while (lineEnd != std::string::npos) {
    const size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.erase(value.begin());
    request.headers.emplace_back(line.substr(0, colon), value);
  }
  const size_t length = static_cast<size_t>(std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10));
  if (length > kMaxBodyBytes) return false;
  request.body = data.substr(headEnd + 4);
  while (request.body.size() < length) {
    const int n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    request.body.append(buffer, static_cast<size_t>(n));
  }
  request.bodyComplete = request.body.size() >= length;
  if (request.body.size() > length) request.body.resize(length);
  return true;
}

// Forwards a proxied request to its origin (loopback only) and returns the origin's answer.
std::string ForwardToOrigin(const RecordedRequest& request) {
  const std::string failed = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  const size_t scheme = request.target.find("://");
  if (scheme == std::string::npos) return failed;
  const size_t hostStart = scheme + 3;
  const size_t hostEnd = request.target.find('/', hostStart);
  std::string host = request.target.substr(hostStart, hostEnd - hostStart);
  unsigned short port = 80;
  const size_t colon = host.find(':');
  if (colon != std::string::npos) {
    port = static_cast<unsigned short>(std::atoi(host.c_str() + colon + 1));
    host.resize(colon);
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return failed;
  // The fixture only ever talks to loopback.
  if ((ntohl(address.sin_addr.s_addr) >> 24) != 127) return failed;
  SOCKET origin = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (origin == INVALID_SOCKET) return failed;
  SetTimeouts(origin, kIoTimeoutMs);
  std::string answer;
  if (connect(origin, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
    std::string out = request.verb + " " + (request.query.empty() ? request.path : request.path + "?" + request.query) +
                      " " + request.version + "\r\n";
    for (const auto& header : request.headers) {
      if (EqualsNoCase(header.first, "Proxy-Connection") || EqualsNoCase(header.first, "Connection")) continue;
      out += header.first + ": " + header.second + "\r\n";
    }
    out += "Connection: close\r\n\r\n" + request.body;
    if (SendAll(origin, out)) {
      char buffer[4096];
      int n;
      // The recording server answers with an empty body and closes after the client.
      while ((n = recv(origin, buffer, sizeof(buffer), 0)) > 0) {
        answer.append(buffer, static_cast<size_t>(n));
        if (answer.find("\r\n\r\n") != std::string::npos) break;
      }
    }
  }
  closesocket(origin);
  return answer.empty() ? failed : answer;
}

struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (EqualsNoCase(header.first, name)) return header.second;
  }
  return std::string();
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return EqualsNoCase(h.first, name); });
}

std::string QueryValue(const std::string& query, const std::string& key, bool* found) {
  if (found) *found = false;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t equals = pair.find('=');
    if (pair.substr(0, equals) == key) {
      if (found) *found = true;
      return equals == std::string::npos ? std::string() : pair.substr(equals + 1);
    }
    start = end + 1;
  }
  return std::string();
}

ReportServer::~ReportServer() { Stop(); }

bool ReportServer::Start(unsigned short port, DWORD waitMs) {
  static WinsockInit winsock;
  const DWORD start = GetTickCount();
  for (;;) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && listen(s, 16) == 0) {
      int length = sizeof(address);
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
      port_ = ntohs(address.sin_port);
      listener_ = s;
      stopping_ = false;
      acceptThread_ = std::thread([this] { AcceptLoop(); });
      return true;
    }
    closesocket(s);
    if (GetTickCount() - start >= waitMs) return false;
    Sleep(100);
  }
}

void ReportServer::AcceptLoop() {
  const SOCKET listener = static_cast<SOCKET>(listener_);
  while (!stopping_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait = {0, 50000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    const SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::lock_guard<std::mutex> guard(lock_);
    openSockets_.push_back(client);
    connections_.emplace_back([this, client] { Serve(client); });
  }
}

void ReportServer::Serve(UINT_PTR clientValue) {
  const SOCKET client = static_cast<SOCKET>(clientValue);
  SetTimeouts(client, kIoTimeoutMs);
  RecordedRequest request;
  std::string rawHead;
  if (ReadRequest(client, request, rawHead)) {
    const bool forward = proxy_ && request.target.find("://") != std::string::npos;
    if (!responder_) {
      {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
      }
      arrived_.notify_all();
    }
    const std::string answer =
        responder_ ? responder_(request)
        : forward  ? ForwardToOrigin(request)
                   : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    SendAll(client, answer);
    // Let the client close first, so the server's port is not held in TIME_WAIT.
    SetTimeouts(client, kLingerForClientMs);
    char buffer[1024];
    while (!stopping_ && recv(client, buffer, sizeof(buffer), 0) > 0) {
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  openSockets_.erase(std::remove(openSockets_.begin(), openSockets_.end(), clientValue), openSockets_.end());
  closesocket(client);
}

void ReportServer::Stop() {
  if (listener_ == ~static_cast<UINT_PTR>(0)) return;
  stopping_ = true;
  if (acceptThread_.joinable()) acceptThread_.join();
  closesocket(static_cast<SOCKET>(listener_));
  listener_ = ~static_cast<UINT_PTR>(0);
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (UINT_PTR s : openSockets_) shutdown(static_cast<SOCKET>(s), SD_BOTH);
    connections.swap(connections_);
    openSockets_.clear();
  }
  for (auto& connection : connections) connection.join();
}

std::vector<RecordedRequest> ReportServer::Requests() {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

bool ReportServer::WaitFor(const std::function<bool(const RecordedRequest&)>& match, DWORD timeoutMs,
                           RecordedRequest* found) {
  std::unique_lock<std::mutex> guard(lock_);
  const bool ok = arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    for (const auto& request : requests_) {
      if (match(request)) {
        if (found) *found = request;
        return true;
      }
    }
    return false;
  });
  return ok;
}

}  // namespace qrxtest
