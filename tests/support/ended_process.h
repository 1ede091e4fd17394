// A process that has already ended, for the tests of leftover folders and their owners.
#pragma once

#include "sysinfo/run_marker.h"

namespace qrxtest {

// Runs "cmd.exe /c exit 0" to its end and returns its stamp (id and creation time); an empty
// stamp when the process could not start.
qrx::ProcessStamp EndedProcess();

}  // namespace qrxtest
