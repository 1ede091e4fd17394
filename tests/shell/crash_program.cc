// A program that installs the crash filter and then crashes, on a worker thread or on its main
// thread ("main" argument). The crashing thread's id goes to the file named by the last argument.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "app/crash_filter.h"

namespace {

const wchar_t* idFile = nullptr;

void RecordThreadId() {
  if (!idFile) return;
  HANDLE file = CreateFileW(idFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[32];
  const int length = std::snprintf(text, sizeof(text), "%lu", GetCurrentThreadId());
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
}

void Crash() {
  RecordThreadId();
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

DWORD WINAPI Worker(void*) {
  Crash();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  qrx::InstallCrashFilter();
  bool onMain = false;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"main") == 0) onMain = true;
  }
  if (argc > 1) idFile = argv[argc - 1];
  if (onMain) Crash();
  HANDLE worker = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
  WaitForSingleObject(worker, INFINITE);
  // Reached only when the crash did not end the process.
  return 3;
}
