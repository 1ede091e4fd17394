// Removing the working folders that earlier, interrupted runs left directly under the working parent.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "sysinfo/working_parent.h"

namespace qrx {

// Whether `name` is a working-folder name: "%x" of a 32-bit number (1 to 8 lower-case
// hexadecimal digits, no leading zero).
bool IsWorkingFolderName(const std::wstring& name);

struct LeftoverCleaning {
  int removed = 0;    // folders deleted
  int scheduled = 0;  // folders that could not go now, scheduled for removal at restart
  int failed = 0;     // folders that could neither go now nor be wholly scheduled
};

// Whether a marked folder with ended owners may go: a real folder, no link, and, where the file
// system keeps owners (`ownersRecorded`), owned by Administrators, SYSTEM or TrustedInstaller.
bool MayRemoveLeftover(const FolderFacts& facts, bool ownersRecorded);

// Walks the folders directly under `parent` (the working parent) and removes those that carry our
// run marker, pass MayRemoveLeftover and whose owners have all ended. A folder whose run ended but
// whose setup still runs is scheduled for removal at restart instead. Starts no further folder
// once `*stop` is set; what is left waits for the next run.
LeftoverCleaning CleanLeftoverFolders(const std::wstring& parent, bool ownersRecorded, const std::atomic<bool>* stop,
                                      ReadFolderFactsFn readFacts = ReadFolderFacts);

// Schedules the folder and everything in it but its run marker for deletion at restart
// (MOVEFILE_DELAY_UNTIL_REBOOT): contents before their folder, links as links. Already scheduled
// entries are not added again. The marker stays, so a folder that files made after the scheduling
// keep alive is still found and removed by a later run.
// Only a folder below the working parent is scheduled: a path the user could redirect before the
// restart would turn the system's delete into one of anything.
bool ScheduleRemovalAtRestart(const std::wstring& folder);

}  // namespace qrx
