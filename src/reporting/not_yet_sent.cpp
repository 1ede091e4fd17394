// Reporting is not built yet: nothing is sent.
#include "reporting/analytics.h"
#include "reporting/error_reporter.h"

namespace qrx {

bool SendAnalytics(const SessionInfo&, bool) { return false; }

void SendErrorReport(ErrorReporter&) {}

}  // namespace qrx
