#include "sysinfo/security_descriptors.h"

#include <sddl.h>

namespace qrx {

const wchar_t kWorkingFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// 0x1200a9: FILE_GENERIC_READ | FILE_GENERIC_EXECUTE.
const wchar_t kResumeCopySecurity[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

SecurityAttributes::SecurityAttributes(const wchar_t* descriptorText) {
  attributes_.nLength = sizeof(attributes_);
  attributes_.bInheritHandle = FALSE;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptorText, SDDL_REVISION_1, &descriptor, nullptr)) {
    attributes_.lpSecurityDescriptor = descriptor;
  }
}

SecurityAttributes::~SecurityAttributes() {
  if (attributes_.lpSecurityDescriptor) LocalFree(attributes_.lpSecurityDescriptor);
}

}  // namespace qrx
