// The script bridge that the pages reach as window.external.
#pragma once

#include <windows.h>

#include "app/session_info.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"

namespace qrx {

// Reference-counted; created with a count of 1.
class QRXExternal {
 public:
  QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger)
      : info_(info), reporter_(reporter), logger_(logger) {}

  ULONG AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

  SessionInfo* sessionInfo() const { return info_; }
  ErrorReporter* errorReporter() const { return reporter_; }
  Logger* logger() const { return logger_; }

 private:
  ~QRXExternal() = default;

  LONG refs_ = 1;
  SessionInfo* info_;
  ErrorReporter* reporter_;
  Logger* logger_;
};

}  // namespace qrx
