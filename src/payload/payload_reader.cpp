#include "payload/payload_reader.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "common/contained_path.h"
#include "common/no_links.h"
#include "common/sha256.h"
#include "common/unique_any.h"
#include "payload/page_digest_id.h"
#include "payload/payload_texts.h"
#include "payload/record_inflate.h"
#include "payload/table_binding.h"

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

// Counts a deflated record's declared size against the caps; false when it would pass one.
bool WithinCaps(InflateTally& tally, uint32_t declared) {
  if (declared > kMaxUnpackedFileSize || tally.declared + declared > kMaxUnpackedTableSize) return false;
  tally.declared += declared;
  return true;
}

// Writes one record whose `sizeLow` data bytes are in memory, inflating a deflated one first. A
// deflated record is written only once its stream gave exactly the declared size.
WalkResult WriteRecord(const PayloadFileHeader& header, const char* data, const std::wstring& folder,
                       InflateTally& tally) {
  if (!IsDeflated(header)) return WritePayloadFile(header, data, folder) ? WalkResult::kDone : WalkResult::kCreateFailed;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const uint32_t declared = DeclaredUnpackedSize(bytes);
  if (!WithinCaps(tally, declared)) return WalkResult::kDataFailed;
  std::unique_ptr<unsigned char[]> unpacked(new (std::nothrow) unsigned char[declared == 0 ? 1 : declared]);
  if (!unpacked) return WalkResult::kDataFailed;
  uint64_t produced = 0;
  const InflateOutcome outcome =
      InflateExactly(bytes + kDeflatedPrefixSize, header.sizeLow - kDeflatedPrefixSize, unpacked.get(), declared, produced);
  tally.inflated += produced;
  if (outcome != InflateOutcome::kOk) return WalkResult::kDataFailed;
  PayloadFileHeader plain = header;
  plain.sizeLow = declared;
  plain.sizeHigh = 0;
  return WritePayloadFile(plain, unpacked.get(), folder) ? WalkResult::kDone : WalkResult::kCreateFailed;
}

// The records of the file from its current position on.
class FileRecords {
 public:
  FileRecords(HANDLE file, uint64_t fileSize) : file_(file), fileSize_(fileSize) {}
  bool NextHeader(PayloadFileHeader& header) { return ReadExactly(file_, &header, sizeof(header)); }
  uint64_t Left() const { return fileSize_ - Position(file_); }
  // The next `size` bytes, read into memory; null when that fails.
  const char* Data(uint32_t size) {
    data_.reset(new (std::nothrow) char[size == 0 ? 1 : size]);
    return data_ && ReadExactly(file_, data_.get(), size) ? data_.get() : nullptr;
  }

 private:
  HANDLE file_;
  uint64_t fileSize_;
  std::unique_ptr<char[]> data_;
};

// The records of a table held in memory, from its first header on.
class MemoryRecords {
 public:
  MemoryRecords(const char* table, size_t size) : table_(table), size_(size) {}
  bool NextHeader(PayloadFileHeader& header) {
    if (size_ - at_ < sizeof(header)) return false;
    memcpy(&header, table_ + at_, sizeof(header));
    at_ += sizeof(header);
    return true;
  }
  uint64_t Left() const { return size_ - at_; }
  const char* Data(uint32_t size) {
    const char* data = table_ + at_;
    at_ += size;
    return data;
  }
  // Where the next header starts: after the end record once the walk is done.
  size_t At() const { return at_; }

 private:
  const char* table_;
  size_t size_;
  size_t at_ = 0;
};

// Hands every record up to the end record to `visit`, with its data. A size of 4 GiB or more, or
// one larger than what is left of the records, is refused before anything is allocated.
template <class Records, class Visit>
WalkResult WalkEach(Records& records, Visit visit) {
  for (;;) {
    PayloadFileHeader header;
    if (!records.NextHeader(header)) return WalkResult::kInfoFailed;
    if (IsEndRecord(header)) return WalkResult::kDone;
    if (!HasKnownSizes(header) || header.sizeLow > records.Left()) return WalkResult::kDataFailed;
    const char* data = records.Data(header.sizeLow);
    if (!data) return WalkResult::kDataFailed;
    const WalkResult result = visit(header, data);
    if (result != WalkResult::kDone) return result;
  }
}

WalkResult WalkRecords(HANDLE file, uint64_t fileSize, const std::wstring& folder, InflateTally& tally) {
  FileRecords records(file, fileSize);
  return WalkEach(records, [&](const PayloadFileHeader& header, const char* data) {
    return WriteRecord(header, data, folder, tally);
  });
}

// The records held in memory, from the first header on. Checks them (and finds the end of the end
// record) when `folder` is null, writes them into `folder` otherwise. The check also holds the
// declared sizes of deflated records against the caps, so a table over them inflates nothing.
WalkResult WalkTableInMemory(const char* table, size_t size, const std::wstring* folder, size_t& end,
                             InflateTally& tally) {
  InflateTally declared;
  MemoryRecords records(table, size);
  const WalkResult result = WalkEach(records, [&](const PayloadFileHeader& header, const char* data) {
    if (folder) return WriteRecord(header, data, *folder, tally);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    return !IsDeflated(header) || WithinCaps(declared, DeclaredUnpackedSize(bytes)) ? WalkResult::kDone
                                                                                    : WalkResult::kDataFailed;
  });
  if (result == WalkResult::kDone) end = records.At();
  return result;
}

// Little-endian fields at `at` of the file.
bool ReadAt(HANDLE file, uint64_t at, void* buffer, DWORD size) { return SeekTo(file, at) && ReadExactly(file, buffer, size); }

// The PE headers' security directory and the fixed fields of the certificate entry it names.
bool ReadSignedLayout(HANDLE file, uint64_t fileSize, SignedLayout& layout) {
  layout.fileSize = fileSize;
  IMAGE_DOS_HEADER dos;
  if (!ReadAt(file, 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) return false;
  const uint64_t nt = static_cast<uint32_t>(dos.e_lfanew);
  struct {
    DWORD signature;
    IMAGE_FILE_HEADER file;
    WORD magic;
  } headers;
  static_assert(offsetof(decltype(headers), magic) == 24, "optional header right after the file header");
  if (!ReadAt(file, nt, &headers, 26) || headers.signature != IMAGE_NT_SIGNATURE) return false;
  // Offsets inside the optional header of the directory count and of the directories.
  uint32_t countAt = 0;
  if (headers.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    countAt = 92;
  } else if (headers.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    countAt = 108;
  } else {
    return false;
  }
  const uint32_t directoryAt = countAt + 4 + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
  DWORD count = 0;
  IMAGE_DATA_DIRECTORY security = {};
  if (headers.file.SizeOfOptionalHeader < directoryAt + sizeof(security) ||
      !ReadAt(file, nt + 24 + countAt, &count, sizeof(count)) || count <= IMAGE_DIRECTORY_ENTRY_SECURITY ||
      !ReadAt(file, nt + 24 + directoryAt, &security, sizeof(security))) {
    return false;
  }
  layout.entryStart = security.VirtualAddress;
  layout.entrySize = security.Size;
  if (layout.entryStart == 0 || static_cast<uint64_t>(layout.entryStart) + 8 > fileSize) return true;
  unsigned char entry[14] = {};
  const DWORD available = static_cast<DWORD>(fileSize - layout.entryStart < sizeof(entry) ? fileSize - layout.entryStart
                                                                                          : sizeof(entry));
  if (!ReadAt(file, layout.entryStart, entry, available)) return false;
  layout.dwLength = static_cast<uint32_t>(entry[0] | entry[1] << 8 | entry[2] << 16 | static_cast<uint32_t>(entry[3]) << 24);
  layout.revision = static_cast<uint16_t>(entry[4] | entry[5] << 8);
  layout.certificateType = static_cast<uint16_t>(entry[6] | entry[7] << 8);
  layout.pkcs7Length = DerSequenceLength(entry + 8, available - 8);
  return true;
}

// The digest the build placed in this process's own image; false when there is none.
bool OwnTableDigest(Sha256Digest& digest) {
  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(QRX_PAGE_TABLE_DIGEST_ID), RT_RCDATA);
  if (!resource || SizeofResource(nullptr, resource) != digest.size()) return false;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return false;
  memcpy(digest.data(), bytes, digest.size());
  return true;
}

void LogWalkFailure(Logger* log, WalkResult result, const std::wstring& folder) {
  switch (result) {
    case WalkResult::kDone:
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

// Reads the table once into memory, checks where it lies and its digest, and only then writes
// its files.
bool ExtractBoundTable(HANDLE file, uint64_t fileSize, uint32_t trailer, const std::wstring& folder, Logger* log,
                       const Sha256Digest& expected, InflateTally& tally) {
  SignedLayout layout;
  if (!ReadSignedLayout(file, fileSize, layout)) {
    LogError(log, kLogTableRefused, kCauseNotPe);
    return false;
  }
  // Room for at least the end record between the PKCS#7 data and the trailer.
  if (const wchar_t* cause = CheckTablePlacement(layout, trailer, static_cast<uint64_t>(trailer) + kRecordHeaderSize)) {
    LogError(log, kLogTableRefused, cause);
    return false;
  }
  const uint64_t size = fileSize - 4 - trailer;
  std::unique_ptr<char[]> table(size <= SIZE_MAX ? new (std::nothrow) char[static_cast<size_t>(size)] : nullptr);
  if (!table || size > MAXDWORD || !ReadAt(file, trailer, table.get(), static_cast<DWORD>(size))) {
    LogError(log, kLogReadInfoFailed);
    return false;
  }
  size_t end = 0;
  WalkResult result = WalkTableInMemory(table.get(), static_cast<size_t>(size), nullptr, end, tally);
  if (result != WalkResult::kDone) {
    LogWalkFailure(log, result, folder);
    return false;
  }
  Sha256Digest digest{};
  if (!Sha256Of(table.get(), end, digest) || digest != expected) {
    LogError(log, kLogTableRefused, kCauseDigestMismatch);
    return false;
  }
  result = WalkTableInMemory(table.get(), end, &folder, end, tally);
  LogWalkFailure(log, result, folder);
  return result == WalkResult::kDone;
}

// Opens the file and reads its trailer; the table itself is read by `extract`.
template <typename Extract>
bool WithTable(const std::wstring& path, Logger* log, Extract extract) {
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
  const bool result = extract(file.get(), static_cast<uint64_t>(size.QuadPart), trailer);
  file.Reset();
  LogDebug(log, kLogLoadFinished);
  return result;
}

}  // namespace

bool WritePayloadFile(const PayloadFileHeader& header, const void* data, const std::wstring& folder) {
  std::wstring name;
  if (!RecordName(header, name) || !IsContainedRelativePath(name)) return false;
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

bool ExtractPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log, InflateTally* tally) {
  InflateTally own;
  InflateTally& counted = tally ? *tally : own;
  return WithTable(path, log, [&](HANDLE file, uint64_t size, uint32_t trailer) {
    if (!SeekTo(file, trailer)) {
      LogError(log, kLogReadInfoFailed);
      return false;
    }
    const WalkResult result = WalkRecords(file, size, folder, counted);
    LogWalkFailure(log, result, folder);
    return result == WalkResult::kDone;
  });
}

bool ExtractBoundPayloadFrom(const std::wstring& path, const std::wstring& folder, Logger* log,
                             const Sha256Digest* expected, InflateTally* tally) {
  InflateTally own;
  InflateTally& counted = tally ? *tally : own;
  return WithTable(path, log, [&](HANDLE file, uint64_t size, uint32_t trailer) {
    if (!expected) {
      LogError(log, kLogTableRefused, kCauseNoDigest);
      return false;
    }
    return ExtractBoundTable(file, size, trailer, folder, log, *expected, counted);
  });
}

bool ExtractPayload(const std::wstring& folder, Logger* log) {
  LogDebug(log, kLogLoadFromPe);
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    LogError(log, kLogOwnPathFailed);
    return false;
  }
#if QRX_BIND_PAGES
  Sha256Digest digest{};
  return ExtractBoundPayloadFrom(path, folder, log, OwnTableDigest(digest) ? &digest : nullptr);
#else
  return ExtractPayloadFrom(path, folder, log);
#endif
}

}  // namespace qrx
