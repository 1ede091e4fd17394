// Files to send when a run ends in error.
#pragma once

#include <string>
#include <vector>

#include "reporting/session_info.h"

namespace qrx {

struct ErrorReporter {
  explicit ErrorReporter(SessionInfo* sessionInfo) : info(sessionInfo) {}
  // Supplies the request token and machine identifier of the report.
  SessionInfo* info;
  // Full paths, in the order they were added; duplicates are kept.
  std::vector<std::wstring> attachments;
};

// Name of the archive sent with the error report.
extern const wchar_t kLogArchiveName[];

// Zips the attachments into "log.zip" in a fresh temp folder, PUTs it with the run's token and
// machine identifier, and removes the folder again.
void SendErrorReport(ErrorReporter& reporter);

}  // namespace qrx
