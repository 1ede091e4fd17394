// Folder-facts seams for the sysinfo tests: the real facts of the entry with one fact changed, so
// that owners and links Wine cannot show are presented to the code under test.
#pragma once

#include <windows.h>

#include "sysinfo/working_parent.h"

namespace sysinfotest {

inline bool OwnedByAdministrators(HANDLE folder, qrx::FolderFacts& facts) {
  if (!qrx::ReadFolderFacts(folder, facts)) return false;
  facts.ownerTrusted = true;
  return true;
}
inline bool OwnedByUser(HANDLE folder, qrx::FolderFacts& facts) {
  if (!qrx::ReadFolderFacts(folder, facts)) return false;
  facts.ownerTrusted = false;
  return true;
}
inline bool ReportsLink(HANDLE folder, qrx::FolderFacts& facts) {
  if (!qrx::ReadFolderFacts(folder, facts)) return false;
  facts.isReparsePoint = true;
  return true;
}

}  // namespace sysinfotest
