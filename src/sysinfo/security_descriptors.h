// The security descriptors of what the elevated process creates under the user's temp folder.
#pragma once

#include <windows.h>

namespace qrx {

// Working folders: owner Administrators; a protected DACL (nothing inherited from the user's
// temp folder) giving SYSTEM and Administrators full control, inherited by everything inside.
extern const wchar_t kWorkingFolderSecurity[];
// The resume copy of the executable: the user may read and run it, only administrators write it.
extern const wchar_t kResumeCopySecurity[];

// Security attributes built from a descriptor text; `get()` is null when it could not be built.
class SecurityAttributes {
 public:
  explicit SecurityAttributes(const wchar_t* descriptorText);
  ~SecurityAttributes();
  SecurityAttributes(const SecurityAttributes&) = delete;
  SecurityAttributes& operator=(const SecurityAttributes&) = delete;

  SECURITY_ATTRIBUTES* get() { return attributes_.lpSecurityDescriptor ? &attributes_ : nullptr; }

 private:
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace qrx
