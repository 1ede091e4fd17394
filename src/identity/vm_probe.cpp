// Whether this computer is a known virtual machine, from WMI's computer-system object.
#include <windows.h>
#include <objbase.h>
#include <wbemcli.h>

#include "common/com_ptr.h"
#include "common/unique_any.h"
#include "identity/machine_id.h"
#include "identity/machine_id_rules.h"

namespace qrx {

namespace {

const wchar_t kNamespace[] = L"ROOT\\CIMV2";
const wchar_t kQueryLanguage[] = L"WQL";
const wchar_t kQuery[] = L"SELECT * FROM Win32_ComputerSystem";

// A text property; anything that is not text reads as empty.
bool ReadTextProperty(IWbemClassObject* object, const wchar_t* name, std::wstring& value) {
  UniqueVariant variant;
  if (FAILED(object->Get(name, 0, variant.get(), nullptr, nullptr))) return false;
  value.clear();
  if (V_VT(variant.get()) == VT_BSTR && V_BSTR(variant.get())) value = V_BSTR(variant.get());
  return true;
}

}  // namespace

bool DetectVirtualMachine(bool& isVirtual) {
  ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.put_void()))) {
    return false;
  }
  ComPtr<IWbemServices> services;
  UniqueBstr ns(SysAllocString(kNamespace));
  if (FAILED(locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put()))) {
    return false;
  }
  if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    return false;
  }
  ComPtr<IEnumWbemClassObject> enumerator;
  UniqueBstr language(SysAllocString(kQueryLanguage));
  UniqueBstr query(SysAllocString(kQuery));
  if (FAILED(services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                 nullptr, enumerator.put()))) {
    return false;
  }
  std::wstring model;
  std::wstring manufacturer;
  ComPtr<IWbemClassObject> object;
  ULONG returned = 0;
  const HRESULT next = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
  if (FAILED(next)) return false;
  if (returned == 1 && object) {
    if (!ReadTextProperty(object.get(), L"model", model)) return false;
    if (!ReadTextProperty(object.get(), L"manufacturer", manufacturer)) return false;
  }
  isVirtual = IsVirtualMachineSignature(model, manufacturer);
  return true;
}

}  // namespace qrx
