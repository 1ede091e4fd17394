// The network side of the test prefix, for the whole-run tests and for measuring Wine:
//   net_tool trust add|remove|has <root.der>   the prefix's machine "Root" store (CertAddEncodedCertificateToStore)
//   net_tool pull <url>                        one pull binding (the package's path): prints every notification
//   net_tool pull-refusing <url>               the same, refusing every security problem (IHttpSecurity)
//   net_tool file <url> <path>                 URLDownloadToFileW (the licence's path)
//   net_tool winhttp <url> [proxy]             one WinHTTP GET (the reports' client), direct or through a proxy
// Output lines: "progress <code> <text>", "security-flags 0x<flags>", "stop 0x<hr>", "result 0x<hr>",
// "status <http status>", "security-problem <wininet error>", "secure-failure 0x<flags>", "error <win32 error>".
// Exit code 0 when the command ran (whatever the network answered), 1 for a failed store
// operation or a missing certificate, 2 for bad usage.
#include <windows.h>
#include <wincrypt.h>
#include <urlmon.h>
#include <winhttp.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/com_object.h"
#include "common/com_ptr.h"
#include "download/pull_stream.h"

namespace {

// INTERNET_OPTION_SECURITY_FLAGS of wininet.h, which cannot be included beside winhttp.h.
constexpr DWORD kSecurityFlagsOption = 31;

std::string Narrow(const wchar_t* text) {
  if (!text) return "-";
  char buffer[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
  return buffer;
}

void Line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

bool ReadAll(const wchar_t* path, std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  bytes.resize(size);
  DWORD read = 0;
  const bool ok = size != INVALID_FILE_SIZE && ReadFile(file, bytes.data(), size, &read, nullptr) && read == size;
  CloseHandle(file);
  return ok;
}

int Trust(const wchar_t* verb, const wchar_t* derPath) {
  std::vector<BYTE> der;
  if (!ReadAll(derPath, der)) {
    Line("error %lu", GetLastError());
    return 1;
  }
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) {
    Line("error %lu", GetLastError());
    return 1;
  }
  PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  PCCERT_CONTEXT found =
      wanted ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr) : nullptr;
  int code = 0;
  if (std::wcscmp(verb, L"add") == 0) {
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      Line("error %lu", GetLastError());
      code = 1;
    }
  } else if (std::wcscmp(verb, L"remove") == 0) {
    // CertDeleteCertificateFromStore frees the context it is given, found or not.
    if (found) {
      if (!CertDeleteCertificateFromStore(found)) code = 1;
      found = nullptr;
    }
  } else {
    Line(found ? "present" : "absent");
    if (!found) code = 1;
  }
  if (found) CertFreeCertificateContext(found);
  if (wanted) CertFreeCertificateContext(wanted);
  CertCloseStore(store, 0);
  return code;
}

// Prints what a binding reports; keeps the binding to ask for its security flags.
class Watcher final : public qrx::ComObject<Watcher, IBindStatusCallback, IServiceProvider, IHttpSecurity> {
 public:
  explicit Watcher(bool refuse) : refuse_(refuse) {}

  // IServiceProvider: with `refuse`, the binding's security problems come here and are refused.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (refuse_ && IsEqualGUID(service, IID_IHttpSecurity)) return QueryInterface(riid, out);
    return E_NOINTERFACE;
  }
  // IHttpSecurity:
  HRESULT STDMETHODCALLTYPE GetWindow(REFGUID, HWND* window) override {
    if (window) *window = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD problem) override {
    Line("security-problem %lu", problem);
    return E_ABORT;
  }
  bool done() const { return done_; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    binding_ = qrx::ComPtr<IBinding>(binding);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG code, LPCWSTR text) override {
    Line("progress %lu %s", code, Narrow(text).c_str());
    if (code == BINDSTATUS_BEGINDOWNLOADDATA && binding_) {
      qrx::ComPtr<IWinInetInfo> info;
      DWORD flags = 0;
      DWORD size = sizeof(flags);
      if (SUCCEEDED(binding_.As(&info)) &&
          SUCCEEDED(info->QueryOption(kSecurityFlagsOption, &flags, &size))) {
        Line("security-flags 0x%lx", flags);
      } else {
        Line("security-flags none");
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hr, LPCWSTR text) override {
    Line("stop 0x%08lx %s", static_cast<unsigned long>(hr), Narrow(text).c_str());
    binding_.Reset();
    done_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    if (flags) *flags = 0;
    (void)info;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (!medium || medium->tymed != TYMED_ISTREAM || !medium->pstm) return S_OK;
    BYTE buffer[8192];
    ULONG read = 0;
    while (SUCCEEDED(medium->pstm->Read(buffer, sizeof(buffer), &read)) && read > 0) received_ += read;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
  unsigned long long received() const { return received_; }

 private:
  ~Watcher() override = default;
  bool refuse_;
  bool done_ = false;
  unsigned long long received_ = 0;
  qrx::ComPtr<IBinding> binding_;
};

int Pull(const wchar_t* url, bool refuse) {
  auto watcher = qrx::ComPtr<Watcher>::Attach(new Watcher(refuse));
  const HRESULT hr = downloadmanagercore::OpenPullStream(url, watcher.get());
  Line("result 0x%08lx", static_cast<unsigned long>(hr));
  const DWORD start = GetTickCount();
  while (SUCCEEDED(hr) && !watcher->done() && GetTickCount() - start < 60000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  Line("received %llu", watcher->received());
  return 0;
}

int File(const wchar_t* url, const wchar_t* path) {
  auto watcher = qrx::ComPtr<Watcher>::Attach(new Watcher(false));
  const HRESULT hr = URLDownloadToFileW(nullptr, url, path, 0, watcher.get());
  Line("result 0x%08lx", static_cast<unsigned long>(hr));
  return 0;
}

void CALLBACK OnWinHttpStatus(HINTERNET, DWORD_PTR, DWORD status, LPVOID info, DWORD) {
  if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && info) {
    Line("secure-failure 0x%lx", *static_cast<DWORD*>(info));
  }
}

int WinHttp(const wchar_t* url, const wchar_t* proxy) {
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  wchar_t host[256] = {};
  wchar_t path[2048] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  if (!WinHttpCrackUrl(url, 0, 0, &parts)) {
    Line("error %lu", GetLastError());
    return 2;
  }
  HINTERNET session = proxy ? WinHttpOpen(L"net_tool", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy, nullptr, 0)
                            : WinHttpOpen(L"net_tool", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  HINTERNET connection = session ? WinHttpConnect(session, host, parts.nPort, 0) : nullptr;
  const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  HINTERNET request = connection ? WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                      WINHTTP_DEFAULT_ACCEPT_TYPES, secure)
                                 : nullptr;
  if (request) {
    WinHttpSetStatusCallback(request, OnWinHttpStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
    if (WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) && WinHttpReceiveResponse(request, nullptr)) {
      DWORD status = 0;
      DWORD size = sizeof(status);
      WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status, &size,
                          nullptr);
      Line("status %lu", status);
    } else {
      Line("error %lu", GetLastError());
    }
  } else {
    Line("error %lu", GetLastError());
  }
  if (request) WinHttpCloseHandle(request);
  if (connection) WinHttpCloseHandle(connection);
  if (session) WinHttpCloseHandle(session);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"trust") == 0) return Trust(argv[2], argv[3]);
  if (argc >= 3 && std::wcscmp(argv[1], L"winhttp") == 0) return WinHttp(argv[2], argc >= 4 ? argv[3] : nullptr);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  int code = 2;
  if (argc >= 3 && std::wcscmp(argv[1], L"pull") == 0) code = Pull(argv[2], false);
  if (argc >= 3 && std::wcscmp(argv[1], L"pull-refusing") == 0) code = Pull(argv[2], true);
  if (argc >= 4 && std::wcscmp(argv[1], L"file") == 0) code = File(argv[2], argv[3]);
  CoUninitialize();
  return code;
}
