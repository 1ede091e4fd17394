// Owning wrapper for a SetupAPI device information set.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "common/unique_any.h"

namespace qrx {

struct DevInfoTraits {
  using type = HDEVINFO;
  static type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(type set) { SetupDiDestroyDeviceInfoList(set); }
};

using UniqueDevInfo = UniqueAny<DevInfoTraits>;

}  // namespace qrx
