#include "sysinfo/privilege_scope.h"

namespace qrx {

PrivilegeScope::PrivilegeScope() {
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put())) return;
  Privileges wanted = {};
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

PrivilegeScope::~PrivilegeScope() {
  if (adjusted_) AdjustTokenPrivileges(token_.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_), 0, nullptr, nullptr);
}

}  // namespace qrx
