// Owning wrappers for WinHTTP handles and the GlobalAlloc'd texts WinHTTP hands out.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "common/unique_any.h"

namespace qrx {

struct HInternetTraits {
  using type = HINTERNET;
  static type Invalid() { return nullptr; }
  static void Close(type h) { WinHttpCloseHandle(h); }
};
struct GlobalTextTraits {
  using type = LPWSTR;
  static type Invalid() { return nullptr; }
  static void Close(type text) { GlobalFree(text); }
};

using UniqueHInternet = UniqueAny<HInternetTraits>;
using UniqueGlobalText = UniqueAny<GlobalTextTraits>;

}  // namespace qrx
