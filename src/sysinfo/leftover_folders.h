// Removing the working folders that earlier, interrupted runs left directly under the temp folder.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace qrx {

// Whether `name` is a working-folder name: "%x" of a 32-bit number (1 to 8 lower-case
// hexadecimal digits, no leading zero).
bool IsWorkingFolderName(const std::wstring& name);

struct LeftoverCleaning {
  int removed = 0;    // folders deleted
  int scheduled = 0;  // folders that could not go now, scheduled for removal at restart
};

// Walks the folders directly under `tempFolder` and removes those that carry our run marker,
// are no links and whose owners have all ended. A folder whose run ended but whose setup still
// runs is scheduled for removal at restart instead. Starts no further folder once `*stop` is
// set; what is left waits for the next run.
LeftoverCleaning CleanLeftoverFolders(const std::wstring& tempFolder, const std::atomic<bool>* stop);

// Schedules the folder and everything in it for deletion at restart (MOVEFILE_DELAY_UNTIL_REBOOT):
// contents before their folder, links as links. Already scheduled entries are not added again.
bool ScheduleRemovalAtRestart(const std::wstring& folder);

}  // namespace qrx
