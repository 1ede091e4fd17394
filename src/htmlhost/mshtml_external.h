// The IDispatchEx object behind window.external: a fixed table of named methods supplied by a
// derived class, plus properties that script adds to the object at run time ("expando" members).
#pragma once

#include <windows.h>
#include <dispex.h>

#include "common/com_object.h"
#include "htmlhost/document_external.h"

namespace htmlui {

class MSHTMLClient;

// The document site sees it through DocumentExternal.
class MSHTMLExternal : public qrx::ComObject<MSHTMLExternal, DocumentExternal> {
 public:
  // A script method: the call's flags, its arguments (in COM's reverse order) and the result
  // variant (may be null).
  using Handler = HRESULT (MSHTMLExternal::*)(WORD flags, DISPPARAMS* params, VARIANT* result);
  struct MethodEntry {
    const wchar_t* name;
    Handler handler;
  };

  // Expando members have DISPIDs with the top bit set; k counts from 0 in creation order.
  static constexpr DISPID kMemberDispIdBit = static_cast<DISPID>(0x80000000u);
  // The value type that marks a deleted member.
  static constexpr VARTYPE kDeletedType = 0xFFFF;
  // The member array grows by this many records at a time.
  static constexpr ULONG kMemberGrowth = 32;

  MSHTMLExternal(const MSHTMLExternal&) = delete;
  MSHTMLExternal& operator=(const MSHTMLExternal&) = delete;

  // IDispatch:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

  // IDispatchEx:
  HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD grfdex, DISPID* id) override;
  HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, IServiceProvider* caller) override;
  HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD grfdex) override;
  HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) override;
  HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) override;
  HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD grfdex, DISPID id, DISPID* next) override;
  HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) override;

  ~MSHTMLExternal() override;
  // Attaches the host window (none when it is destroyed).
  void SetHostWindow(HWND window) override;
  // The document's ready state became complete.
  void OnDocumentReady(MSHTMLClient* site) override = 0;
  void OnNavigationRefused(const wchar_t* url) override = 0;
  // The method table's first entry through `table`; returns its length.
  virtual ULONG GetMethodTable(const MethodEntry** table) = 0;

  HWND hostWindow() const { return hostWindow_; }
  // For tests: the number of expando records.
  ULONG memberCount() const { return memberCount_; }

 protected:
  MSHTMLExternal() = default;

  HWND hostWindow_ = nullptr;

 private:
  struct Member {
    wchar_t* name;
    VARIANT value;
  };

  // Index of the method named `name` (case rule by `ignoreCase`), or -1.
  LONG FindMethod(const wchar_t* name, bool ignoreCase);
  // Index of the first member named `name`, deleted ones included, or -1.
  LONG FindMember(const wchar_t* name, bool ignoreCase) const;
  // Appends a member with an empty value; false (table unchanged) when memory runs out.
  bool AppendMember(const wchar_t* name);
  HRESULT InvokeMember(ULONG k, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excepInfo, IServiceProvider* caller);

  Member* members_ = nullptr;
  ULONG memberCount_ = 0;
};

}  // namespace htmlui
