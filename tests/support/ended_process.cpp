#include "support/ended_process.h"

#include <windows.h>

#include "common/unique_any.h"

namespace qrxtest {

qrx::ProcessStamp EndedProcess() {
  wchar_t command[] = L"cmd.exe /c exit 0";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  qrx::ProcessStamp stamp;
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process)) {
    return stamp;
  }
  qrx::UniqueHandle thread(process.hThread);
  qrx::UniqueHandle handle(process.hProcess);
  qrx::GetProcessStamp(handle.get(), stamp);
  WaitForSingleObject(handle.get(), 30000);
  return stamp;
}

}  // namespace qrxtest
