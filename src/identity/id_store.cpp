// The stored machine identifier: "UniqueId\data" under the common application data folder,
// encrypted with machine-scope data protection.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wincrypt.h>

#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "identity/machine_id_rules.h"

namespace qrx {

namespace {

const wchar_t kStoreFolder[] = L"UniqueId";
const wchar_t kStoreFile[] = L"data";
// Extra entropy mixed into the protection; 7 bytes, no terminator.
const char kEntropy[] = "norvane";
constexpr DWORD kEntropyLength = 7;
constexpr DWORD kReadPiece = 64;
// A protected identifier takes a few hundred bytes; a larger file is not ours.
constexpr size_t kMaxStoreBytes = 64 * 1024;
constexpr DWORD kRetryLimitMs = 3000;
constexpr DWORD kRetryPauseMs = 5;

DATA_BLOB EntropyBlob() {
  DATA_BLOB blob;
  blob.cbData = kEntropyLength;
  blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy));
  return blob;
}

}  // namespace

bool GetStoredIdPath(std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) {
    return false;
  }
  if (!PathAppendW(buffer, kStoreFolder)) return false;
  if (!PrepareStoreFolder(buffer)) return false;
  if (!PathAppendW(buffer, kStoreFile)) return false;
  // The file is never read or written through a link.
  if (!DropLinkedStoreFile(buffer)) return false;
  path = buffer;
  return true;
}

UniqueFile OpenWithRetry(const std::wstring& path, DWORD access, DWORD disposition) {
  const DWORD start = GetTickCount();
  for (;;) {
    UniqueFile file(CreateFileW(path.c_str(), access, 0, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) return file;
    if (GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount() - start >= kRetryLimitMs) return file;
    Sleep(kRetryPauseMs);
  }
}

bool LoadStoredId(std::wstring& id) {
  std::wstring path;
  if (!GetStoredIdPath(path)) return false;
  std::string blob;
  {
    UniqueFile file = OpenWithRetry(path, GENERIC_READ, OPEN_EXISTING);
    if (!file) return false;
    char piece[kReadPiece];
    DWORD read = 0;
    while (ReadFile(file.get(), piece, kReadPiece, &read, nullptr) && read > 0) {
      blob.append(piece, read);
      if (blob.size() > kMaxStoreBytes) return false;
    }
  }
  if (blob.empty()) return false;
  DATA_BLOB input;
  input.cbData = static_cast<DWORD>(blob.size());
  input.pbData = reinterpret_cast<BYTE*>(&blob[0]);
  DATA_BLOB entropy = EntropyBlob();
  DATA_BLOB output = {};
  if (CryptUnprotectData(&input, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE, &output) != TRUE) {
    return false;
  }
  UniqueHLocal owned(output.pbData);
  id = IdentifierFromBytes(output.pbData, output.cbData);
  return true;
}

bool SaveStoredId(const std::wstring& id) {
  std::string plain = IdentifierBytes(id);
  DATA_BLOB input;
  input.cbData = static_cast<DWORD>(plain.size());
  input.pbData = reinterpret_cast<BYTE*>(&plain[0]);
  DATA_BLOB entropy = EntropyBlob();
  DATA_BLOB output = {};
  if (CryptProtectData(&input, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE, &output) != TRUE) {
    return false;
  }
  const std::string protectedBytes(reinterpret_cast<const char*>(output.pbData), output.cbData);
  LocalFree(output.pbData);

  std::wstring path;
  if (!GetStoredIdPath(path)) return false;
  UniqueFile file = OpenWithRetry(path, GENERIC_WRITE, CREATE_ALWAYS);
  if (!file) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file.get(), protectedBytes.data(), static_cast<DWORD>(protectedBytes.size()), &written,
                            nullptr);
  file.Reset();
  if (ok && written == protectedBytes.size()) return true;
  DeleteFileW(path.c_str());
  return false;
}

}  // namespace qrx
