#include "payload/license_endpoint.h"

namespace qrx {

const ServerEndpoint kLicenseEndpoint = {QRX_SERVER_TLS != 0, QRX_SERVER_PORT};

}  // namespace qrx
