// Scheme and port of the licence server (build setting QRX_SERVER_SCHEME / QRX_SERVER_PORT).
#pragma once

#include "common/server_endpoint.h"

namespace qrx {

// Defined alone in license_endpoint.cpp, so that an executable may link a definition of its own
// in its place (the whole-run tests build one that fetches the licence over https).
extern const ServerEndpoint kLicenseEndpoint;

}  // namespace qrx
