// The machine-id store folder: created with its own security, and an existing one checked before
// use. Any local user can create "UniqueId" under the common application data folder before the
// program does, or make it a link to somewhere else.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>

#include "common/no_links.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "identity/machine_id_rules.h"
#include "log/logger.h"

namespace qrx {

const wchar_t kStoreFolderSddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
const wchar_t kLogStoreFolderReclaimed[] = L"Machine id folder %s belonged to another account: re-owned and re-secured\n";
const wchar_t kLogStoreFolderRefused[] = L"Machine id folder %s is a link or not a folder: not used\n";
const wchar_t kLogStoreFolderReclaimFailed[] = L"Machine id folder %s belonged to another account and could not be re-secured: %d\n";
const wchar_t kLogStoreFileDropped[] = L"Machine id file %s is a link: removed\n";

namespace {

std::atomic<Logger*> storeLogger{nullptr};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Opens the entry itself: a junction or symbolic link is not followed.
constexpr DWORD kEntryFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

bool StoreDescriptor(UniqueHLocal& descriptor) {
  PSECURITY_DESCRIPTOR built = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kStoreFolderSddl, SDDL_REVISION_1, &built, nullptr)) {
    return false;
  }
  descriptor.Reset(built);
  return true;
}

// Taking a folder over may need the administrators' ownership and restore rights, which an elevated
// token holds but has not enabled. Enabled for the scope's lifetime only.
class PrivilegeScope {
 public:
  PrivilegeScope() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put())) return;
    struct {
      DWORD count;
      LUID_AND_ATTRIBUTES privileges[3];
    } wanted = {};
    const wchar_t* const names[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME};
    for (const wchar_t* name : names) {
      if (!LookupPrivilegeValueW(nullptr, name, &wanted.privileges[wanted.count].Luid)) continue;
      wanted.privileges[wanted.count].Attributes = SE_PRIVILEGE_ENABLED;
      ++wanted.count;
    }
    DWORD size = sizeof(previous_);
    adjusted_ = AdjustTokenPrivileges(token_.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&wanted),
                                      sizeof(previous_), reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_), &size) != FALSE;
  }
  ~PrivilegeScope() {
    if (adjusted_) AdjustTokenPrivileges(token_.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_), 0, nullptr, nullptr);
  }
  PrivilegeScope(const PrivilegeScope&) = delete;
  PrivilegeScope& operator=(const PrivilegeScope&) = delete;

 private:
  UniqueHandle token_;
  struct {
    DWORD count;
    LUID_AND_ATTRIBUTES privileges[3];
  } previous_ = {};
  bool adjusted_ = false;
};

// Re-owns the folder behind `folder` by Administrators and gives it the store's protected DACL.
bool Reclaim(const std::wstring& path, ReadStoreFolderFactsFn readFacts) {
  UniqueHLocal descriptor;
  if (!StoreDescriptor(descriptor)) return false;
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  PACL dacl = nullptr;
  BOOL daclPresent = FALSE;
  BOOL daclDefaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.get(), &owner, &ownerDefaulted) ||
      !GetSecurityDescriptorDacl(descriptor.get(), &daclPresent, &dacl, &daclDefaulted)) {
    return false;
  }
  PrivilegeScope privileges;
  UniqueFile folder(CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES, kShareAll,
                                nullptr, OPEN_EXISTING, kEntryFlags, nullptr));
  if (!folder) return false;
  // What was checked may have been swapped since: look again at the entry now held open.
  StoreFolderFacts facts;
  if (!readFacts(folder.get(), facts) || DecideStoreFolder(facts) == StoreFolderAction::kRefuse) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  const DWORD error = SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                          PROTECTED_DACL_SECURITY_INFORMATION,
                                      owner, nullptr, dacl, nullptr);
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

}  // namespace

MachineIdLogScope::MachineIdLogScope(Logger* logger) { storeLogger.store(logger); }
MachineIdLogScope::~MachineIdLogScope() { storeLogger.store(nullptr); }
Logger* MachineIdLogger() { return storeLogger.load(); }

bool ReadStoreFolderFacts(HANDLE folder, StoreFolderFacts& facts) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(folder, &info)) return false;
  facts.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.isReparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  UniqueHLocal owned(descriptor);
  facts.ownerTrusted = owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid));
  return true;
}

bool CreateStoreFolder(const std::wstring& folder) {
  UniqueHLocal descriptor;
  if (!StoreDescriptor(descriptor)) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

bool PrepareStoreFolderWith(const std::wstring& folder, ReadStoreFolderFactsFn readFacts) {
  if (CreateStoreFolder(folder)) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  StoreFolderFacts facts;
  {
    UniqueFile entry(CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                 kEntryFlags, nullptr));
    if (!entry || !readFacts(entry.get(), facts)) return false;
  }
  // The name is asked too: Wine opens a link's target even with FILE_FLAG_OPEN_REPARSE_POINT.
  if (IsLinkPath(folder)) facts.isReparsePoint = true;
  switch (DecideStoreFolder(facts)) {
    case StoreFolderAction::kUse:
      return true;
    case StoreFolderAction::kRefuse:
      LogError(storeLogger.load(), kLogStoreFolderRefused, folder.c_str());
      return false;
    case StoreFolderAction::kReclaim:
      break;
  }
  if (!Reclaim(folder, readFacts)) {
    LogError(storeLogger.load(), kLogStoreFolderReclaimFailed, folder.c_str(), static_cast<int>(GetLastError()));
    return false;
  }
  LogDebug(storeLogger.load(), kLogStoreFolderReclaimed, folder.c_str());
  return true;
}

bool PrepareStoreFolder(const std::wstring& folder) { return PrepareStoreFolderWith(folder, ReadStoreFolderFacts); }

bool DropLinkedStoreFile(const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION info = {};
  {
    UniqueFile entry(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, kEntryFlags,
                                 nullptr));
    if (!entry) return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (!GetFileInformationByHandle(entry.get(), &info)) return false;
  }
  const bool linked = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1;
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!linked && !folder) return true;
  // Removing a link removes the name only, never what it points to.
  const bool removed = folder ? RemoveDirectoryW(path.c_str()) != FALSE : DeleteFileW(path.c_str()) != FALSE;
  if (removed) LogError(storeLogger.load(), kLogStoreFileDropped, path.c_str());
  return removed;
}

}  // namespace qrx
