// Times ExtractArchive on one archive: bench_zip_extract ARCHIVE TARGET_FOLDER
// Prints "seconds <elapsed>" and exits 0 when the extraction succeeded.
#include <windows.h>

#include <cstdio>

#include "common/unique_any.h"
#include "zip/zip_files.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  qrx::UniqueFile file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 2;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const bool ok = qrx::ExtractArchive(file.get(), argv[2]);
  QueryPerformanceCounter(&end);
  printf("seconds %.4f\n", static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  return ok ? 0 : 1;
}
