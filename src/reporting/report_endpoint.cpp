#include "reporting/report_endpoint.h"

namespace qrx {

const ServerEndpoint kReportEndpoint = {QRX_SERVER_TLS != 0, QRX_SERVER_PORT};

}  // namespace qrx
