// Removing a folder tree at the next restart, for files that a running program still uses.
#pragma once

#include <string>

namespace qrx {

// Schedules every file, every subfolder (after its contents) and then the folder itself for
// deletion when the system restarts (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT, which needs
// administrator rights). Links are scheduled as links; their targets are left alone. True when
// the folder itself was scheduled.
bool ScheduleFolderTreeRemoval(const std::wstring& folder);

}  // namespace qrx
