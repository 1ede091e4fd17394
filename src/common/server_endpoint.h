// The scheme and port of a server that the program reaches at a fixed host (the licence server,
// the reporting server). A build setting: plain HTTP on port 80 unless the build says otherwise.
#pragma once

#include <string>

namespace qrx {

struct ServerEndpoint {
  bool secure;          // https (TLS) rather than http
  unsigned short port;  // TCP port
};

inline constexpr ServerEndpoint kPlainHttpEndpoint = {false, 80};

// "http://host" or "https://host", with ":port" only when the port is not the scheme's own
// (80 for http, 443 for https).
std::wstring EndpointOrigin(const ServerEndpoint& endpoint, const std::wstring& host);

}  // namespace qrx
