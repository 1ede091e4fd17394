// Throughput of DownloadFile and of a bare pull binding on one URL, and the process's memory.
// Usage: bench_download <url> <folder with trailing backslash>
//        bench_download --once <url> <folder\>   one DownloadFile only (for the resume figure)
// Prints "bench: <name> <value> <unit>" lines.
#include <windows.h>
#include <psapi.h>
#include <urlmon.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/com_ptr.h"
#include "common/unique_any.h"
#include "download/counter_text.h"
#include "download/download_file.h"
#include "download/download_owner.h"
#include "download/pull_stream.h"
#include "download/resume_plan.h"

namespace {

class BenchOwner : public downloadmanagercore::DownloadOwner {
 public:
  explicit BenchOwner(std::wstring folder) : folder_(std::move(folder)) { InitializeCriticalSection(&lock_); }
  ~BenchOwner() { DeleteCriticalSection(&lock_); }
  std::wstring GetDownloadFolder() override { return folder_; }
  void SetDownloadPath(const std::wstring& path) override { path_ = path; }
  void SetDownloadTotal(ULONG value) override { Store(total_, value); }
  void SetDownloadCurrent(ULONG value) override { Store(current_, value); }
  qrx::Logger* GetLogger() override { return nullptr; }
  std::wstring path_;

 private:
  // As the bridge does: the text under a lock.
  void Store(std::wstring& slot, ULONG value) {
    std::wstring text = downloadmanagercore::CounterText(value);
    EnterCriticalSection(&lock_);
    slot = text;
    LeaveCriticalSection(&lock_);
  }
  std::wstring folder_;
  std::wstring total_;
  std::wstring current_;
  CRITICAL_SECTION lock_;
};

// The platform's path alone: 8192-byte reads straight to a file, nothing else.
class BareCallback final : public IBindStatusCallback {
 public:
  explicit BareCallback(HANDLE file) : file_(file) {}
  bool done = false;
  HRESULT result = E_PENDING;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hr, LPCWSTR) override {
    result = hr;
    done = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    BYTE buffer[8192];
    for (;;) {
      ULONG read = 0;
      const HRESULT hr = medium->pstm->Read(buffer, sizeof(buffer), &read);
      DWORD written = 0;
      if (read > 0) WriteFile(file_, buffer, read, &written, nullptr);
      if (hr != S_OK || read == 0) return S_OK;
    }
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  HANDLE file_;
};

double Seconds(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

ULONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

SIZE_T PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PeakWorkingSetSize;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: bench_download <url> <folder\\>\n");
    return 2;
  }
  if (argc == 4 && std::wstring(argv[1]) == L"--once") {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    BenchOwner owner(argv[3]);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    downloadmanagercore::ResumeState fresh;
    const int code = downloadmanagercore::DownloadFile(owner, argv[2], fresh);
    printf("bench: download_resume_code %d code\n", code);
    printf("bench: download_resume_seconds %.1f s\n", Seconds(start));
    CoUninitialize();
    return code == 0 ? 0 : 1;
  }
  const std::wstring url = argv[1];
  const std::wstring folder = argv[2];
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const SIZE_T before = PeakWorkingSet();

  // Three rounds, each ours then the bare binding, so both see the same machine state; the ratio
  // is the median of the rounds. The working set is read around the first download only: it
  // includes what that first download loads (urlmon, wininet), paid once per process.
  const int kRounds = 3;
  double ratios[kRounds] = {};
  double ourRates[kRounds] = {};
  double bareRates[kRounds] = {};
  int code = 0;
  ULONGLONG size = 0;
  ULONGLONG bareSize = 0;
  SIZE_T after = 0;
  for (int round = 0; round < kRounds; ++round) {
    BenchOwner owner(folder);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    downloadmanagercore::ResumeState fresh;
    const int roundCode = downloadmanagercore::DownloadFile(owner, url, fresh);
    const double ours = Seconds(start);
    const ULONGLONG roundSize = FileSize(owner.path_);
    if (round == 0) after = PeakWorkingSet();
    DeleteFileW(owner.path_.c_str());

    // The same transfer through a bare binding.
    const std::wstring barePath = folder + L"bare.bin";
    double bare = 0;
    {
      qrx::UniqueFile file(CreateFileW(barePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      BareCallback callback(file.get());
      QueryPerformanceCounter(&start);
      if (SUCCEEDED(downloadmanagercore::OpenPullStream(url.c_str(), &callback))) {
        MSG message;
        while (!callback.done && GetMessageW(&message, nullptr, 0, 0) > 0) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
      bare = Seconds(start);
    }
    const ULONGLONG roundBareSize = FileSize(barePath);
    DeleteFileW(barePath.c_str());

    if (roundCode != 0 || roundSize != roundBareSize) code = roundCode != 0 ? roundCode : 1;
    size = roundSize;
    bareSize = roundBareSize;
    ourRates[round] = roundSize / ours;
    bareRates[round] = roundBareSize / bare;
    ratios[round] = ourRates[round] / bareRates[round];
  }
  std::sort(ratios, ratios + kRounds);
  std::sort(ourRates, ourRates + kRounds);
  std::sort(bareRates, bareRates + kRounds);

  const double mb = 1024.0 * 1024.0;
  printf("bench: download_code %d code\n", code);
  printf("bench: download_bytes %llu B\n", static_cast<unsigned long long>(size));
  printf("bench: download_throughput %.1f MB/s\n", ourRates[kRounds / 2] / mb);
  printf("bench: bare_binding_throughput %.1f MB/s\n", bareRates[kRounds / 2] / mb);
  printf("bench: download_vs_bare_binding %.2f ratio\n", ratios[kRounds / 2]);
  printf("bench: download_vs_bare_binding_range %.2f-%.2f ratio\n", ratios[0], ratios[kRounds - 1]);
  printf("bench: download_peak_working_set %.1f MB\n", after / mb);
  printf("bench: download_peak_working_set_growth %.1f MB\n", (after - before) / mb);
  CoUninitialize();
  return code == 0 && size == bareSize ? 0 : 1;
}
