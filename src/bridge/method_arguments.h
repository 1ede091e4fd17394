// The argument checks that every script method makes before it does anything.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>

namespace downloadmanagercore {

// DISP_E_MEMBERNOTFOUND when `flags` differs from `requiredFlags`; DISP_E_BADPARAMCOUNT when the
// number of arguments differs from `types` or named arguments are present; DISP_E_TYPEMISMATCH at
// the first argument whose variant type differs exactly (no conversion, no by-reference forms);
// otherwise S_OK. `types` lists the arguments in script order; COM delivers them reversed.
HRESULT CheckMethodArguments(WORD flags, const DISPPARAMS& params, WORD requiredFlags,
                             std::initializer_list<VARTYPE> types);

// Script argument `index` (script order) of a call that passed the checks.
const VARIANT& ScriptArgument(const DISPPARAMS& params, UINT index);

// The text of a VT_BSTR argument up to its first zero character.
std::wstring ArgumentText(const VARIANT& value);

}  // namespace downloadmanagercore
