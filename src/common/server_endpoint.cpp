#include "common/server_endpoint.h"

#include "common/decimal_text.h"

namespace qrx {

std::wstring EndpointOrigin(const ServerEndpoint& endpoint, const std::wstring& host) {
  std::wstring origin = endpoint.secure ? L"https://" : L"http://";
  origin += host;
  const unsigned short schemePort = endpoint.secure ? 443 : 80;
  if (endpoint.port != schemePort) origin += L":" + DecimalText(endpoint.port);
  return origin;
}

}  // namespace qrx
