#include "pages/bridge_host/page_calls.h"

#include <commctrl.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "common/ref_count.h"
#include "pages/bridge_host/product_run.h"
#include "pages/bridge_host/wire.h"

namespace qrxtest {

namespace {

const wchar_t kCallWindowClass[] = L"QRXPageCalls";
constexpr UINT kCallMessage = WM_APP + 1;
constexpr UINT kReadyMessage = WM_APP + 2;
constexpr UINT_PTR kWindowWatchId = 0x51;
// How long a callback waits for the page to run its function before the bridge's call returns.
constexpr DWORD kCallbackLimitMs = 300000;
constexpr auto kEventWait = std::chrono::milliseconds(1000);

struct Job {
  std::string body;
  std::string answer;
};

std::string HttpAnswer(int status, const std::string& body) {
  const char* reason = status == 200 ? "OK" : status == 410 ? "Gone" : "Bad Request";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Type: application/json; charset=utf-8\r\nAccess-Control-Allow-Origin: *\r\n"
         "Cache-Control: no-store\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::string HResultJson(HRESULT hr) { return std::to_string(static_cast<unsigned long>(hr)); }

// A page's function as the bridge sees it: calling it hands the call to the page.
class PageFunction : public IDispatch {
 public:
  PageFunction(PageCallServer* server, std::string page, int function)
      : server_(server), page_(std::move(page)), function_(function) {}

  // IUnknown:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return qrx::QueryInterfaceFor<IDispatch>(this, iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.Increment(); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG count = refs_.Decrement();
    if (count == 0) delete this;
    return count;
  }
  // IDispatch:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    return server_->RunCallback(page_, function_, params);
  }

 private:
  virtual ~PageFunction() = default;
  qrx::RefCount refs_;
  PageCallServer* server_;
  std::string page_;
  int function_;
};

// The product window, answering the caption drag itself: DefWindowProc would enter the system's
// move loop, which under Wine waits for the mouse button to be released and would hold the page's
// call. Size and state changes are logged so that tests can see what the window operations did.
LRESULT CALLBACK WatchWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* server = reinterpret_cast<PageCallServer*>(data);
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MOVE) {
    char line[96];
    std::snprintf(line, sizeof(line), "window: system command 0x%04x answered without the move loop",
                  static_cast<unsigned>(wParam));
    server->Log(line);
    return 0;
  }
  const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
  if (message == WM_WINDOWPOSCHANGED || message == WM_SIZE) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    char line[96];
    std::snprintf(line, sizeof(line), "window: %ldx%ld %s", rect.right - rect.left, rect.bottom - rect.top,
                  IsIconic(window) ? "minimized" : IsWindowVisible(window) ? "shown" : "hidden");
    static std::string last;
    if (last != line) {
      last = line;
      server->Log(line);
    }
  }
  return result;
}

BOOL CALLBACK FindProductWindow(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (wcscmp(name, kProductWindowClass) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

PageCallServer::~PageCallServer() {
  if (wake_) CloseHandle(wake_);
}

void PageCallServer::Log(const std::string& line) {
  if (!log_) return;
  std::lock_guard<std::mutex> guard(logLock_);
  std::fprintf(log_, "%s\n", line.c_str());
  std::fflush(log_);
}

bool PageCallServer::Start(IDispatchEx* bridge) {
  bridge_ = bridge;
  uiThread_ = GetCurrentThreadId();
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &PageCallServer::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kCallWindowClass;
  RegisterClassW(&windowClass);
  callWindow_ = CreateWindowExW(0, kCallWindowClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!callWindow_ || !wake_) return false;
  SetWindowLongPtrW(callWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  server_.ServeWith([this](const RecordedRequest& request) { return Respond(request); });
  if (!server_.Start(0)) return false;
  // Handled once the product window's message loop runs, that is after the window exists.
  PostMessageW(callWindow_, kReadyMessage, 0, 0);
  return true;
}

void PageCallServer::OnWindowReady() {
  HWND window = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindProductWindow, reinterpret_cast<LPARAM>(&window));
  if (window) SetWindowSubclass(window, &WatchWindow, kWindowWatchId, reinterpret_cast<DWORD_PTR>(this));
  Log(window ? "host: product window ready" : "host: no product window");
  std::printf("listening %u\n", static_cast<unsigned>(port()));
  std::fflush(stdout);
}

void PageCallServer::OnWindowClosed() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
  }
  changed_.notify_all();
  if (wake_) SetEvent(wake_);
  Log("host: window closed");
  if (callWindow_) DestroyWindow(callWindow_);
  callWindow_ = nullptr;
}

LRESULT CALLBACK PageCallServer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<PageCallServer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == kCallMessage) {
    auto* job = reinterpret_cast<Job*>(lParam);
    job->answer = self->OnUiThread(job->body);
    return 1;
  }
  if (self && message == kReadyMessage) {
    self->OnWindowReady();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::string PageCallServer::Respond(const RecordedRequest& request) {
  const FormFields fields = ParseForm(request.body);
  const std::string op = FormValue(fields, "op");
  const std::string page = FormValue(fields, "page");
  if (op == "hello") {
    Hello(page);
    return HttpAnswer(200, "{\"hr\":0}");
  }
  if (op == "events") return HttpAnswer(200, Events(page));
  if (op == "ack") {
    return HttpAnswer(200, Ack(std::strtol(FormValue(fields, "seq").c_str(), nullptr, 10), FormValue(fields, "threw") == "1"));
  }
  HWND target;
  {
    std::lock_guard<std::mutex> guard(lock_);
    target = closed_ ? nullptr : callWindow_;
  }
  Job job{request.body, std::string()};
  // The page's thread waits for the answer, as it waits for a call into the engine's host.
  if (target) SendMessageW(target, kCallMessage, 0, reinterpret_cast<LPARAM>(&job));
  if (job.answer.empty()) {
    Log("refused: " + op + " " + FormValue(fields, "name") + " after the window closed");
    return HttpAnswer(410, "{\"closed\":true}");
  }
  return HttpAnswer(200, job.answer);
}

std::string PageCallServer::OnUiThread(const std::string& body) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_) return std::string();
  }
  const FormFields fields = ParseForm(body);
  const std::string op = FormValue(fields, "op");
  const std::string name = FormValue(fields, "name");
  if (op == "call") {
    const WORD flags = static_cast<WORD>(std::strtoul(FormValue(fields, "flags").c_str(), nullptr, 10));
    return Call(FormValue(fields, "page"), name, flags, FormValues(fields, "arg"));
  }
  if (op == "get") return Get(name);
  if (op == "put") return Put(name, FormValue(fields, "arg"));
  if (op == "delete") return Delete(name);
  Log("refused: unknown operation " + op);
  return "{\"error\":\"unknown operation\"}";
}

std::string PageCallServer::Call(const std::string& page, const std::string& name, WORD flags,
                                 const std::vector<std::string>& args) {
  const std::wstring wideName = Utf8ToWideText(name);
  BSTR nameText = SysAllocStringLen(wideName.data(), static_cast<UINT>(wideName.size()));
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = bridge_->GetDispID(nameText, fdexNameCaseSensitive, &id);
  SysFreeString(nameText);
  std::string argsText;
  for (const auto& arg : args) argsText += (argsText.empty() ? "" : ",") + arg.substr(0, 200);
  if (FAILED(hr)) {
    Log("served: call " + name + " flags=" + std::to_string(flags) + " args=[" + argsText + "] lookup=" + HexHResult(hr));
    return "{\"hr\":" + HResultJson(hr) + "}";
  }
  // Script arguments arrive at the bridge in reverse order.
  std::vector<VARIANT> variants(args.size());
  bool valid = true;
  for (size_t i = 0; i < args.size(); ++i) {
    VARIANT& value = variants[args.size() - 1 - i];
    if (args[i].compare(0, 2, "f:") == 0) {
      VariantInit(&value);
      value.vt = VT_DISPATCH;
      value.pdispVal = new PageFunction(this, page, std::atoi(args[i].c_str() + 2));
    } else if (!ArgumentToVariant(args[i], value)) {
      valid = false;
    }
  }
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception = {};
  if (valid) {
    DISPPARAMS params = {variants.empty() ? nullptr : variants.data(), nullptr, static_cast<UINT>(variants.size()), 0};
    hr = bridge_->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params, (flags & DISPATCH_PROPERTYGET) ? &result : nullptr,
                           &exception, nullptr);
  }
  for (auto& value : variants) VariantClear(&value);
  if (!valid) {
    Log("refused: call " + name + " with an argument of unknown form: [" + argsText + "]");
    return "{\"error\":\"argument form\"}";
  }
  std::string value;
  VariantToJson(result, value);
  VariantClear(&result);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  Log("served: call " + name + " flags=" + std::to_string(flags) + " dispid=" + std::to_string(id) + " args=[" +
      argsText + "] hr=" + HexHResult(hr) + " result=" + value);
  return "{\"hr\":" + HResultJson(hr) + ",\"value\":" + value + "}";
}

std::string PageCallServer::Get(const std::string& name) {
  const std::wstring wideName = Utf8ToWideText(name);
  BSTR nameText = SysAllocStringLen(wideName.data(), static_cast<UINT>(wideName.size()));
  DISPID id = DISPID_UNKNOWN;
  const HRESULT lookup = bridge_->GetDispID(nameText, fdexNameCaseSensitive, &id);
  SysFreeString(nameText);
  if (FAILED(lookup)) {
    Log("served: get " + name + " lookup=" + HexHResult(lookup));
    return "{\"kind\":\"none\",\"hr\":" + HResultJson(lookup) + "}";
  }
  if (!(static_cast<unsigned long>(id) & 0x80000000UL)) {
    Log("served: get " + name + " dispid=" + std::to_string(id) + " method");
    return "{\"kind\":\"method\"}";
  }
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = bridge_->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  std::string value;
  VariantToJson(result, value);
  VariantClear(&result);
  Log("served: get " + name + " dispid=" + std::to_string(id) + " hr=" + HexHResult(hr) + " result=" + value);
  return "{\"kind\":\"value\",\"hr\":" + HResultJson(hr) + ",\"value\":" + value + "}";
}

std::string PageCallServer::Put(const std::string& name, const std::string& argument) {
  const std::wstring wideName = Utf8ToWideText(name);
  BSTR nameText = SysAllocStringLen(wideName.data(), static_cast<UINT>(wideName.size()));
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = bridge_->GetDispID(nameText, fdexNameEnsure | fdexNameCaseSensitive, &id);
  SysFreeString(nameText);
  if (SUCCEEDED(hr)) {
    VARIANT value;
    if (!ArgumentToVariant(argument, value)) return "{\"error\":\"argument form\"}";
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    hr = bridge_->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    VariantClear(&value);
  }
  Log("served: put " + name + " dispid=" + std::to_string(id) + " value=" + argument.substr(0, 200) +
      " hr=" + HexHResult(hr));
  return "{\"hr\":" + HResultJson(hr) + "}";
}

std::string PageCallServer::Delete(const std::string& name) {
  const std::wstring wideName = Utf8ToWideText(name);
  BSTR nameText = SysAllocStringLen(wideName.data(), static_cast<UINT>(wideName.size()));
  const HRESULT hr = bridge_->DeleteMemberByName(nameText, fdexNameCaseSensitive);
  SysFreeString(nameText);
  Log("served: delete " + name + " hr=" + HexHResult(hr));
  return "{\"hr\":" + HResultJson(hr) + "}";
}

void PageCallServer::Hello(const std::string& page) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (page == currentPage_) return;
    currentPage_ = page;
  }
  changed_.notify_all();
  if (wake_) SetEvent(wake_);
  Log("page: " + page);
}

std::string PageCallServer::Events(const std::string& page) {
  std::unique_lock<std::mutex> guard(lock_);
  auto pending = [&] {
    for (const auto& event : events_) {
      if (event.page == page && !event.delivered) return true;
    }
    return false;
  };
  changed_.wait_for(guard, kEventWait, [&] { return closed_ || pending(); });
  std::string json = "{\"closed\":" + std::string(closed_ ? "true" : "false") + ",\"events\":[";
  bool first = true;
  for (auto& event : events_) {
    if (event.page != page || event.delivered) continue;
    event.delivered = true;
    json += (first ? "" : ",") + std::string("{\"seq\":") + std::to_string(event.seq) +
            ",\"fn\":" + std::to_string(event.function) + ",\"args\":" + event.args + "}";
    first = false;
  }
  return json + "]}";
}

std::string PageCallServer::Ack(long seq, bool threw) {
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto& event : events_) {
      if (event.seq == seq) {
        event.done = true;
        event.threw = threw;
        found = true;
      }
    }
  }
  if (wake_) SetEvent(wake_);
  return found ? "{\"hr\":0}" : "{\"hr\":0,\"unknown\":true}";
}

HRESULT PageCallServer::RunCallback(const std::string& page, int function, DISPPARAMS* params) {
  std::string args = "[";
  const UINT count = params ? params->cArgs : 0;
  for (UINT i = 0; i < count; ++i) {
    std::string value;
    VariantToJson(params->rgvarg[count - 1 - i], value);
    args += (i ? "," : "") + value;
  }
  args += "]";
  long seq;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_ || page != currentPage_) {
      Log("callback: function " + std::to_string(function) + " args=" + args + " of a page that is gone");
      return E_UNEXPECTED;
    }
    seq = nextSeq_++;
    Event event;
    event.seq = seq;
    event.page = page;
    event.function = function;
    event.args = args;
    events_.push_back(event);
  }
  changed_.notify_all();
  Log("callback: function " + std::to_string(function) + " args=" + args + " event " + std::to_string(seq));
  // The bridge's call returns once the page ran its function; meanwhile the page's own calls
  // (sent messages) are served on this thread, as the engine runs them inside the callback.
  const DWORD start = GetTickCount();
  HRESULT hr = S_OK;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto event = events_.begin();
      while (event != events_.end() && event->seq != seq) ++event;
      if (event != events_.end() && event->done) {
        hr = event->threw ? DISP_E_EXCEPTION : S_OK;
        events_.erase(event);
        break;
      }
      if (closed_ || page != currentPage_ || GetTickCount() - start > kCallbackLimitMs) {
        hr = E_UNEXPECTED;
        if (event != events_.end()) events_.erase(event);
        break;
      }
    }
    MsgWaitForMultipleObjects(1, &wake_, FALSE, 100, QS_SENDMESSAGE);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  Log("callback: event " + std::to_string(seq) + " returned " + HexHResult(hr));
  return hr;
}

}  // namespace qrxtest
