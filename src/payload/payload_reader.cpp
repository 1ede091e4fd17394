#include "payload/payload_reader.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <new>

#include "common/no_links.h"
#include "common/unique_any.h"
#include "payload/payload_texts.h"

namespace qrx {
namespace {

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
  DWORD read = 0;
  return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

bool SeekTo(HANDLE file, uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

uint64_t Position(HANDLE file) {
  LARGE_INTEGER zero = {};
  LARGE_INTEGER position = {};
  SetFilePointerEx(file, zero, &position, FILE_CURRENT);
  return static_cast<uint64_t>(position.QuadPart);
}

enum class WalkResult { kDone, kInfoFailed, kDataFailed, kCreateFailed };

WalkResult WalkRecords(HANDLE file, uint64_t fileSize, const std::wstring& folder) {
  for (;;) {
    PayloadFileHeader header;
    if (!ReadExactly(file, &header, sizeof(header))) return WalkResult::kInfoFailed;
    if (IsEndRecord(header)) return WalkResult::kDone;
    // A size of 4 GiB or more, or one larger than what is left of the file, is refused before
    // anything is allocated.
    const uint64_t left = fileSize - Position(file);
    if (header.sizeHigh != 0 || header.sizeLow > left) return WalkResult::kDataFailed;
    std::unique_ptr<char[]> data(new (std::nothrow) char[header.sizeLow == 0 ? 1 : header.sizeLow]);
    if (!data || !ReadExactly(file, data.get(), header.sizeLow)) return WalkResult::kDataFailed;
    if (!WritePayloadFile(header, data.get(), folder)) return WalkResult::kCreateFailed;
  }
}

}  // namespace

bool WritePayloadFile(const PayloadFileHeader& header, const void* data, const std::wstring& folder) {
  std::wstring name;
  if (!RecordName(header, name) || !IsSafeRecordName(name)) return false;
  wchar_t destination[MAX_PATH] = {};
  if (!PathCombineW(destination, folder.c_str(), name.c_str())) return false;
  wchar_t parent[MAX_PATH] = {};
  lstrcpynW(parent, destination, MAX_PATH);
  PathRemoveFileSpecW(parent);
  // The page folder and everything below it are made and written without passing a link.
  if (!CreateFoldersBelow(folder, parent) || !PathBelowIsLinkFree(folder, destination)) return false;

  UniqueFile file(CreateFileW(destination, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  SetFilePointer(file.get(), 0, nullptr, FILE_END);
  DWORD written = 0;
  const BOOL ok = WriteFile(file.get(), data, header.sizeLow, &written, nullptr);
  file.Reset();
  return ok && written == header.sizeLow && header.sizeHigh == 0;
}

bool ExtractPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    LogError(log, kLogOpenFailed, path.c_str());
    return false;
  }
  LARGE_INTEGER size = {};
  const DWORD sizeLow = GetFileSize(file.get(), nullptr);
  DWORD trailer = 0;
  if (!GetFileSizeEx(file.get(), &size) || sizeLow < 4 || !SeekTo(file.get(), sizeLow - 4u) ||
      !ReadExactly(file.get(), &trailer, sizeof(trailer))) {
    LogError(log, kLogReadTrailerFailed);
    return false;
  }

  bool result = false;
  if (!SeekTo(file.get(), trailer)) {
    LogError(log, kLogReadInfoFailed);
  } else {
    switch (WalkRecords(file.get(), static_cast<uint64_t>(size.QuadPart), folder)) {
      case WalkResult::kDone:
        result = true;
        break;
      case WalkResult::kInfoFailed:
        LogError(log, kLogReadInfoFailed);
        break;
      case WalkResult::kDataFailed:
        LogError(log, kLogReadDataFailed);
        break;
      case WalkResult::kCreateFailed:
        LogError(log, kLogCreateFailed, folder.c_str());
        break;
    }
  }
  file.Reset();
  LogDebug(log, kLogLoadFinished);
  return result;
}

bool ExtractPayload(const std::wstring& folder, Logger* log) {
  LogDebug(log, kLogLoadFromPe);
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    LogError(log, kLogOwnPathFailed);
    return false;
  }
  return ExtractPayloadFrom(path, folder, log);
}

}  // namespace qrx
