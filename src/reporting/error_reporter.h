// Files to send when a run ends in error.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "log/logger.h"
#include "reporting/session_info.h"
#include "zip/nothrow_array.h"

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

// Logged for an attachment that is a link, a hard link or not where it should be.
extern const wchar_t kLogReportFileRefused[];
// The most of one file that goes into the report: its last 4 MiB.
constexpr DWORD kReportFileCap = 4 * 1024 * 1024;

// Reads the last `cap` bytes of the open file (all of a smaller one) into `data`.
bool ReadFileTail(HANDLE file, DWORD cap, NothrowArray<char>& data);

// Opens each attachment below the working parent without following links (refusals go to
// `logger`), closes the log, then zips what was opened, each file's last 4 MiB at most, into
// "log.zip" in a fresh working folder, PUTs it with the run's token and machine identifier, and
// removes the folder again.
void SendErrorReport(ErrorReporter& reporter, Logger* logger);

}  // namespace qrx
