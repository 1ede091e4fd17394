// Reference counting and QueryInterface for our hand-written COM classes.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace qrx {

// A reference count that starts at 1 (the creator's reference). Increments and decrements are
// interlocked: worker threads may hold references to objects that live on the UI thread.
class RefCount {
 public:
  RefCount() = default;
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  ULONG Increment() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  // The new count; the owner deletes itself when this returns 0.
  ULONG Decrement() { return static_cast<ULONG>(InterlockedDecrement(&count_)); }
  LONG value() const { return count_; }

 private:
  volatile LONG count_ = 1;
};

namespace detail {
template <typename T>
bool QueryFirst(T*, REFIID, void**) {
  return false;
}
template <typename T, typename I, typename... Rest>
bool QueryFirst(T* self, REFIID riid, void** out) {
  if (IsEqualIID(riid, __uuidof(I))) {
    *out = static_cast<I*>(self);
    return true;
  }
  return QueryFirst<T, Rest...>(self, riid, out);
}
}  // namespace detail

// QueryInterface for an object that implements `Interfaces` (the first one also answers
// IID_IUnknown): the matching interface pointer with one more reference and S_OK, or a null
// out-pointer and E_NOINTERFACE. A null out-pointer argument gives E_POINTER.
template <typename First, typename... Interfaces, typename T>
HRESULT QueryInterfaceFor(T* self, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *out = static_cast<IUnknown*>(static_cast<First*>(self));
  } else if (!detail::QueryFirst<T, First, Interfaces...>(self, riid, out)) {
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*out)->AddRef();
  return S_OK;
}

}  // namespace qrx
