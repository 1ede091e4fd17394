// A page callback stand-in (a script function as the bridge sees it) and message pumping for
// tests that run on a single-threaded apartment thread.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "common/com_object.h"

namespace qrxtest {

// The page's callback function: records each call's argument and thread.
// Lives on the test's stack, holding the creator's reference until it goes.
class PageCallback : public qrx::ComObject<PageCallback, IDispatch> {
 public:
  explicit PageCallback(HRESULT answer = S_OK, bool dispatchable = true)
      : answer_(answer), dispatchable_(dispatchable), called_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~PageCallback() override { CloseHandle(called_); }

  // IUnknown:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!dispatchable_ && iid == IID_IDispatch) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, out);
  }
  // IDispatch:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    Call call;
    call.dispid = id;
    call.flags = flags;
    call.thread = GetCurrentThreadId();
    call.argumentCount = params ? params->cArgs : 0;
    call.namedCount = params ? params->cNamedArgs : 0;
    call.hasResult = result != nullptr;
    if (params && params->cArgs == 1 && params->rgvarg[0].vt == VT_I4) call.value = params->rgvarg[0].lVal;
    calls.push_back(call);
    SetEvent(called_);
    return answer_;
  }

  struct Call {
    DISPID dispid = -1;
    WORD flags = 0;
    DWORD thread = 0;
    UINT argumentCount = 0;
    UINT namedCount = 0;
    bool hasResult = false;
    int value = -1000;
  };
  std::vector<Call> calls;
  HANDLE called() const { return called_; }
  LONG refs() const { return refCount(); }

 private:
  HRESULT answer_;
  bool dispatchable_;
  HANDLE called_;
};

// Calls a page method that takes a text and a callback (`download`, `install`) as script does.
HRESULT CallWithCallback(IDispatch* object, const wchar_t* name, const std::wstring& text, IDispatch* callback);

bool PumpUntil(HANDLE event, DWORD timeoutMs);
void PumpFor(DWORD ms);

}  // namespace qrxtest
