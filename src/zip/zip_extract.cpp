// Unpacking an archive from a Windows file handle into a folder tree.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "common/contained_path.h"
#include "common/no_links.h"
#include "common/scope_guard.h"
#include "common/unique_any.h"
#include "zip/zip_files.h"
#include "zip/zip_reader.h"

namespace qrx {

namespace {

// Positional reads: the offset travels in the OVERLAPPED, the handle's file pointer is unused.
size_t ReadArchive(void* context, uint64_t offset, void* buffer, size_t count) {
  HANDLE file = static_cast<HANDLE>(context);
  size_t total = 0;
  while (total < count) {
    const DWORD chunk = static_cast<DWORD>(count - total > 0x10000000 ? 0x10000000 : count - total);
    OVERLAPPED overlapped = {};
    const uint64_t at = offset + total;
    overlapped.Offset = static_cast<DWORD>(at);
    overlapped.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD read = 0;
    if (!ReadFile(file, static_cast<char*>(buffer) + total, chunk, &read, &overlapped)) return 0;
    if (read == 0) break;
    total += read;
  }
  return total;
}

bool KeepGoing(const ExtractControl* control) { return control == nullptr || control->keepGoing(control->context); }

// Where one entry's data goes, and when the control was last asked.
struct EntryOutput {
  HANDLE file;
  const ExtractControl* control;
  uint64_t sinceAsked;
};

// The library delivers an entry's data in order, so each write goes at the current position. A
// stop asked meanwhile takes nothing more, which fails the entry.
size_t WriteEntry(void* context, uint64_t /*offset*/, const void* buffer, size_t count) {
  EntryOutput* output = static_cast<EntryOutput*>(context);
  if (count > MAXDWORD) return 0;
  output->sinceAsked += count;
  if (output->sinceAsked >= kExtractCheckBytes) {
    output->sinceAsked -= kExtractCheckBytes;
    if (!KeepGoing(output->control)) return 0;
  }
  DWORD written = 0;
  if (!WriteFile(output->file, buffer, static_cast<DWORD>(count), &written, nullptr)) return 0;
  return written;
}

}  // namespace

bool ExtractEntry(ZipReader* reader, uint32_t index, const wchar_t* targetFolder, const ExtractControl* control) {
  ZipEntry entry;
  if (reader == nullptr || !reader->GetEntry(index, &entry)) return false;

  char name[MAX_PATH];
  const size_t nameLength = entry.name.size() < MAX_PATH - 1 ? entry.name.size() : MAX_PATH - 1;
  memcpy(name, entry.name.data(), nameLength);
  name[nameLength] = '\0';

  wchar_t wideName[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, MAX_PATH) == 0) return false;
  for (size_t i = 0; i < MAX_PATH && wideName[i] != L'\0'; ++i) {
    if (wideName[i] == L'/') wideName[i] = L'\\';
  }
  // Nothing may land outside the target folder. A directory entry's name ends with its separator.
  std::wstring checked = wideName;
  if (!checked.empty() && checked.back() == L'\\') checked.pop_back();
  if (!IsContainedRelativePath(checked)) return false;

  wchar_t fullPath[MAX_PATH];
  if (PathCombineW(fullPath, targetFolder, wideName) == nullptr) return false;

  // The target folder is made with its parents as the caller named it; below it, folders are
  // made one at a time and never through a link. A directory entry succeeds
  // whatever happened, the next file inside it fails instead.
  if (GetPathAttributes(targetFolder) == INVALID_FILE_ATTRIBUTES) SHCreateDirectoryExW(nullptr, targetFolder, nullptr);
  if (reader->IsDirectory(index)) {
    CreateFoldersBelow(targetFolder, fullPath);
    return true;
  }

  wchar_t folder[MAX_PATH];
  lstrcpynW(folder, fullPath, MAX_PATH);
  PathRemoveFileSpecW(folder);
  CreateFoldersBelow(targetFolder, folder);

  // Nothing is written through a link, neither one on the way nor one at the file's own name.
  if (!PathBelowIsLinkFree(targetFolder, fullPath)) return false;
  UniqueFile output(CreateFileW(fullPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!output) return false;
  EntryOutput sink = {output.get(), control, 0};
  if (reader->ExtractToCallback(index, WriteEntry, &sink)) return true;
  output.Reset();
  DeleteFileW(fullPath);
  return false;
}

bool ExtractArchive(HANDLE archive, const wchar_t* targetFolder, const ExtractControl* control) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(archive, &size)) return false;

  ZipReader reader{};
  if (!reader.Init(ReadArchive, archive)) return false;
  auto endReader = MakeScopeGuard([&reader] { reader.End(); });
  if (!reader.ReadCentralDirectory(static_cast<uint64_t>(size.QuadPart))) return false;

  SHCreateDirectoryExW(nullptr, targetFolder, nullptr);
  // The target folder itself is never entered through a link either.
  if (IsLinkPath(targetFolder)) return false;
  const uint32_t count = reader.EntryCount();
  for (uint32_t index = 0; index < count; ++index) {
    if (!KeepGoing(control) || !ExtractEntry(&reader, index, targetFolder, control)) return false;
  }
  return true;
}

}  // namespace qrx
