// The class factory, the module's lifetime, and the test exports.
#include <string>

#include "standin.h"
#include "standin_exports.h"
#include "standin_guids.h"

namespace standin {

Document* CurrentDocument();

namespace {

class Factory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Document* document = new Document();
    const HRESULT hr = document->QueryInterface(iid, out);
    document->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&locks);
    } else {
      InterlockedDecrement(&locks);
    }
    return S_OK;
  }
  LONG locks = 0;
};

Factory factory;

}  // namespace

}  // namespace standin

using namespace standin;

extern "C" {

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID id, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (id != CLSID_HTMLDocument) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
  return liveObjects == 0 && factory.locks == 0 ? S_OK : S_FALSE;
}

__declspec(dllexport) LONG StandIn_Query(const wchar_t* name) {
  const std::wstring key = name ? name : L"";
  if (key == L"live") return liveObjects;
  if (key == L"documents") return stats.documentsCreated;
  if (key == L"hostFlags") return stats.hostFlags;
  if (key == L"activateMe") return stats.activateMeCalls;
  if (key == L"windowContext") return stats.windowContextCalls;
  if (key == L"viewShown") return stats.viewShown;
  if (key == L"offered") return stats.acceleratorsOffered;
  if (key == L"consumed") return stats.acceleratorsConsumed;
  if (key == L"alertsShown") return stats.alertsShown;
  if (key == L"scriptErrors") return stats.scriptErrors;
  if (key == L"sinks") return stats.sinkConnections;
  if (key == L"viewWidth") return stats.viewRect.right - stats.viewRect.left;
  if (key == L"viewHeight") return stats.viewRect.bottom - stats.viewRect.top;
  return -1;
}

__declspec(dllexport) int StandIn_CopyLog(wchar_t* buffer, int size) {
  if (buffer && size > 0) lstrcpynW(buffer, pageLog.c_str(), size);
  return static_cast<int>(pageLog.size());
}

__declspec(dllexport) void StandIn_Reset() {
  stats = Stats();
  pageLog.clear();
}

__declspec(dllexport) void StandIn_SetReadyState(LONG state) {
  if (Document* document = CurrentDocument()) document->SetReadyState(state);
}

}  // extern "C"
