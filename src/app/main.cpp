#include <windows.h>

#include "app/run_sequence.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return qrx::RunDownloadManager(); }
