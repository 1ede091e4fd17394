// Adding a file to the log archive.
#include <windows.h>
#include <shlwapi.h>

#include "common/unique_any.h"
#include "zip/zip_files.h"
#include "zip/nothrow_array.h"
#include "zip/zip_writer.h"

namespace qrx {

bool AddBytesToArchive(const wchar_t* filePath, const char* data, size_t size, const wchar_t* archivePath) {
  if (filePath == nullptr || archivePath == nullptr) return false;
  // The library opens the archive by a narrow path; names are stored in the ANSI code page.
  char narrowArchive[MAX_PATH];
  if (WideCharToMultiByte(CP_ACP, 0, archivePath, -1, narrowArchive, MAX_PATH, nullptr, nullptr) == 0) {
    return false;
  }
  char entryName[MAX_PATH];
  if (WideCharToMultiByte(CP_ACP, 0, PathFindFileNameW(filePath), -1, entryName, MAX_PATH, nullptr,
                          nullptr) == 0) {
    return false;
  }
  return ZipAddMemoryToArchiveFileInPlace(narrowArchive, entryName, data, size, kZipBestCompression);
}

bool AddFileToArchive(const wchar_t* filePath, const wchar_t* archivePath) {
  if (filePath == nullptr || archivePath == nullptr) return false;
  UniqueFile file(CreateFileW(filePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD sizeHigh = 0;
  const DWORD size = GetFileSize(file.get(), &sizeHigh);
  // A file of 4 GiB or more would be cut to its low 32 bits: refuse it rather than store a part.
  if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || sizeHigh != 0) return false;

  NothrowArray<char> data;
  if (!data.Resize(size)) return false;
  DWORD read = 0;
  if (!ReadFile(file.get(), data.data(), size, &read, nullptr) || read != size) return false;
  file.Reset();

  return AddBytesToArchive(filePath, data.data(), data.size(), archivePath);
}

}  // namespace qrx
