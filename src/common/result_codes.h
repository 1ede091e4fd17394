// The codes a run hands to its pages and its reports, each named once: install results (the page's
// install callback) and the report's `wrapperError` stages. Download results are in
// download/download_result.h.
#pragma once

namespace qrx {

// Install result codes handed to the page.
enum InstallResult {
  // The install ended because shut-down asked it to stop: not a result, never handed to a page or
  // recorded in the report.
  kInstallStopped = -1,
  kInstallSucceeded = 0,
  kInstallSetupFailed = 1,
  kInstallNotImplemented = 2,
  kInstallFatal = 3,
  kInstallAnotherInProgress = 4,
};

// `wrapperError` of the report: which stage failed. The worker threads record 1 to 3 (with the
// result code, or 0, as `msiError`); a report shows only those. The install's own stages 4 to 7
// go to the log, followed by the install thread's 2 and the install result.
enum WrapperError {
  kWrapperNone = 0,
  kWrapperDownloadFailed = 1,
  kWrapperInstallFailed = 2,
  kWrapperNoStartProgram = 3,
  kStageUnzip = 4,
  kStageNoSetup = 5,
  kStageCreateProcess = 6,
  kStageSetupSigner = 7,
};

}  // namespace qrx
