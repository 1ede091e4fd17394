#include <string>
#include <vector>

#include "common/unique_any.h"
#include "standin.h"
#include "standin_guids.h"

namespace standin {

namespace {

// A line for the page log. When QRX_STANDIN_LOG names a file, the line is appended there too
// (UTF-8), so that a run of the whole program can be followed from outside its process.
void AppendPageLog(const std::wstring& line) {
  pageLog += line + L"\n";
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"QRX_STANDIN_LOG", path, ARRAYSIZE(path));
  if (length == 0 || length >= ARRAYSIZE(path)) return;
  const std::wstring text = line + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  if (size <= 0) return;
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  qrx::UniqueFile file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The page's "host" object.
class Helper : public IDispatch {
 public:
  explicit Helper(Document* document) : document_(document) { InterlockedIncrement(&liveObjects); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG refs = --refs_;
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (size_t m = 0; m < kNames.size(); ++m) {
        if (lstrcmpW(names[i], kNames[m]) == 0) ids[i] = static_cast<DISPID>(m + 1);
      }
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

 private:
  virtual ~Helper() { InterlockedDecrement(&liveObjects); }

  // Argument `index` in script order.
  static VARIANT* Arg(DISPPARAMS* params, UINT index) {
    if (!params || index >= params->cArgs) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - index];
  }
  static LONG Number(DISPPARAMS* params, UINT index) {
    VARIANT* arg = Arg(params, index);
    if (!arg) return 0;
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, arg, 0, VT_I4))) return 0;
    return converted.lVal;
  }
  static std::wstring Text(DISPPARAMS* params, UINT index) {
    VARIANT* arg = Arg(params, index);
    if (!arg) return std::wstring();
    qrx::UniqueVariant converted;
    if (FAILED(VariantChangeType(converted.get(), arg, 0, VT_BSTR)) || !converted.get()->bstrVal) {
      return std::wstring();
    }
    return converted.get()->bstrVal;
  }
  template <typename T>
  ComPtr<T> SiteAs(REFIID iid) const {
    ComPtr<T> part;
    if (document_->site()) document_->site()->QueryInterface(iid, part.put_void());
    return part;
  }

  static const std::vector<const wchar_t*> kNames;
  LONG refs_ = 1;
  ComPtr<Document> document_;
};

const std::vector<const wchar_t*> Helper::kNames = {L"log",   L"setTimeout", L"title", L"alert",  L"ready",
                                                    L"notify", L"postClose", L"quit",  L"key",    L"menu",
                                                    L"ambient"};

STDMETHODIMP Helper::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                            UINT*) {
  if (id < 1 || static_cast<size_t>(id) > kNames.size()) return DISP_E_MEMBERNOTFOUND;
  const std::wstring name = kNames[static_cast<size_t>(id - 1)];
  LONG answer = 0;
  if (name == L"log") {
    AppendPageLog(Text(params, 0));
  } else if (name == L"setTimeout") {
    VARIANT* callback = Arg(params, 0);
    if (!callback || callback->vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    document_->SetTimeout(callback->pdispVal, static_cast<UINT>(Number(params, 1)));
  } else if (name == L"title") {
    ComPtr<IOleCommandTarget> target = SiteAs<IOleCommandTarget>(IID_IOleCommandTarget);
    if (!target) return E_NOINTERFACE;
    qrx::UniqueVariant title;
    title.get()->vt = VT_BSTR;
    title.get()->bstrVal = SysAllocString(Text(params, 0).c_str());
    answer = target->Exec(nullptr, OLECMDID_SETTITLE, OLECMDEXECOPT_DONTPROMPTUSER, title.get(), nullptr);
  } else if (name == L"alert") {
    // The engine shows its own box unless the host's ShowMessage answers S_OK.
    ComPtr<IDocHostShowUI> showUi = SiteAs<IDocHostShowUI>(IID_IDocHostShowUI);
    std::wstring text = Text(params, 0);
    wchar_t caption[] = L"Message from webpage";
    LRESULT boxResult = 0;
    answer = showUi ? showUi->ShowMessage(document_->frameWindow(), &text[0], caption, MB_OK | MB_ICONWARNING,
                                          nullptr, 0, &boxResult)
                    : E_NOINTERFACE;
    if (answer != S_OK) ++stats.alertsShown;
  } else if (name == L"ready") {
    document_->SetReadyState(Number(params, 0));
  } else if (name == L"notify") {
    document_->NotifyChanged(Number(params, 0));
  } else if (name == L"postClose") {
    PostMessageW(document_->frameWindow(), WM_CLOSE, 0, 0);
  } else if (name == L"quit") {
    PostQuitMessage(static_cast<int>(Number(params, 0)));
  } else if (name == L"key") {
    PostMessageW(document_->frameWindow(), WM_KEYDOWN, static_cast<WPARAM>(Number(params, 0)), 0);
  } else if (name == L"menu") {
    ComPtr<IDocHostUIHandler> handler = SiteAs<IDocHostUIHandler>(IID_IDocHostUIHandler);
    POINT point = {10, 10};
    answer = handler ? handler->ShowContextMenu(static_cast<DWORD>(Number(params, 0)), &point, nullptr, nullptr)
                     : E_NOINTERFACE;
  } else if (name == L"ambient") {
    ComPtr<IDispatch> ambient = SiteAs<IDispatch>(IID_IDispatch);
    if (!ambient) return E_NOINTERFACE;
    DISPPARAMS none = {};
    qrx::UniqueVariant value;
    answer = ambient->Invoke(Number(params, 0), IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr,
                             nullptr);
    if (answer == S_OK && value.get()->vt == VT_I4) answer = value.get()->lVal;
  }
  if (result) {
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = answer;
  }
  return S_OK;
}

}  // namespace

ComPtr<IDispatch> CreateHelper(Document* document) {
  return ComPtr<IDispatch>::Attach(new Helper(document));
}

ScriptRunner::ScriptRunner(Document* document) : document_(document) { InterlockedIncrement(&liveObjects); }

ScriptRunner::~ScriptRunner() { InterlockedDecrement(&liveObjects); }

HRESULT ScriptRunner::Run(const std::wstring& text) {
  HRESULT hr = CoCreateInstance(CLSID_JScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine_.put_void());
  if (FAILED(hr)) return hr;
  ComPtr<IActiveScriptParse64> parse;
  hr = engine_->QueryInterface(IID_IActiveScriptParse64, parse.put_void());
  if (FAILED(hr)) return hr;
  if (FAILED(hr = engine_->SetScriptSite(this))) return hr;
  if (FAILED(hr = parse->InitNew())) return hr;
  helper_ = CreateHelper(document_);
  engine_->AddNamedItem(L"external", SCRIPTITEM_ISVISIBLE);
  engine_->AddNamedItem(L"host", SCRIPTITEM_ISVISIBLE);
  if (FAILED(hr = engine_->SetScriptState(SCRIPTSTATE_CONNECTED))) return hr;
  EXCEPINFO exception = {};
  return parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr,
                                &exception);
}

void ScriptRunner::Close() {
  if (engine_) {
    ComPtr<IActiveScript> engine = std::move(engine_);
    engine->Close();
  }
  helper_.Reset();
}

STDMETHODIMP ScriptRunner::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IActiveScriptSite) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IActiveScriptSite*>(this);
  return S_OK;
}

STDMETHODIMP_(ULONG) ScriptRunner::AddRef() { return static_cast<ULONG>(++refs_); }

STDMETHODIMP_(ULONG) ScriptRunner::Release() {
  const LONG refs = --refs_;
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

STDMETHODIMP ScriptRunner::GetLCID(LCID*) { return E_NOTIMPL; }

// window.external is asked of the site each time the engine looks the name up.
STDMETHODIMP ScriptRunner::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) {
  if (info) *info = nullptr;
  if (!(mask & SCRIPTINFO_IUNKNOWN) || !item) return E_INVALIDARG;
  *item = nullptr;
  if (lstrcmpW(name, L"host") == 0 && helper_) {
    helper_->AddRef();
    *item = helper_.get();
    return S_OK;
  }
  if (lstrcmpW(name, L"external") == 0 && document_->site()) {
    ComPtr<IDocHostUIHandler> handler;
    if (FAILED(document_->site()->QueryInterface(IID_IDocHostUIHandler, handler.put_void()))) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    IDispatch* external = nullptr;
    if (handler->GetExternal(&external) != S_OK || !external) return TYPE_E_ELEMENTNOTFOUND;
    *item = external;
    return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP ScriptRunner::GetDocVersionString(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP ScriptRunner::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }
STDMETHODIMP ScriptRunner::OnStateChange(SCRIPTSTATE) { return S_OK; }

STDMETHODIMP ScriptRunner::OnScriptError(IActiveScriptError* error) {
  ++stats.scriptErrors;
  EXCEPINFO exception = {};
  DWORD context = 0;
  ULONG line = 0;
  LONG column = 0;
  if (error) {
    error->GetExceptionInfo(&exception);
    error->GetSourcePosition(&context, &line, &column);
  }
  wchar_t head[64];
  wsprintfW(head, L"error: line %lu: ", line + 1);
  std::wstring text = head;
  if (exception.bstrDescription) text += exception.bstrDescription;
  AppendPageLog(text);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return S_OK;
}

STDMETHODIMP ScriptRunner::OnEnterScript() { return S_OK; }
STDMETHODIMP ScriptRunner::OnLeaveScript() { return S_OK; }

}  // namespace standin
