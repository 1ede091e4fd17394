#include "support/page_callback.h"

namespace qrxtest {

HRESULT CallWithCallback(IDispatch* object, const wchar_t* name, const std::wstring& text, IDispatch* callback) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  VARIANT args[2];
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(text.c_str());
  args[0].vt = VT_DISPATCH;
  args[0].pdispVal = callback;
  DISPPARAMS params = {args, nullptr, 2, 0};
  hr = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  SysFreeString(args[1].bstrVal);
  return hr;
}

// Pumps this (single-threaded apartment) thread's messages until `event` is set or time runs out.
bool PumpUntil(HANDLE event, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    const DWORD wait = MsgWaitForMultipleObjects(1, &event, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

// Pumps messages for a while (for "nothing arrives" checks) while the workers end.
void PumpFor(DWORD ms) {
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PumpUntil(never, ms);
  CloseHandle(never);
}

}  // namespace qrxtest
