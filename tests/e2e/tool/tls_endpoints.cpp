// The endpoints of the whole-run tests' TLS wizard: what a build with QRX_SERVER_SCHEME=https and
// QRX_SERVER_PORT=8443 would link. Linked as an object of the executable, these definitions take
// the place of the libraries' own (each of which defines nothing else).
#include "payload/license_endpoint.h"
#include "reporting/report_endpoint.h"

namespace qrx {

const ServerEndpoint kLicenseEndpoint = {true, 8443};
const ServerEndpoint kReportEndpoint = {true, 8443};

}  // namespace qrx
