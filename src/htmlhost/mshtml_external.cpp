#include "htmlhost/mshtml_external.h"

#include <cstdlib>
#include <cwchar>
#include <limits>

#include "common/extra_guids.h"
#include "common/path_text.h"

namespace htmlui {

namespace {

// Name lookups pass through here; an empty hook kept for debugging sessions.
void DispatchTrace(const wchar_t* /*format*/, ...) {}

// Case-insensitive compare that folds only A-Z onto a-z (as _wcsicmp does in the C locale).
bool NamesEqual(const wchar_t* a, const wchar_t* b, bool ignoreCase) {
  if (!ignoreCase) return std::wcscmp(a, b) == 0;
  for (;; ++a, ++b) {
    if (qrx::FoldAscii(*a) != qrx::FoldAscii(*b)) return false;
    if (*a == L'\0') return true;
  }
}

DISPPARAMS* OrNoArguments(DISPPARAMS* params, DISPPARAMS& empty) { return params ? params : &empty; }

}  // namespace

MSHTMLExternal::~MSHTMLExternal() {
  for (ULONG k = 0; k < memberCount_; ++k) {
    std::free(members_[k].name);
    VariantClear(&members_[k].value);  // fails harmlessly on a deleted member's marker type
  }
  std::free(members_);
}

// IDispatch:

HRESULT MSHTMLExternal::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT MSHTMLExternal::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT MSHTMLExternal::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count > 0 && (!names || !ids)) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    const LONG index = names[i] ? FindMethod(names[i], false) : -1;
    ids[i] = index >= 0 ? index + 1 : DISPID_UNKNOWN;
    DispatchTrace(L"  %S --> %d\n", names[i], ids[i]);
    if (index < 0) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT MSHTMLExternal::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO*, UINT*) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const MethodEntry* table = nullptr;
  const ULONG count = GetMethodTable(&table);
  const ULONG index = static_cast<ULONG>(id) - 1u;
  if (index >= count) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS empty = {nullptr, nullptr, 0, 0};
  return (this->*table[index].handler)(flags, OrNoArguments(params, empty), result);
}

// IDispatchEx:

HRESULT MSHTMLExternal::GetDispID(BSTR name, DWORD grfdex, DISPID* id) {
  if (!id) return E_POINTER;
  *id = DISPID_UNKNOWN;
  if (!name) return DISP_E_UNKNOWNNAME;
  const bool ignoreCase = (grfdex & fdexNameCaseInsensitive) != 0;
  const bool ensure = (grfdex & fdexNameEnsure) != 0;

  const LONG method = FindMethod(name, ignoreCase);
  if (method >= 0) {
    *id = method + 1;
    return S_OK;
  }
  if (!(grfdex & fdexNameImplicit)) {
    const LONG k = FindMember(name, ignoreCase);
    if (k >= 0) {
      VARIANT& value = members_[k].value;
      if (value.vt == kDeletedType) {
        if (!ensure) return DISP_E_UNKNOWNNAME;
        VariantInit(&value);
      }
      *id = kMemberDispIdBit | k;
      return S_OK;
    }
  }
  if (!ensure) return DISP_E_UNKNOWNNAME;
  if (!AppendMember(name)) return E_OUTOFMEMORY;
  *id = kMemberDispIdBit | static_cast<DISPID>(memberCount_ - 1);
  return S_OK;
}

HRESULT MSHTMLExternal::InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* excepInfo, IServiceProvider* caller) {
  if (!(id & kMemberDispIdBit)) return Invoke(id, IID_NULL, lcid, flags, params, result, excepInfo, nullptr);
  const ULONG k = static_cast<ULONG>(id) & ~static_cast<ULONG>(kMemberDispIdBit);
  if (k >= memberCount_) return DISP_E_UNKNOWNNAME;
  DISPPARAMS empty = {nullptr, nullptr, 0, 0};
  return InvokeMember(k, lcid, flags, OrNoArguments(params, empty), result, excepInfo, caller);
}

HRESULT MSHTMLExternal::InvokeMember(ULONG k, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, IServiceProvider* caller) {
  VARIANT& value = members_[k].value;
  if (flags & DISPATCH_PROPERTYGET) {
    if (params->cArgs != 0 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return E_INVALIDARG;
    return VariantCopy(result, &value);
  }
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (params->cArgs != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTFOUND;
    }
    // By-reference arguments point into the caller's frame: store the value they refer to.
    return VariantCopyInd(&value, &params->rgvarg[0]);
  }
  if (flags == DISPATCH_METHOD) {
    if (value.vt != VT_DISPATCH || !value.pdispVal) return S_OK;
    IDispatch* target = value.pdispVal;
    target->AddRef();  // the call may overwrite the member
    HRESULT hr;
    IDispatchEx* targetEx = nullptr;
    if (SUCCEEDED(target->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&targetEx))) && targetEx) {
      hr = targetEx->InvokeEx(DISPID_VALUE, lcid, flags, params, result, excepInfo, caller);
      targetEx->Release();
    } else {
      hr = target->Invoke(DISPID_VALUE, IID_NULL, lcid, flags, params, result, excepInfo, nullptr);
    }
    target->Release();
    return hr;
  }
  return E_NOTIMPL;
}

HRESULT MSHTMLExternal::DeleteMemberByName(BSTR name, DWORD grfdex) {
  DISPID id = DISPID_UNKNOWN;
  GetDispID(name, grfdex, &id);
  return DeleteMemberByDispID(id);
}

HRESULT MSHTMLExternal::DeleteMemberByDispID(DISPID id) {
  if (!(id & kMemberDispIdBit)) return S_FALSE;
  const ULONG k = static_cast<ULONG>(id) & ~static_cast<ULONG>(kMemberDispIdBit);
  if (k < memberCount_) {
    VariantClear(&members_[k].value);
    members_[k].value.vt = kDeletedType;
  }
  return S_OK;
}

HRESULT MSHTMLExternal::GetMemberProperties(DISPID, DWORD, DWORD*) { return E_NOTIMPL; }

HRESULT MSHTMLExternal::GetMemberName(DISPID, BSTR*) { return E_NOTIMPL; }

HRESULT MSHTMLExternal::GetNextDispID(DWORD, DISPID, DISPID*) { return E_NOTIMPL; }

HRESULT MSHTMLExternal::GetNameSpaceParent(IUnknown**) { return E_NOTIMPL; }

void MSHTMLExternal::SetHostWindow(HWND window) { hostWindow_ = window; }

LONG MSHTMLExternal::FindMethod(const wchar_t* name, bool ignoreCase) {
  const MethodEntry* table = nullptr;
  const ULONG count = GetMethodTable(&table);
  for (ULONG i = 0; i < count; ++i) {
    if (NamesEqual(table[i].name, name, ignoreCase)) return static_cast<LONG>(i);
  }
  return -1;
}

LONG MSHTMLExternal::FindMember(const wchar_t* name, bool ignoreCase) const {
  for (ULONG k = 0; k < memberCount_; ++k) {
    if (NamesEqual(members_[k].name, name, ignoreCase)) return static_cast<LONG>(k);
  }
  return -1;
}

bool MSHTMLExternal::AppendMember(const wchar_t* name) {
  // DISPIDs of members keep the top bit for themselves.
  if (memberCount_ >= static_cast<ULONG>(kMemberDispIdBit) - 1) return false;
  if (memberCount_ % kMemberGrowth == 0) {
    const size_t records = static_cast<size_t>(memberCount_) + kMemberGrowth;
    if (records > std::numeric_limits<size_t>::max() / sizeof(Member)) return false;
    void* grown = std::realloc(members_, records * sizeof(Member));
    if (!grown) return false;
    members_ = static_cast<Member*>(grown);
  }
  wchar_t* copy = _wcsdup(name);
  if (!copy) return false;
  members_[memberCount_].name = copy;
  VariantInit(&members_[memberCount_].value);
  ++memberCount_;
  return true;
}

}  // namespace htmlui
