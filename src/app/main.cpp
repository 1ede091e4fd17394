#include <windows.h>

#include <cstdlib>

#include "app/run_sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return qrx::RunDownloadManager(); }

// The default handler prints a demangled type name; that pulls the demangler into the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx
