#include "download/download_file.h"

#include <windows.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <utility>

#include "common/com_ptr.h"
#include "common/com_object.h"
#include "common/hresult.h"
#include "common/sha256.h"
#include "common/unique_any.h"
#include "download/download_callback.h"
#include "download/download_owner.h"
#include "download/download_request.h"
#include "download/download_result.h"
#include "download/pull_stream.h"

namespace downloadmanagercore {

namespace {

// Owns the file side of one attempt: pre-sizing, writing, the final cut and the outcome.
// Forwards the other notifications to the attempt's callback until the attempt ends.
class BSCHolder final : public qrx::ComObject<BSCHolder, IBindStatusCallback> {
 public:
  // `hash`, when given, is fed every byte written to the file.
  BSCHolder(HANDLE file, IBindStatusCallback* callback, qrx::Sha256* hash)
      : file_(file), callback_(callback), hash_(hash) {
    if (callback_) callback_->AddRef();
  }
  HRESULT result() const { return result_; }

  // Ends the attempt for this object: the file is about to be closed and the callback to go out
  // of scope, so late notifications of a binding that is still running touch neither. A binding
  // that has not stopped leaves the file cut at the last byte written.
  void EndAttempt() {
    if (!stopped_ && file_ != INVALID_HANDLE_VALUE) SetEndOfFile(file_);
    file_ = INVALID_HANDLE_VALUE;
    binding_.Reset();
    if (callback_) {
      IBindStatusCallback* callback = callback_;
      callback_ = nullptr;
      callback->Release();
    }
  }

  // Ends the binding (shut-down asked the download to stop); the outcome becomes E_ABORT unless
  // the binding already had one.
  void Abort() {
    if (result_ == E_PENDING) result_ = E_ABORT;
    // Taken out first: the abort may report OnStopBinding from inside.
    qrx::ComPtr<IBinding> binding = std::move(binding_);
    if (binding) binding->Abort();
  }

  // IBindStatusCallback:
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override {
    binding_ = qrx::ComPtr<IBinding>(binding);
    return callback_ ? callback_->OnStartBinding(reserved, binding) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override {
    return callback_ ? callback_->GetPriority(priority) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override {
    return callback_ ? callback_->OnLowResource(reserved) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override {
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA && progressMax != 0 && file_ != INVALID_HANDLE_VALUE) {
      announced_ = progressMax;
      // Extend the file to the announced size before the first byte is written.
      LARGE_INTEGER size;
      size.QuadPart = progressMax;
      if (SetFilePointerEx(file_, size, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file_);
        LARGE_INTEGER start = {};
        SetFilePointerEx(file_, start, nullptr, FILE_BEGIN);
      }
    }
    return callback_ ? callback_->OnProgress(progress, progressMax, statusCode, statusText) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT hr, LPCWSTR error) override {
    if (stopped_ || file_ == INVALID_HANDLE_VALUE) return callback_ ? callback_->OnStopBinding(hr, error) : E_NOTIMPL;
    stopped_ = true;
    binding_.Reset();
    if (hr == S_OK) {
      LARGE_INTEGER zero = {};
      LARGE_INTEGER position = {};
      LARGE_INTEGER size = {};
      if (SetFilePointerEx(file_, zero, &position, FILE_CURRENT) && GetFileSizeEx(file_, &size)) {
        // Fewer bytes than announced: the pre-sized tail was never written. The announced count
        // is compared as well, for the case where the pre-sizing itself did not take.
        const bool shortOfFileSize = position.QuadPart != size.QuadPart;
        const bool shortOfAnnounced = static_cast<ULONGLONG>(position.QuadPart) < announced_;
        if (shortOfFileSize || shortOfAnnounced) {
          hr = S_FALSE;
          SetEndOfFile(file_);
        }
      }
    } else {
      SetEndOfFile(file_);
    }
    if (!writeFailed_ && result_ != E_ABORT) result_ = hr;
    return callback_ ? callback_->OnStopBinding(hr, error) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* bindf, BINDINFO* bindInfo) override {
    return callback_ ? callback_->GetBindInfo(bindf, bindInfo) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (file_ == INVALID_HANDLE_VALUE) return E_ABORT;
    if (!medium || medium->tymed != TYMED_ISTREAM || !medium->pstm) return E_INVALIDARG;
    for (;;) {
      BYTE buffer[kDownloadReadSize];
      ULONG read = 0;
      const HRESULT readResult = medium->pstm->Read(buffer, sizeof(buffer), &read);
      if (read > 0 && !Write(buffer, read)) return E_ABORT;
      if (readResult == S_OK) {
        // A stream that answers S_OK without data has nothing more for now.
        if (read == 0) return S_OK;
        continue;
      }
      if (readResult == S_FALSE || readResult == E_PENDING) return S_OK;
      return readResult;
    }
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

 private:
  ~BSCHolder() override { EndAttempt(); }

  // Writes the chunk; a write that stores only part of it goes on with the rest, so the next call
  // reports the real error (a full volume gives a partial write first). On failure pins the
  // outcome to the write error and cuts the file there.
  bool Write(const BYTE* data, ULONG size) {
    if (hash_) hash_->Update(data, size);
    while (size > 0) {
      DWORD written = 0;
      if (!WriteFile(file_, data, size, &written, nullptr) || written == 0) {
        writeFailed_ = true;
        result_ = qrx::HResultFromLastError();
        SetEndOfFile(file_);
        return false;
      }
      data += written;
      size -= written;
    }
    return true;
  }

  HRESULT result_ = E_PENDING;
  bool writeFailed_ = false;
  bool stopped_ = false;
  ULONGLONG announced_ = 0;
  qrx::ComPtr<IBinding> binding_;
  HANDLE file_;
  IBindStatusCallback* callback_;
  qrx::Sha256* hash_;
};

// Pumps this thread's messages until the holder has an outcome or `stop` is set (then the binding
// is aborted: E_ABORT). E_PENDING when WM_QUIT ended the wait; the quit is posted again for an
// outer loop.
HRESULT WaitForOutcome(BSCHolder& holder, HANDLE stop) {
  const DWORD handleCount = stop ? 1 : 0;
  while (holder.result() == E_PENDING) {
    const DWORD wait = MsgWaitForMultipleObjects(handleCount, &stop, FALSE, INFINITE, QS_ALLINPUT);
    if (handleCount && wait == WAIT_OBJECT_0) {
      holder.Abort();
      break;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return E_PENDING;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return holder.result();
}

bool IsSet(HANDLE event) { return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// One attempt: a fresh file, one binding, its outcome. With an expected digest, the bytes are
// hashed as they are written; a complete transfer that does not match is deleted and fails.
HRESULT RunAttempt(const std::wstring& path, const DownloadRequest& request, DownloadCallback& callback,
                   qrx::Logger* log, HANDLE stop) {
  qrx::UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return qrx::HResultFromLastError();
  qrx::Sha256 hash;
  auto holder =
      qrx::ComPtr<BSCHolder>::Attach(new BSCHolder(file.get(), &callback, request.hasDigest ? &hash : nullptr));
  HRESULT hr = OpenPullStream(request.transferUrl.c_str(), holder.get());
  if (SUCCEEDED(hr)) hr = WaitForOutcome(*holder.get(), stop);
  // The file closes and the callback goes out of scope with this attempt.
  holder->EndAttempt();
  file.Reset();
  if (hr != S_OK || !request.hasDigest) return hr;
  qrx::Sha256Digest received{};
  const bool hashed = hash.Finish(received);
  if (hashed && received == request.digest) return hr;
  DeleteFileW(path.c_str());
  qrx::LogError(log, kLogDownloadHashMismatch, qrx::DigestHex(request.digest).c_str(),
                hashed ? qrx::DigestHex(received).c_str() : L"-");
  return CRYPT_E_HASH_VALUE;
}

}  // namespace

bool RetryBudget::RetryAfter(int code, bool dataReceived) {
  if (code != kDownloadTransient) return false;
  if (dataReceived) {
    left_ = kDownloadRetryBudget;
    return true;
  }
  return --left_ > 0;
}

std::wstring DownloadFileName(const std::wstring& url) { return PathFindFileNameW(url.c_str()); }

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/") == std::wstring::npos;
}

int DownloadFile(DownloadOwner& owner, const std::wstring& url) {
  DownloadRequest request;
  const RequestCheck check = ParseDownloadRequest(url, request);
  if (check != RequestCheck::kOk) {
    // Refused before any request or file: nothing of this URL becomes the package path.
    owner.SetDownloadPath(std::wstring());
    qrx::LogError(owner.GetLogger(),
                  check == RequestCheck::kUnsupportedScheme ? kLogDownloadSchemeRefused : kLogDownloadFragmentRefused,
                  url.c_str());
    return kDownloadError;
  }
  const std::wstring name = DownloadFileName(request.transferUrl);
  const std::wstring path = owner.GetDownloadFolder() + name;
  owner.SetDownloadPath(path);
  const HANDLE stop = owner.GetStopEvent();
  RetryBudget budget;
  for (;;) {
    auto callback = qrx::ComPtr<DownloadCallback>::Attach(new DownloadCallback(&owner));
    // A name that would not stay inside the download folder is refused like an invalid name.
    const HRESULT hr = IsPlainFileName(name) ? RunAttempt(path, request, *callback.get(), owner.GetLogger(), stop)
                                             : qrx::HResultFromWin32(ERROR_INVALID_NAME);
    owner.OnAttemptEnded(hr);
    const int code = TransferDownloadError(owner, hr);
    // A stopped download is not tried again.
    if (IsSet(stop) || !budget.RetryAfter(code, callback->dataReceived())) return code;
  }
}

}  // namespace downloadmanagercore
