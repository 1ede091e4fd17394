// Win32 error codes as HRESULTs.
#pragma once

#include <windows.h>

namespace qrx {

// 0x80070000 with the low 16 bits for a positive error, the value itself otherwise.
inline HRESULT HResultFromWin32(DWORD error) {
  const LONG value = static_cast<LONG>(error);
  if (value <= 0) return static_cast<HRESULT>(value);
  return static_cast<HRESULT>((error & 0x0000FFFF) | 0x80070000);
}

// The last error as an HRESULT; never S_OK, so a failed call always reads as failed.
inline HRESULT HResultFromLastError() {
  const DWORD error = GetLastError();
  return error == NO_ERROR ? E_FAIL : HResultFromWin32(error);
}

}  // namespace qrx
