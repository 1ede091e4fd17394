// Collecting the logs that setup's prerequisites leave in the temp folder setup was given (a
// protected folder of the run, never the user's temp folder).
#pragma once

#include <windows.h>

#include <string>

#include "installer/install_owner.h"

namespace qrx {

// The bound name for a local time: "dd_vcredist_<arch>_<yyyyMMddhhmmss>.log".
std::wstring RedistLogBoundName(const wchar_t* arch, const SYSTEMTIME& time);

// Attaches every redistributable log in `folder` stamped from `start` to `end`, both seconds
// included.
void CollectRedistLogs(InstallOwner& owner, const std::wstring& folder, const SYSTEMTIME& start, const SYSTEMTIME& end);

// Attaches the .NET Framework set-up log of `folder` when it exists, whatever its age.
void CollectDotNetLog(InstallOwner& owner, const std::wstring& folder);

}  // namespace qrx
