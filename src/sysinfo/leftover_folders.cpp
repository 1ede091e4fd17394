#include "sysinfo/leftover_folders.h"

#include <vector>

#include "common/no_links.h"
#include "common/path_text.h"
#include "common/unique_any.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

namespace {

const wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";

// The sources of the pending renames and deletions, as the system keeps them ("\??\C:\...").
std::vector<std::wstring> PendingRenameSources() {
  std::vector<std::wstring> sources;
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
    return sources;
  }
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return sources;
  }
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
  if (RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                       &size) != ERROR_SUCCESS) {
    return sources;
  }
  // Pairs of source and target; an empty target means deletion.
  const wchar_t* at = data.data();
  const wchar_t* end = data.data() + data.size();
  bool source = true;
  while (at < end && *at) {
    const std::wstring text = at;
    if (source) sources.push_back(text);
    source = !source;
    at += text.size() + 1;
    if (!source && at < end && *at == L'\0') {
      // The empty target of a deletion.
      ++at;
      source = true;
    }
  }
  return sources;
}

bool IsPending(const std::vector<std::wstring>& pending, const std::wstring& path) {
  const std::wstring entry = L"\\??\\" + path;
  for (const std::wstring& source : pending) {
    if (_wcsicmp(source.c_str(), entry.c_str()) == 0) return true;
  }
  return false;
}

void Schedule(const std::vector<std::wstring>& pending, const std::wstring& path, bool& all) {
  if (IsPending(pending, path)) return;
  if (!MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) all = false;
}

// Everything in `folder` but the file `keep` (null: everything).
void ScheduleContents(const std::vector<std::wstring>& pending, const std::wstring& folder, const wchar_t* keep,
                      bool& all) {
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (keep && _wcsicmp(name.c_str(), keep) == 0) continue;
    const std::wstring path = folder + L'\\' + name;
    const bool link = IsLinkAttributes(entry.dwFileAttributes) || IsLinkPath(path);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) ScheduleContents(pending, path, nullptr, all);
    Schedule(pending, path, all);
  } while (FindNextFileW(find.get(), &entry));
}

bool OwnersAllEnded(const std::vector<ProcessStamp>& owners, bool& setupRunning) {
  setupRunning = false;
  if (IsProcessRunning(owners[0])) return false;
  for (size_t i = 1; i < owners.size(); ++i) {
    if (IsProcessRunning(owners[i])) setupRunning = true;
  }
  return !setupRunning;
}

// The facts of the folder entry itself; all false when it cannot be read.
FolderFacts FactsOf(const std::wstring& folder, ReadFolderFactsFn readFacts) {
  FolderFacts facts;
  UniqueFile entry(CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!entry || !readFacts(entry.get(), facts)) return FolderFacts();
  return facts;
}

}  // namespace

bool IsWorkingFolderName(const std::wstring& name) {
  if (name.empty() || name.size() > 8) return false;
  if (name.size() > 1 && name[0] == L'0') return false;
  for (wchar_t c : name) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
  }
  return true;
}

bool MayRemoveLeftover(const FolderFacts& facts, bool ownersRecorded) {
  if (!facts.isDirectory || facts.isReparsePoint) return false;
  return facts.ownerTrusted || !ownersRecorded;
}

bool ScheduleRemovalAtRestart(const std::wstring& folder) {
  const std::wstring top = WithoutTrailingBackslashes(folder);
  if (!MayDeleteFolderTree(top) || !IsBelowWorkingParent(top)) return false;
  const std::vector<std::wstring> pending = PendingRenameSources();
  bool all = true;
  // The run marker is not scheduled: files made after this (setup may still run) keep the folder
  // at the restart, and the marker then lets the next run remove it once its owners have ended.
  if (!IsLinkPath(top)) ScheduleContents(pending, top, kRunMarkerName, all);
  Schedule(pending, top, all);
  return all;
}

LeftoverCleaning CleanLeftoverFolders(const std::wstring& parent, bool ownersRecorded, const std::atomic<bool>* stop,
                                      ReadFolderFactsFn readFacts) {
  LeftoverCleaning result;
  std::wstring base = parent;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  WIN32_FIND_DATAW entry;
  UniqueFind find(FindFirstFileW((base + L"*").c_str(), &entry));
  if (!find) return result;
  do {
    if (stop && stop->load()) break;
    const std::wstring name = entry.cFileName;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsWorkingFolderName(name)) continue;
    const std::wstring folder = base + name;
    if (IsLinkAttributes(entry.dwFileAttributes) || IsLinkPath(folder)) continue;
    if (!MayRemoveLeftover(FactsOf(folder, readFacts), ownersRecorded)) continue;
    std::vector<ProcessStamp> owners;
    if (!ReadRunMarker(folder, owners)) continue;
    bool setupRunning = false;
    if (!OwnersAllEnded(owners, setupRunning)) {
      // The run is gone but its setup still works in the folder: it goes at restart.
      if (setupRunning) ++(ScheduleRemovalAtRestart(folder) ? result.scheduled : result.failed);
      continue;
    }
    // The marker goes last, so a folder that could not be emptied, or whose removal a stop cut
    // short, is found again next time.
    if (DeleteFolderTreeLast(folder, kRunMarkerName, stop)) {
      ++result.removed;
    } else if (stop && stop->load()) {
      break;
    } else if (GetPathAttributes(folder) != INVALID_FILE_ATTRIBUTES) {
      ++(ScheduleRemovalAtRestart(folder) ? result.scheduled : result.failed);
    }
  } while (FindNextFileW(find.get(), &entry));
  return result;
}

}  // namespace qrx
