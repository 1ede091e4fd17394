// COM for the current thread for the life of a scope: uninitialised only when initialising took.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace qrx {

class ScopedComInit {
 public:
  explicit ScopedComInit(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
  ~ScopedComInit() { Uninitialize(); }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;

  // Leaves the apartment before the end of the scope (once).
  void Uninitialize() {
    if (SUCCEEDED(result_)) CoUninitialize();
    result_ = E_FAIL;
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace qrx
