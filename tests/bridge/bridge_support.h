// A bridge with fixed start facts, its run record and log, and small call helpers.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "bridge/qrx_external.h"
#include "bridge/worker_pool.h"
#include "log/logger.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"

namespace bridgetest {

qrx::StartFacts SampleFacts();

struct TestBridge {
  TestBridge();
  explicit TestBridge(const qrx::StartFacts& facts);
  ~TestBridge();  // releases the bridge; the count must reach zero
  TestBridge(const TestBridge&) = delete;
  TestBridge& operator=(const TestBridge&) = delete;

  // The messages of the log lines written so far (without the time and level prefix).
  std::vector<std::string> LogMessages() const;

  // Runs the bridge's workers; declared first so that it goes last.
  downloadmanagercore::WorkerPool workers;
  qrx::SessionInfo info;
  qrx::ErrorReporter reporter;
  std::unique_ptr<qrx::Logger> logger;
  qrx::QRXExternal* bridge;
  ULONG finalCount = 99;
};

// The messages of the lines of a log file (without the time and level prefix).
std::vector<std::string> LogMessagesOf(const std::wstring& path);
// Only the script methods' lines (those starting with "ZS").
std::vector<std::string> ScriptMethodLines(const std::vector<std::string>& lines);

VARIANT IntArg(LONG value);
VARIANT BoolArg(bool value);
VARIANT DoubleArg(double value);
// Owned by the caller: VariantClear it.
VARIANT TextArg(const wchar_t* text, UINT length);
VARIANT TextArg(const wchar_t* text);

// Invokes method `id` with the script-order arguments (reversed into the array as COM does).
HRESULT CallMethod(IDispatch* target, DISPID id, WORD flags, std::vector<VARIANT> scriptArgs, VARIANT* result);

}  // namespace bridgetest
