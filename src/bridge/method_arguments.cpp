#include "bridge/method_arguments.h"

namespace downloadmanagercore {

HRESULT CheckMethodArguments(WORD flags, const DISPPARAMS& params, WORD requiredFlags,
                             std::initializer_list<VARTYPE> types) {
  if (flags != requiredFlags) return DISP_E_MEMBERNOTFOUND;
  if (params.cArgs != types.size() || params.cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (params.cArgs > 0 && !params.rgvarg) return DISP_E_BADPARAMCOUNT;
  UINT index = 0;
  for (VARTYPE type : types) {
    if (ScriptArgument(params, index).vt != type) return DISP_E_TYPEMISMATCH;
    ++index;
  }
  return S_OK;
}

const VARIANT& ScriptArgument(const DISPPARAMS& params, UINT index) { return params.rgvarg[params.cArgs - 1 - index]; }

std::wstring ArgumentText(const VARIANT& value) {
  return (value.vt == VT_BSTR && value.bstrVal) ? std::wstring(value.bstrVal) : std::wstring();
}

}  // namespace downloadmanagercore
