// Scheme and port of the reporting server (build setting QRX_SERVER_SCHEME / QRX_SERVER_PORT).
#pragma once

#include "common/server_endpoint.h"

namespace qrx {

// Defined alone in report_endpoint.cpp, so that an executable may link a definition of its own
// in its place (the whole-run tests build one that reports over https).
extern const ServerEndpoint kReportEndpoint;

}  // namespace qrx
