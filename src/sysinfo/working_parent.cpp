#include "sysinfo/working_parent.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "common/unique_any.h"
#include "sysinfo/privilege_scope.h"
#include "sysinfo/security_descriptors.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

const wchar_t kWorkingParentName[] = L"QRX";

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Opens the entry itself: a junction or symbolic link is not followed.
constexpr DWORD kEntryFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

bool IsTrustedOwner(PSID owner) {
  if (!owner || !IsValidSid(owner)) return false;
  if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid)) return true;
  // NT SERVICE\TrustedInstaller: S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  UniqueSid installer;
  if (!AllocateAndInitializeSid(&nt, 6, 80, 956008885, 3418522649u, 1831038044, 1853292631, 2271478464u, 0, 0,
                                installer.put())) {
    return false;
  }
  return EqualSid(owner, installer.get()) != FALSE;
}

std::wstring FullPathOf(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return full;
}

// "<all-users application data>\QRX", without a trailing backslash.
bool WorkingParentPath(wchar_t (&buffer)[MAX_PATH]) {
  return SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer) ==
             S_OK &&
         PathAppendW(buffer, kWorkingParentName);
}

// Gives the folder held open our owner and protected DACL.
bool Secure(HANDLE folder, bool owner) {
  SecurityAttributes security(kWorkingFolderSecurity);
  if (!security.get()) return false;
  PSECURITY_DESCRIPTOR descriptor = security.get()->lpSecurityDescriptor;
  PSID ownerSid = nullptr;
  BOOL ownerDefaulted = FALSE;
  PACL dacl = nullptr;
  BOOL daclPresent = FALSE;
  BOOL daclDefaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &ownerSid, &ownerDefaulted) ||
      !GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &daclDefaulted)) {
    return false;
  }
  SECURITY_INFORMATION parts = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
  if (owner) parts |= OWNER_SECURITY_INFORMATION;
  return SetSecurityInfo(folder, SE_FILE_OBJECT, parts, owner ? ownerSid : nullptr, nullptr, dacl, nullptr) ==
         ERROR_SUCCESS;
}

}  // namespace

bool IsTrustedOwnerSidText(const wchar_t* sidText) {
  PSID sid = nullptr;
  if (!sidText || !ConvertStringSidToSidW(sidText, &sid)) return false;
  UniqueHLocal owned(sid);
  return IsTrustedOwner(sid);
}

bool ReadFolderFacts(HANDLE folder, FolderFacts& facts) {
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
  facts.ownerTrusted = IsTrustedOwner(owner);
  return true;
}

ParentAction DecideWorkingParent(const FolderFacts& facts) {
  if (facts.isReparsePoint || !facts.isDirectory) return ParentAction::kRefuse;
  return facts.ownerTrusted ? ParentAction::kUse : ParentAction::kReclaim;
}

bool PrepareWorkingParentWith(const std::wstring& folder, ReadFolderFactsFn readFacts) {
  if (CreateProtectedFolder(folder)) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  PrivilegeScope privileges;
  UniqueFile entry(CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                               kShareAll, nullptr, OPEN_EXISTING, kEntryFlags, nullptr));
  FolderFacts facts;
  if (!entry || !readFacts(entry.get(), facts)) return false;
  switch (DecideWorkingParent(facts)) {
    case ParentAction::kRefuse:
      return false;
    case ParentAction::kUse:
      // Someone with the rights may have widened its DACL since: ours again, every time.
      return Secure(entry.get(), false);
    case ParentAction::kReclaim:
      break;
  }
  return Secure(entry.get(), true);
}

bool GetWorkingParent(std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (!WorkingParentPath(buffer) || !PrepareWorkingParentWith(buffer, ReadFolderFacts)) return false;
  if (!PathAddBackslashW(buffer)) return false;
  path = buffer;
  return true;
}

bool CreateWorkingFolder(std::wstring& path, DWORD* markerError) {
  std::wstring folder;
  if (!GetWorkingParent(folder) || !CreateUniqueTempFolder(folder, markerError)) return false;
  path = folder;
  return true;
}

bool IsBelowWorkingParent(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (!WorkingParentPath(buffer)) return false;
  std::wstring parent = FullPathOf(buffer);
  const std::wstring full = FullPathOf(path);
  if (parent.empty() || full.empty()) return false;
  if (parent.back() != L'\\') parent += L'\\';
  return full.size() > parent.size() && _wcsnicmp(full.c_str(), parent.c_str(), parent.size()) == 0 &&
         full[parent.size()] != L'\\';
}

bool FolderOwnerTrusted(const std::wstring& folder) {
  UniqueFile entry(CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                               kEntryFlags, nullptr));
  FolderFacts facts;
  return entry && ReadFolderFacts(entry.get(), facts) && facts.ownerTrusted;
}

}  // namespace qrx
