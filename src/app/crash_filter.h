// After a crash: a minidump sent to the reporting server, then a quiet end of the process.
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

// Name of the dump file in its temporary folder.
extern const wchar_t kCrashDumpName[];

// Installs CrashFilter as the process's unhandled-exception filter, then loads DbgHelp from the
// system folder and finds MiniDumpWriteDump, so that the filter loads nothing itself: a crash while
// another thread holds the loader lock would hang there. False when DbgHelp is not available (a
// crash then ends the process without a dump).
bool InstallCrashFilter();

// The process's unhandled-exception filter; always EXCEPTION_EXECUTE_HANDLER, so the system ends
// the process without a dialog.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);
// PUTs the dump with an empty token and this machine's identifier.
void SendCrashReport(const std::wstring& dumpPath);

}  // namespace qrx
