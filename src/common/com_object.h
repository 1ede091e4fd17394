// The one way our hand-written COM classes count references and answer QueryInterface.
//
//   class Holder final : public qrx::ComObject<Holder, IBindStatusCallback, IHttpNegotiate> { ... };
//
// The object starts with one reference (its creator's); the count is atomic, since worker threads
// hold references to objects of the UI thread. QueryInterface answers IID_IUnknown (through the
// first interface), each listed interface, and the interfaces each one derives from
// (IDispatchEx also answers IID_IDispatch; see ComInterfaceBase).
#pragma once

#include <windows.h>
#include <dispex.h>
#include <docobj.h>
#include <objidl.h>
#include <oleidl.h>

#include <atomic>
#include <type_traits>

namespace qrx {

// The interface that `I` derives from, below IUnknown; void when it derives from IUnknown itself.
template <typename I>
struct ComInterfaceBase {
  using type = void;
};
template <>
struct ComInterfaceBase<IDispatchEx> {
  using type = IDispatch;
};
template <>
struct ComInterfaceBase<IStream> {
  using type = ISequentialStream;
};
template <>
struct ComInterfaceBase<IOleInPlaceSite> {
  using type = IOleWindow;
};
template <>
struct ComInterfaceBase<IOleInPlaceSiteEx> {
  using type = IOleInPlaceSite;
};
template <>
struct ComInterfaceBase<IOleInPlaceUIWindow> {
  using type = IOleWindow;
};
template <>
struct ComInterfaceBase<IOleInPlaceFrame> {
  using type = IOleInPlaceUIWindow;
};
template <>
struct ComInterfaceBase<IPersistStream> {
  using type = IPersist;
};

// False for an abstract class that is not itself a COM interface (it has no IID of its own) but
// derives from one named by ComInterfaceBase.
template <typename I>
struct ComInterfaceHasId {
  static constexpr bool value = true;
};

namespace detail {

// `self` seen as `I` when `riid` names `I` or an interface it derives from.
template <typename I, typename Self>
bool QueryChain(Self* self, I* as, REFIID riid, void** out) {
  if constexpr (ComInterfaceHasId<I>::value) {
    if (IsEqualIID(riid, __uuidof(I))) {
      *out = as;
      return true;
    }
  }
  using Base = typename ComInterfaceBase<I>::type;
  if constexpr (!std::is_void<Base>::value) {
    return QueryChain<Base>(self, static_cast<Base*>(as), riid, out);
  } else {
    return false;
  }
}

}  // namespace detail

template <typename Derived, typename First, typename... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // IUnknown:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!(detail::QueryChain<First>(this, static_cast<First*>(this), riid, out) ||
                 (detail::QueryChain<Rest>(this, static_cast<Rest*>(this), riid, out) || ...))) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --refs_;
    if (count == 0) delete this;  // the destructor is virtual
    return count;
  }

  // For tests: the current count.
  LONG refCount() const { return static_cast<LONG>(refs_.load()); }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace qrx
