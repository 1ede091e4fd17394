// A window.external for the host tests: records what the page and the window did to it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "htmlhost/document_external.h"
#include "htmlhost/mshtml_client.h"

namespace qrxtest {

// Script methods (case-sensitive): note(text), getProperty(key) -> "value:" + key,
// setWindowSize(w, h), closeWindow(), caption(), windowSize(). Each call adds an event.
class TestExternal : public htmlui::DocumentExternal {
 public:
  TestExternal() = default;

  std::vector<std::wstring> events;
  HWND hostWindow = nullptr;
  // Keeps a reference to the site that reported the document ready.
  bool keepSite = false;
  htmlui::MSHTMLClient* keptSite = nullptr;
  LONG refs() const { return refs_; }

  // IUnknown:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs_); }  // owned by the test
  // IDispatch:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;
  // IDispatchEx:
  STDMETHODIMP GetDispID(BSTR name, DWORD flags, DISPID* id) override;
  STDMETHODIMP InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, IServiceProvider* caller) override;
  STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }
  // DocumentExternal:
  void SetHostWindow(HWND window) override;
  void OnDocumentReady(htmlui::MSHTMLClient* site) override;
  // Adds the event "refused:<url>".
  void OnNavigationRefused(const wchar_t* url) override;

 private:
  LONG refs_ = 1;
};

// Runs the host window on a scenario page until it closes, WM_QUIT arrives or `timeoutMs` pass.
struct HostRun {
  bool created = false;
  bool timedOut = false;
  bool quitPosted = false;  // a WM_QUIT was left in the queue (taken out again here)
  WPARAM quitCode = 0;
};
HostRun RunHostWindow(const std::wstring& pageUrl, htmlui::DocumentExternal* external, UINT timeoutMs = 15000);

}  // namespace qrxtest
