// Files to send when a run ends in error.
#pragma once

#include <string>
#include <vector>

#include "app/session_info.h"

namespace qrx {

struct ErrorReporter {
  explicit ErrorReporter(SessionInfo* sessionInfo) : info(sessionInfo) {}
  SessionInfo* info;
  std::vector<std::wstring> attachments;
};

// Zips the attachments and sends them to the reporting server.
void SendErrorReport(ErrorReporter& reporter);

}  // namespace qrx
