#include "bridge/worker_threads.h"

#include <objbase.h>

#include <memory>

#include "bridge/worker_host.h"
#include "bridge/worker_pool.h"
#include "common/com_ptr.h"
#include "common/result_codes.h"
#include "common/scoped_com_init.h"
#include "download/download_result.h"

namespace downloadmanagercore {

const wchar_t kLogDownloadMarshalFailed[] = L"ZSDownload: CoMarshalInterThreadInterfaceInStream failed with %x";
const wchar_t kLogInstallMarshalFailed[] = L"ZSInstall: CoMarshalInterThreadInterfaceInStream failed with %x";
const wchar_t kLogDownloadThreadFailed[] = L"ZSDownload: CreateThread failed with %x";
const wchar_t kLogInstallThreadFailed[] = L"ZSInstall: CreateThread failed with %x";
const wchar_t kLogDownloadThread[] = L"DownloadThreadFunc";
const wchar_t kLogDownloadUnmarshalFailed[] = L"DownloadThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x";
const wchar_t kLogDownloadFailed[] = L"Download fail, download path : %s, download result : %d";
const wchar_t kLogDownloadStopped[] = L"DownloadThreadFunc stopped by shut-down";
const wchar_t kLogInstallThread[] = L"InstallThreadFunc";
const wchar_t kLogInstallUnmarshalFailed[] = L"InstallThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x";
const wchar_t kLogInstallStopped[] = L"InstallThreadFunc stopped by shut-down";
const wchar_t kLogStartProgramFailed[] = L"GetInstalledStartProgram failed";
const char kLogCallJsCallback[] = "call js callback.";
const wchar_t kLogCallJsCallbackReturn[] = L"callJscallback return %x.";

namespace {

// What every worker task holds: a counted reference on the bridge (seen only as its WorkerHost)
// for the task's life, and the marshalled page callback.
class CallbackTask : public WorkerTask {
 public:
  explicit CallbackTask(WorkerHost* host) : host_(host) {}
  // A stream that never reached its thread still holds the marshalled callback: released here so
  // the page's object loses that reference too.
  ~CallbackTask() override {
    if (!stream_) return;
    const LARGE_INTEGER start = {};
    stream_->Seek(start, STREAM_SEEK_SET, nullptr);
    CoReleaseMarshalData(stream_.get());
  }

  HRESULT Marshal(IDispatch* callback) {
    return CoMarshalInterThreadInterfaceInStream(IID_IDispatch, callback, stream_.put());
  }

 protected:
  // The callback for this thread; the stream is used up either way.
  HRESULT Unmarshal(qrx::ComPtr<IDispatch>& callback) {
    return CoGetInterfaceAndReleaseStream(stream_.Detach(), IID_IDispatch, callback.put_void());
  }
  // Calls back unless shut-down has begun (the page is gone or going).
  void CallBack(IDispatch* callback, int code) {
    if (host_->closing() || host_->stopRequested()) return;
    callJscallback(callback, code, host_->GetLogger());
  }
  // Gives up the bridge on this thread, inside its apartment: the last reference may be this one.
  void ReleaseHost() { host_.Reset(); }

  qrx::ComPtr<WorkerHost> host_;

 private:
  qrx::ComPtr<IStream> stream_;
};

class DownloadTask final : public CallbackTask {
 public:
  DownloadTask(WorkerHost* host, const std::wstring& url) : CallbackTask(host), url_(url) {}
  void Run() override;

 private:
  std::wstring url_;
};

class InstallTask final : public CallbackTask {
 public:
  InstallTask(WorkerHost* host, const std::wstring& packagePath, const std::wstring& parameters)
      : CallbackTask(host), packagePath_(packagePath), parameters_(parameters) {}
  void Run() override;

 private:
  static void RecordInstallResult(WorkerHost* host, qrx::Logger* log, int code);

  std::wstring packagePath_;
  std::wstring parameters_;
};

// The download thread's work.
void DownloadTask::Run() {
  qrx::ScopedComInit com(COINIT_MULTITHREADED);
  WorkerHost* host = host_.get();
  qrx::Logger* log = host->GetLogger();
  qrx::LogDebug(log, kLogDownloadThread);
  qrx::ComPtr<IDispatch> callback;
  const HRESULT hr = Unmarshal(callback);
  if (FAILED(hr)) {
    qrx::LogError(log, kLogDownloadUnmarshalFailed, static_cast<unsigned>(hr));
  } else {
    const int code = host->DownloadFile(url_);
    if (host->stopRequested()) {
      // Not a failure: the error fields stay as they stood and the closed page hears nothing.
      qrx::LogDebug(log, kLogDownloadStopped);
    } else {
      if (code != kDownloadOk) {
        host->SetErrorFields(qrx::kWrapperDownloadFailed, code);
        qrx::LogError(log, kLogDownloadFailed, host->downloadPath().c_str(), code);
      }
      CallBack(callback.get(), code);
    }
    callback.Reset();
  }
  ReleaseHost();
}

// The install thread's work.
void InstallTask::Run() {
  qrx::ScopedComInit com(COINIT_MULTITHREADED);
  WorkerHost* host = host_.get();
  qrx::Logger* log = host->GetLogger();
  qrx::LogDebug(log, kLogInstallThread);
  qrx::ComPtr<IDispatch> callback;
  const HRESULT hr = Unmarshal(callback);
  if (FAILED(hr)) {
    qrx::LogError(log, kLogInstallUnmarshalFailed, static_cast<unsigned>(hr));
  } else {
    const int code = host->InstallPackage(packagePath_, parameters_);
    if (code == qrx::kInstallStopped) {
      // Ended by the stop: nothing is recorded, the report shows the fields as they stood before.
      qrx::LogDebug(log, kLogInstallStopped);
    } else {
      RecordInstallResult(host, log, code);
      CallBack(callback.get(), code);
    }
    callback.Reset();
  }
  ReleaseHost();
}

// A result the install reached is the run's even when a stop came meanwhile: a failure records
// 2 and the result over any stage the install logged. After a good setup the product's program is
// looked for, unless shut-down has begun.
void InstallTask::RecordInstallResult(WorkerHost* host, qrx::Logger* log, int code) {
  if (code == qrx::kInstallSucceeded) {
    if (host->stopRequested()) return;
    std::wstring startProgram;
    if (host->GetInstalledStartProgram(startProgram)) {
      host->SetStartProgram(startProgram);
    } else {
      qrx::LogError(log, kLogStartProgramFailed);
      host->SetErrorFields(qrx::kWrapperNoStartProgram, 0);
    }
  } else if (code != qrx::kInstallNotImplemented) {
    host->SetErrorFields(qrx::kWrapperInstallFailed, code);
  }
}

// Marshals the callback and hands the task to the pool; logs either failure with its format.
HRESULT StartWorker(WorkerPool& pool, std::unique_ptr<CallbackTask> task, IDispatch* callback, qrx::Logger* logger,
                    const wchar_t* marshalFailed, bool marshalFailureIsError, const wchar_t* threadFailed) {
  HRESULT hr = task->Marshal(callback);
  if (FAILED(hr)) {
    if (marshalFailureIsError) {
      qrx::LogError(logger, marshalFailed, static_cast<unsigned>(hr));
    } else {
      qrx::LogDebug(logger, marshalFailed, static_cast<unsigned>(hr));
    }
    return hr;
  }
  hr = pool.Start(std::move(task));
  if (FAILED(hr)) qrx::LogError(logger, threadFailed, static_cast<unsigned>(hr));
  return hr;
}

}  // namespace

HRESULT StartDownloadWorker(WorkerPool& pool, WorkerHost* host, const std::wstring& url, IDispatch* callback) {
  return StartWorker(pool, std::make_unique<DownloadTask>(host, url), callback, host->GetLogger(),
                     kLogDownloadMarshalFailed, true, kLogDownloadThreadFailed);
}

HRESULT StartInstallWorker(WorkerPool& pool, WorkerHost* host, const std::wstring& packagePath,
                           const std::wstring& parameters, IDispatch* callback) {
  return StartWorker(pool, std::make_unique<InstallTask>(host, packagePath, parameters), callback, host->GetLogger(),
                     kLogInstallMarshalFailed, false, kLogInstallThreadFailed);
}

HRESULT callJscallback(IDispatch* callback, int value, qrx::Logger* logger) {
  qrx::LogDebugA(logger, kLogCallJsCallback);
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = value;
  DISPPARAMS params = {&argument, nullptr, 1, 0};
  const HRESULT hr = callback->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  qrx::LogDebug(logger, kLogCallJsCallbackReturn, static_cast<unsigned>(hr));
  return hr;
}

}  // namespace downloadmanagercore
