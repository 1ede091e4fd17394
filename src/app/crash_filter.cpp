#include "app/crash_filter.h"

#include <dbghelp.h>
#include <shlwapi.h>

#include "common/system_dll.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "reporting/report_transport.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

const wchar_t kCrashDumpName[] = L"dlm.dmp";

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);
// Found at installation; DbgHelp stays loaded for the rest of the process.
MiniDumpWriteDumpFn writeDump = nullptr;

}  // namespace

bool InstallCrashFilter() {
  SetUnhandledExceptionFilter(CrashFilter);
  HMODULE dbghelp = LoadSystemLibrary(L"dbghelp.dll");
  writeDump = dbghelp ? reinterpret_cast<MiniDumpWriteDumpFn>(
                            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                      : nullptr;
  return writeDump != nullptr;
}

void SendCrashReport(const std::wstring& dumpPath) { SendFileReport(dumpPath, std::wstring(), GetMachineId()); }

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception) {
  if (!writeDump) return EXCEPTION_EXECUTE_HANDLER;
  std::wstring folder;
  if (!GetTempFolder(folder) || !CreateUniqueTempFolder(folder)) return EXCEPTION_EXECUTE_HANDLER;
  wchar_t dumpPath[MAX_PATH] = {};
  if (!PathCombineW(dumpPath, folder.c_str(), kCrashDumpName)) {
    DeleteFolderTree(folder);
    return EXCEPTION_EXECUTE_HANDLER;
  }
  bool written = false;
  {
    UniqueFile file(CreateFileW(dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      // Nothing to send; the empty folder goes too.
      DeleteFolderTree(folder);
      return EXCEPTION_EXECUTE_HANDLER;
    }
    MINIDUMP_EXCEPTION_INFORMATION info = {};
    info.ThreadId = GetCurrentThreadId();
    info.ExceptionPointers = exception;
    info.ClientPointers = TRUE;
    written = writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal, &info, nullptr,
                        nullptr) != FALSE;
  }
  if (written) SendCrashReport(dumpPath);
  DeleteFolderTree(folder);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace qrx
