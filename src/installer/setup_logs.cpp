#include "installer/setup_logs.h"

#include <shlwapi.h>

#include "common/unique_any.h"
#include "installer/install_texts.h"
#include "installer/setup_command.h"

namespace qrx {

std::wstring RedistLogBoundName(const wchar_t* arch, const SYSTEMTIME& time) {
  return FormatRedistLogName(arch, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                             time.wSecond);
}

void CollectRedistLogs(InstallOwner& owner, const std::wstring& folder, const SYSTEMTIME& start, const SYSTEMTIME& end) {
  const std::wstring osBits = owner.GetProperty(kOsBitsKey);
  const wchar_t* arch = RedistArchFor(osBits);
  const std::wstring lower = RedistLogBoundName(arch, start);
  const std::wstring upper = RedistLogBoundName(arch, end);

  const wchar_t* temp = folder.c_str();
  wchar_t pattern[MAX_PATH] = {};
  if (!PathCombineW(pattern, temp, RedistPatternFor(osBits))) return;

  WIN32_FIND_DATAW entry = {};
  UniqueFind find(FindFirstFileW(pattern, &entry));
  if (!find) return;
  do {
    if (!RedistLogNameInBounds(entry.cFileName, lower, upper)) continue;
    wchar_t path[MAX_PATH] = {};
    // A name that does not fit beside the temp folder is left out rather than cut short.
    if (!PathCombineW(path, temp, entry.cFileName)) continue;
    owner.AddAttachment(path);
  } while (FindNextFileW(find.get(), &entry));
}

void CollectDotNetLog(InstallOwner& owner, const std::wstring& folder) {
  wchar_t path[MAX_PATH] = {};
  if (!PathCombineW(path, folder.c_str(), kDotNetLogName)) return;
  if (PathFileExistsW(path)) owner.AddAttachment(path);
}

}  // namespace qrx
