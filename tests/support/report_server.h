// A loopback HTTP server for the reporting tests: records every request (verb, target, headers,
// body), answers 200 with no body, and as a proxy forwards absolute-form requests to their origin.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qrxtest {

struct RecordedRequest {
  std::string verb;
  std::string target;  // as sent: "/v1/x?a=b", or "http://host/v1/x?a=b" through a proxy
  std::string path;    // target without scheme, host and query
  std::string query;   // after "?", empty when none
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, as sent
  std::string body;
  bool bodyComplete = false;

  // The first header of that name (case-insensitive); empty when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

class ReportServer {
 public:
  ReportServer() = default;
  ~ReportServer();
  ReportServer(const ReportServer&) = delete;
  ReportServer& operator=(const ReportServer&) = delete;

  // Listens on 127.0.0.1:`port` (0: a port the system picks). A port taken by someone else is
  // tried again until `waitMs` has passed.
  bool Start(unsigned short port, DWORD waitMs = 60000);
  // Requests with an absolute target are forwarded to their origin and its answer relayed.
  void ActAsProxy() { proxy_ = true; }
  // Each request is answered with the whole response `responder` returns (status line, headers,
  // body) and not recorded; set before Start. The responder runs on the connection's thread.
  using Responder = std::function<std::string(const RecordedRequest&)>;
  void ServeWith(Responder responder) { responder_ = std::move(responder); }
  void Stop();
  unsigned short port() const { return port_; }

  std::vector<RecordedRequest> Requests();
  // Waits until a recorded request satisfies `match`; it goes to `found`.
  bool WaitFor(const std::function<bool(const RecordedRequest&)>& match, DWORD timeoutMs,
               RecordedRequest* found = nullptr);

 private:
  void AcceptLoop();
  void Serve(UINT_PTR client);

  UINT_PTR listener_ = ~static_cast<UINT_PTR>(0);
  unsigned short port_ = 0;
  bool proxy_ = false;
  Responder responder_;
  volatile bool stopping_ = false;
  std::thread acceptThread_;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::thread> connections_;
  std::vector<UINT_PTR> openSockets_;
};

// The value of `key` in a query text "a=1&b=2"; `found` says whether it was there.
std::string QueryValue(const std::string& query, const std::string& key, bool* found = nullptr);

}  // namespace qrxtest
