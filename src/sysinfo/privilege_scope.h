// Enables the administrators' ownership, restore and backup rights for a scope. An elevated token
// holds them but has not enabled them; taking over a folder someone else owns needs them.
#pragma once

#include <windows.h>

#include "common/unique_any.h"

namespace qrx {

class PrivilegeScope {
 public:
  PrivilegeScope();
  ~PrivilegeScope();
  PrivilegeScope(const PrivilegeScope&) = delete;
  PrivilegeScope& operator=(const PrivilegeScope&) = delete;

 private:
  struct Privileges {
    DWORD count;
    LUID_AND_ATTRIBUTES privileges[3];
  };
  UniqueHandle token_;
  Privileges previous_ = {};
  bool adjusted_ = false;
};

}  // namespace qrx
