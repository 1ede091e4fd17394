// The program's zip layer over Windows files: unpacking the product package into a folder and
// building the log archive one file at a time.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qrx {

class ZipReader;

// Asked before every entry and after every kExtractCheckBytes of an entry's data whether to go
// on; false stops the extraction, which then fails like any other (the entry being written is
// deleted). The caller also uses the calls to pace its own work (progress steps).
struct ExtractControl {
  bool (*keepGoing)(void* context);
  void* context;
};
constexpr uint64_t kExtractCheckBytes = 1024 * 1024;

// Extracts every entry of the archive open in `archive` (read access, read sharing) below
// `targetFolder`, in central-directory order. True when every entry was extracted, also for an
// archive without entries. Entries whose names would leave the target folder fail the
// extraction. The caller keeps and closes the handle. `control` may be null.
bool ExtractArchive(HANDLE archive, const wchar_t* targetFolder, const ExtractControl* control = nullptr);

// Extracts the entry `index` of an open reader below `targetFolder`.
bool ExtractEntry(ZipReader* reader, uint32_t index, const wchar_t* targetFolder,
                  const ExtractControl* control = nullptr);

// Adds the file at `filePath` to the archive at `archivePath` as a new entry named by the file's
// name alone, creating the archive with its first entry. True when the entry was added and the
// archive written back completely.
bool AddFileToArchive(const wchar_t* filePath, const wchar_t* archivePath);
// As above with the entry's bytes given, named by the file name of `filePath`.
bool AddBytesToArchive(const wchar_t* filePath, const char* data, size_t size, const wchar_t* archivePath);

}  // namespace qrx
