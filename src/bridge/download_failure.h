// Why a download failed, in one word for the pages: the "downloadFailure" property.
#pragma once

#include <windows.h>

namespace downloadmanagercore {

// The property key, and the causes it holds after a failed download ("" before any failure and
// while a download runs).
extern const wchar_t kDownloadFailureKey[];
extern const wchar_t kCauseNetwork[];
extern const wchar_t kCauseServer[];
extern const wchar_t kCauseNotFound[];
extern const wchar_t kCauseDiskFull[];
extern const wchar_t kCauseVerification[];
extern const wchar_t kCauseProxy[];
extern const wchar_t kCauseOther[];

// What is known of a finished download.
struct DownloadOutcome {
  int code = 0;                  // the download result code the page receives
  HRESULT lastResult = S_OK;     // the last attempt's HRESULT
  unsigned long httpStatus = 0;  // the last HTTP status answered; 0 when none is known
  bool hashFailed = false;       // the package's bytes did not match the expected digest
};

// The cause for the outcome; "" for a successful download (code 0).
const wchar_t* DownloadFailureCause(const DownloadOutcome& outcome);

}  // namespace downloadmanagercore
