// Owning wrappers for Windows handles, registry keys, BSTRs and VARIANTs.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace qrx {

// Traits: `type`, `static type Invalid()`, `static void Close(type)`.
template <typename Traits>
class UniqueAny {
 public:
  using Type = typename Traits::type;

  UniqueAny() = default;
  explicit UniqueAny(Type value) : value_(value) {}
  ~UniqueAny() { Reset(); }

  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) Reset(other.release());
    return *this;
  }

  Type get() const { return value_; }
  bool valid() const { return value_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }

  // Closes the current value and returns the slot for an out-parameter.
  Type* put() {
    Reset();
    return &value_;
  }

  Type release() {
    Type value = value_;
    value_ = Traits::Invalid();
    return value;
  }

  void Reset(Type value = Traits::Invalid()) {
    if (valid()) {
      // Closing must not disturb an error code the caller is about to read.
      const DWORD lastError = GetLastError();
      Traits::Close(value_);
      SetLastError(lastError);
    }
    value_ = value;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct HandleTraits {
  using type = HANDLE;
  static type Invalid() { return nullptr; }
  static void Close(type h) { CloseHandle(h); }
};
struct FileHandleTraits {
  using type = HANDLE;
  static type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(type h) { CloseHandle(h); }
};
struct FindHandleTraits {
  using type = HANDLE;
  static type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(type h) { FindClose(h); }
};
struct HKeyTraits {
  using type = HKEY;
  static type Invalid() { return nullptr; }
  static void Close(type h) { RegCloseKey(h); }
};
struct HLocalTraits {
  using type = HLOCAL;
  static type Invalid() { return nullptr; }
  static void Close(type h) { LocalFree(h); }
};
struct BstrTraits {
  using type = BSTR;
  static type Invalid() { return nullptr; }
  static void Close(type s) { SysFreeString(s); }
};
struct SidTraits {
  using type = PSID;
  static type Invalid() { return nullptr; }
  static void Close(type s) { FreeSid(s); }
};
struct ModuleTraits {
  using type = HMODULE;
  static type Invalid() { return nullptr; }
  static void Close(type m) { FreeLibrary(m); }
};
struct DesktopTraits {
  using type = HDESK;
  static type Invalid() { return nullptr; }
  static void Close(type d) { CloseDesktop(d); }
};

using UniqueHandle = UniqueAny<HandleTraits>;
using UniqueFile = UniqueAny<FileHandleTraits>;
using UniqueFind = UniqueAny<FindHandleTraits>;
using UniqueHKey = UniqueAny<HKeyTraits>;
using UniqueHLocal = UniqueAny<HLocalTraits>;
using UniqueBstr = UniqueAny<BstrTraits>;
using UniqueSid = UniqueAny<SidTraits>;
using UniqueModule = UniqueAny<ModuleTraits>;
using UniqueDesktop = UniqueAny<DesktopTraits>;

// A VARIANT that is cleared when it goes out of scope.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&value_); }
  ~UniqueVariant() { VariantClear(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;

  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }
  VARIANT* put() {
    VariantClear(&value_);
    return &value_;
  }
  VARIANT release() {
    VARIANT value = value_;
    VariantInit(&value_);
    return value;
  }

 private:
  VARIANT value_;
};

}  // namespace qrx
