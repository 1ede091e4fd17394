#include "installer/setup_logs.h"

#include <shlwapi.h>

#include "common/unique_any.h"
#include "installer/install_texts.h"
#include "installer/setup_command.h"

namespace qrx {

namespace {

// The temp folder as GetTempPathW returns it; false when it does not fit the buffer.
bool TempFolderPath(wchar_t (&buffer)[MAX_PATH]) {
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  return length != 0 && length < MAX_PATH;
}

}  // namespace

std::wstring RedistLogBoundName(const wchar_t* arch, const SYSTEMTIME& time) {
  return FormatRedistLogName(arch, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                             time.wSecond);
}

void CollectRedistLogs(InstallOwner& owner, const SYSTEMTIME& start, const SYSTEMTIME& end) {
  const std::wstring osBits = owner.GetProperty(kOsBitsKey);
  const wchar_t* arch = RedistArchFor(osBits);
  const std::wstring lower = RedistLogBoundName(arch, start);
  const std::wstring upper = RedistLogBoundName(arch, end);

  wchar_t temp[MAX_PATH] = {};
  if (!TempFolderPath(temp)) return;
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

void CollectDotNetLog(InstallOwner& owner) {
  wchar_t path[MAX_PATH] = {};
  if (!TempFolderPath(path)) return;
  if (!PathAppendW(path, kDotNetLogName)) return;
  if (PathFileExistsW(path)) owner.AddAttachment(path);
}

}  // namespace qrx
