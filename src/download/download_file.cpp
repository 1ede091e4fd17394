#include "download/download_file.h"

#include <windows.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <cstring>
#include <memory>
#include <utility>

#include "common/com_ptr.h"
#include "common/com_object.h"
#include "common/hresult.h"
#include "common/sha256.h"
#include "common/unique_any.h"
#include "download/attempt_log.h"
#include "download/download_callback.h"
#include "download/download_owner.h"
#include "download/download_request.h"
#include "download/download_result.h"
#include "download/http_answer.h"
#include "download/pull_stream.h"
#include "download/resume_plan.h"
#include "download/retry_plan.h"
#include "download/transport_guard.h"
#include "download/transport_policy.h"

namespace downloadmanagercore {

namespace {

// Owns the file side of one attempt: pre-sizing, writing, the final cut and the outcome. Asks for
// the rest of the file when the attempt resumes, and judges the answer before any byte of it is
// written. Forwards the other notifications to the attempt's callback until the attempt ends.
// Its transport guard decides on redirects, certificates and a proxy's demand for credentials.
class BSCHolder final
    : public qrx::ComObject<BSCHolder, IBindStatusCallback, IHttpNegotiate, IServiceProvider, IHttpSecurity> {
 public:
  // `rangeFrom` > 0: the file holds that many bytes and is positioned after them; the request
  // asks for the rest.
  BSCHolder(HANDLE file, IBindStatusCallback* callback, ResumeState* state, ULONGLONG rangeFrom,
            qrx::Logger* log, TransportGuard* guard)
      : file_(file), callback_(callback), state_(state), rangeFrom_(rangeFrom), log_(log), guard_(guard) {
    if (callback_) callback_->AddRef();
    lastActivity_ = GetTickCount64();
  }
  HRESULT result() const { return result_; }
  bool firstByte() const { return firstByte_; }
  ULONGLONG lastActivity() const { return lastActivity_; }
  ULONGLONG written() const { return written_; }
  bool watchdogFired() const { return watchdog_; }
  unsigned long status() const { return answered_ ? answer_.status : 0; }
  const HttpAnswer& answer() const { return answer_; }

  // Ends the attempt for this object: the file is about to be closed and the callback to go out
  // of scope, so late notifications of a binding that is still running touch neither. A binding
  // that has not stopped leaves the file cut at the last byte written.
  void EndAttempt() {
    if (!stopped_ && file_ != INVALID_HANDLE_VALUE) SetEndOfFile(file_);
    file_ = INVALID_HANDLE_VALUE;
    state_ = nullptr;
    binding_.Reset();
    if (callback_) {
      IBindStatusCallback* callback = callback_;
      callback_ = nullptr;
      callback->Release();
    }
  }

  // Ends the binding: `why` becomes the outcome unless the binding already had one. E_ABORT when
  // shut-down asked the download to stop, the stall result when the watchdog ends it.
  void Abort(HRESULT why) {
    if (result_ == E_PENDING) {
      result_ = why;
      pinned_ = true;
      watchdog_ = why == kStalledHResult;
    }
    // Taken out first: the abort may report OnStopBinding from inside.
    qrx::ComPtr<IBinding> binding = std::move(binding_);
    if (binding) binding->Abort();
  }

  // IServiceProvider: the binding asks here what to do about security problems.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(service, IID_IHttpSecurity) || IsEqualGUID(service, IID_IHttpNegotiate)) {
      return QueryInterface(riid, out);
    }
    return E_NOINTERFACE;
  }
  // IHttpSecurity: no window, and every certificate problem ends the attempt (the binding is never
  // retried with a check switched off). The binding ends itself on our E_ABORT.
  HRESULT STDMETHODCALLTYPE GetWindow(REFGUID, HWND* window) override {
    if (window) *window = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD problem) override {
    const HRESULT refusal = guard_->OnSecurityProblem(problem);
    if (result_ == E_PENDING) {
      result_ = refusal;
      pinned_ = true;
    }
    return E_ABORT;
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
    if (file_ != INVALID_HANDLE_VALUE && guard_->OnProgress(binding_.get(), statusCode, statusText) != S_OK) {
      Abort(guard_->refusal());
      return S_OK;
    }
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
        statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
      firstByte_ = true;
      lastActivity_ = GetTickCount64();
      if (!Settle()) return S_OK;
    }
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA && progressMax != 0 && file_ != INVALID_HANDLE_VALUE) {
      // A partial answer announces the rest: the file keeps its full length.
      announced_ = Base() + progressMax;
      // Extend the file to the announced size before the first byte is written.
      LARGE_INTEGER size;
      size.QuadPart = static_cast<LONGLONG>(announced_);
      if (SetFilePointerEx(file_, size, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file_);
        LARGE_INTEGER start;
        start.QuadPart = static_cast<LONGLONG>(Base());
        SetFilePointerEx(file_, start, nullptr, FILE_BEGIN);
      }
    }
    if (!callback_) return E_NOTIMPL;
    // The counters count the whole file: a resumed attempt's progress starts after the kept bytes.
    const ULONG base = static_cast<ULONG>(Base());
    if (statusCode == BINDSTATUS_BEGINDOWNLOADDATA || statusCode == BINDSTATUS_DOWNLOADINGDATA ||
        statusCode == BINDSTATUS_ENDDOWNLOADDATA) {
      return callback_->OnProgress(progress + base, progressMax + base, statusCode, statusText);
    }
    return callback_->OnProgress(progress, progressMax, statusCode, statusText);
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
      // Where the platform reports an HTTP error status as a plain failure, the status decides.
      if (answered_ && HttpStatusFailure(answer_.status) != S_OK) hr = HttpStatusFailure(answer_.status);
    }
    if (!pinned_) result_ = hr;
    return callback_ ? callback_->OnStopBinding(hr, error) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* bindf, BINDINFO* bindInfo) override {
    const HRESULT hr = callback_ ? callback_->GetBindInfo(bindf, bindInfo) : E_NOTIMPL;
    // From the server every time, and nothing kept in the cache: a resumed attempt must not be
    // answered from a stored copy.
    if (bindf) *bindf |= BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (file_ == INVALID_HANDLE_VALUE) return E_ABORT;
    if (!Settle()) return E_ABORT;
    if (!medium || medium->tymed != TYMED_ISTREAM || !medium->pstm) return E_INVALIDARG;
    for (;;) {
      BYTE buffer[kDownloadReadSize];
      ULONG read = 0;
      const HRESULT readResult = medium->pstm->Read(buffer, sizeof(buffer), &read);
      if (read > 0) {
        firstByte_ = true;
        lastActivity_ = GetTickCount64();
        // An error answer's page is read and dropped: it never joins the kept bytes.
        const bool errorPage = answered_ && answer_.status >= 400;
        if (!errorPage && !Write(buffer, read)) return E_ABORT;
      }
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

  // IHttpNegotiate:
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additional) override {
    if (!additional) return E_POINTER;
    *additional = nullptr;
    if (rangeFrom_ == 0 || !state_) return S_OK;
    const std::wstring headers = RangeRequestHeaders(rangeFrom_, state_->basis.validator);
    const size_t bytes = (headers.size() + 1) * sizeof(wchar_t);
    auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!text) return E_OUTOFMEMORY;
    memcpy(text, headers.c_str(), bytes);
    *additional = text;
    rangeAsked_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR headers, LPCWSTR, LPWSTR* additional) override {
    if (additional) *additional = nullptr;
    if (!answered_) {
      answered_ = true;
      ParseHttpAnswer(status, headers ? headers : L"", answer_);
      // A refused range comes as an error status, whose body is never passed on: decided here.
      if (rangeAsked_ && status == 416 && !settled_) {
        settled_ = true;
        Refuse(RestartReason::kNotSatisfiable);
      }
    }
    // A proxy asking for credentials: none are ever offered.
    if (file_ != INVALID_HANDLE_VALUE && guard_->OnResponse(status) != S_OK) Abort(guard_->refusal());
    return S_OK;
  }

 private:
  ~BSCHolder() override { EndAttempt(); }

  // Where this attempt's bytes go in the file.
  ULONGLONG Base() const { return appending_ ? rangeFrom_ : 0; }

  // Once, before the first byte is written: whether the answer is appended, written from byte 0,
  // or refused (then the binding is aborted, the file emptied, and false returned).
  bool Settle() {
    if (settled_) return !refused_;
    settled_ = true;
    if (!state_ || file_ == INVALID_HANDLE_VALUE) return true;
    if (answered_ && answer_.status >= 400) return true;
    RestartReason reason = RestartReason::kNone;
    if (rangeAsked_) {
      // A range answer whose headers we never saw cannot be trusted to start where we asked.
      reason = answered_ ? JudgeRangeAnswer(state_->basis, rangeFrom_, answer_) : RestartReason::kOtherStatus;
    } else if (rangeFrom_ > 0) {
      // The request went out without the range: the whole file comes.
      reason = RestartReason::kWholeFile;
    }
    if (reason == RestartReason::kNone && rangeFrom_ > 0) {
      appending_ = true;
      LogResume(log_, rangeFrom_, state_->basis.length);
      return true;
    }
    if (reason == RestartReason::kNone || reason == RestartReason::kWholeFile) {
      if (rangeFrom_ > 0) RestartFile(reason);
      // A whole file from byte 0: what it promises is what later attempts resume against.
      if (answered_) {
        TakeBasis(answer_, state_->basis);
      } else {
        state_->basis.known = false;
      }
      return true;
    }
    Refuse(reason);
    Abort(kRangeRefusedHResult);
    return false;
  }

  // The kept bytes go: the file is emptied and the hash begun afresh.
  void RestartFile(RestartReason reason) {
    LogRestart(log_, reason);
    LARGE_INTEGER start = {};
    SetFilePointerEx(file_, start, nullptr, FILE_BEGIN);
    SetEndOfFile(file_);
    state_->Restart();
  }

  // An answer that cannot be appended: nothing of it is written, the next attempt starts from 0.
  void Refuse(RestartReason reason) {
    if (!state_ || file_ == INVALID_HANDLE_VALUE) return;
    RestartFile(reason);
    refused_ = true;
    if (result_ == E_PENDING) result_ = kRangeRefusedHResult;
    pinned_ = true;
  }

  // Writes the chunk; a write that stores only part of it goes on with the rest, so the next call
  // reports the real error (a full volume gives a partial write first). On failure pins the
  // outcome to the write error and cuts the file there. The hash takes exactly the bytes written,
  // so it still matches the kept bytes when a later call resumes after a full volume.
  bool Write(const BYTE* data, ULONG size) {
    written_ += size;
    while (size > 0) {
      DWORD written = 0;
      if (!WriteFile(file_, data, size, &written, nullptr) || written == 0) {
        pinned_ = true;
        result_ = qrx::HResultFromLastError();
        SetEndOfFile(file_);
        return false;
      }
      if (state_ && state_->hash) state_->hash->Update(data, written);
      data += written;
      size -= written;
    }
    return true;
  }

  HRESULT result_ = E_PENDING;
  bool pinned_ = false;  // a write error, a refusal or our own abort decided the outcome
  bool stopped_ = false;
  bool watchdog_ = false;
  bool firstByte_ = false;
  bool rangeAsked_ = false;
  bool answered_ = false;
  bool settled_ = false;
  bool appending_ = false;
  bool refused_ = false;
  ULONGLONG announced_ = 0;
  ULONGLONG written_ = 0;
  ULONGLONG lastActivity_ = 0;
  HttpAnswer answer_;
  qrx::ComPtr<IBinding> binding_;
  HANDLE file_;
  IBindStatusCallback* callback_;
  ResumeState* state_;
  ULONGLONG rangeFrom_;
  qrx::Logger* log_;
  TransportGuard* guard_;
};

// Pumps this thread's messages until the holder has an outcome. Ends the binding when `stop` is
// set (E_ABORT) or when no byte came for the stall limit, or no first byte for the first-byte
// limit (the stall result). E_PENDING when WM_QUIT ended the wait; the quit is posted again for
// an outer loop.
HRESULT WaitForOutcome(BSCHolder& holder, HANDLE stop, const RetryLimits& limits) {
  const DWORD handleCount = stop ? 1 : 0;
  while (holder.result() == E_PENDING) {
    const ULONGLONG limit = holder.firstByte() ? limits.stallMs : limits.firstByteMs;
    const ULONGLONG idle = GetTickCount64() - holder.lastActivity();
    if (idle >= limit) {
      holder.Abort(kStalledHResult);
      break;
    }
    const DWORD wait =
        MsgWaitForMultipleObjects(handleCount, &stop, FALSE, static_cast<DWORD>(limit - idle), QS_ALLINPUT);
    if (handleCount && wait == WAIT_OBJECT_0) {
      holder.Abort(E_ABORT);
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

// Waits between attempts; false when the stop event ended the wait.
bool PauseBeforeRetry(HANDLE stop, DWORD waitMs) {
  if (!stop) {
    Sleep(waitMs);
    return true;
  }
  return WaitForSingleObject(stop, waitMs) != WAIT_OBJECT_0;
}

struct AttemptReport {
  HRESULT hr = E_FAIL;
  ULONGLONG received = 0;
  bool watchdog = false;
  bool firstByte = false;
  unsigned long status = 0;
  bool hasRetryAfter = false;
  ULONGLONG retryAfterMs = 0;
};

// One attempt: the file from byte 0, or from the kept bytes when the first answer allows asking
// for the rest; one binding; its outcome. With an expected digest, the bytes are hashed as they
// are written; a complete file that does not match is deleted and fails.
AttemptReport RunAttempt(const std::wstring& path, const DownloadRequest& request, DownloadCallback& callback,
                         ResumeState& state, const RetryLimits& limits, qrx::Logger* log, HANDLE stop,
                         int attempt) {
  AttemptReport report;
  if (state.kept > 0) {
    const RestartReason reason = RangeRequestFor(state.basis, state.kept);
    if (reason != RestartReason::kNone) {
      LogRestart(log, reason);
      state.Restart();
    }
  }
  const ULONGLONG rangeFrom = state.kept;
  LogAttemptStart(log, attempt, rangeFrom);
  qrx::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                   rangeFrom > 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(rangeFrom);
  if (!file || (rangeFrom > 0 && !SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN))) {
    report.hr = qrx::HResultFromLastError();
    state.Restart();
    return report;
  }
  TransportGuard guard(request.transferUrl, log);
  auto holder =
      qrx::ComPtr<BSCHolder>::Attach(new BSCHolder(file.get(), &callback, &state, rangeFrom, log, &guard));
  HRESULT hr = OpenPullStream(request.transferUrl.c_str(), holder.get());
  if (SUCCEEDED(hr)) hr = WaitForOutcome(*holder.get(), stop, limits);
  guard.LogOutcome(hr);
  // The file closes and the callback goes out of scope with this attempt; what is on disk up to
  // the file position is what a later attempt may keep.
  holder->EndAttempt();
  LARGE_INTEGER zero = {};
  LARGE_INTEGER end = {};
  state.kept = SetFilePointerEx(file.get(), zero, &end, FILE_CURRENT) ? static_cast<ULONGLONG>(end.QuadPart) : 0;
  if (state.kept == 0) state.Restart();
  file.Reset();
  report.received = holder->written();
  report.watchdog = holder->watchdogFired();
  report.firstByte = holder->firstByte();
  report.status = holder->status();
  report.hasRetryAfter = ParseRetryAfter(holder->answer().retryAfter, UnixSecondsNow(), report.retryAfterMs);
  report.hr = hr;
  if (hr != S_OK || !request.hasDigest) return report;
  qrx::Sha256Digest received{};
  const bool hashed = state.hash && state.hash->Finish(received);
  if (hashed && received == request.digest) return report;
  DeleteFileW(path.c_str());
  state.Restart();
  qrx::LogError(log, kLogDownloadHashMismatch, qrx::DigestHex(request.digest).c_str(),
                hashed ? qrx::DigestHex(received).c_str() : L"-");
  report.hr = CRYPT_E_HASH_VALUE;
  return report;
}

// Whether the file at `path` holds exactly `size` bytes.
bool FileSizeIs(const std::wstring& path, ULONGLONG size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  return ((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == size;
}

// The attempts of one download into `state.path`, until one finishes or the retry plan ends it.
int RunAttempts(DownloadOwner& owner, const DownloadRequest& request, const std::wstring& name, ResumeState& state) {
  qrx::Logger* log = owner.GetLogger();
  const HANDLE stop = owner.GetStopEvent();
  const RetryLimits limits = BuildRetryLimits();
  RetryPlan plan(limits, GetTickCount64());
  ULONGLONG furthest = 0;
  for (int attempt = 1;; ++attempt) {
    auto callback = qrx::ComPtr<DownloadCallback>::Attach(new DownloadCallback(&owner));
    AttemptReport report;
    // A name that would not stay inside the download folder is refused like an invalid name.
    if (IsPlainFileName(name)) {
      report = RunAttempt(state.path, request, *callback.get(), state, limits, log, stop, attempt);
      LogAttemptEnd(log, attempt, ClassifyAttemptEnd(report.hr, report.watchdog, report.firstByte, report.status),
                    report.status, report.hr, report.received);
    } else {
      report.hr = qrx::HResultFromWin32(ERROR_INVALID_NAME);
    }
    owner.OnAttemptEnded(report.hr, report.status);
    const int code = TransferDownloadError(owner, report.hr);
    // Wine may send the last progress notice before the last bytes: a finished file counts whole.
    if (code == kDownloadOk && state.kept > 0) owner.SetDownloadCurrent(static_cast<ULONG>(state.kept));
    // A stopped download is not tried again.
    if (IsSet(stop)) return code;
    if (state.kept > furthest) furthest = state.kept;
    AttemptOutcome outcome;
    outcome.code = code;
    outcome.dataReceived = report.received > 0;
    outcome.hasRetryAfter = report.hasRetryAfter;
    outcome.retryAfterMs = report.retryAfterMs;
    outcome.furthestOffset = furthest;
    outcome.nowMs = GetTickCount64();
    const RetryDecision decision = plan.After(outcome);
    if (decision.stop != RetryStop::kNone) {
      LogGiveUp(log, limits, decision.stop, report.retryAfterMs);
      return decision.code;
    }
    LogWait(log, decision.waitMs, attempt + 1);
    if (!PauseBeforeRetry(stop, decision.waitMs)) return code;
  }
}

}  // namespace

std::wstring DownloadFileName(const std::wstring& url) { return PathFindFileNameW(url.c_str()); }

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/") == std::wstring::npos;
}

int DownloadFile(DownloadOwner& owner, const std::wstring& url, ResumeState& state) {
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
  // Visible in the error reports: neither TLS nor a hash vouches for this package.
  if (IsUnprotectedDownload(request.transferUrl, request.hasDigest)) {
    qrx::LogWarning(owner.GetLogger(), kLogDownloadPlain, request.transferUrl.c_str());
  }
  const std::wstring name = DownloadFileName(request.transferUrl);
  const std::wstring path = owner.GetDownloadFolder() + name;
  owner.SetDownloadPath(path);
  // What a failed call for the same URL left is taken up while the file still holds exactly those bytes.
  if (state.kept == 0 || state.path != path || state.wantHash != request.hasDigest || !FileSizeIs(path, state.kept)) {
    state.wantHash = request.hasDigest;
    state.Restart();
    state.path = path;
  }
  return RunAttempts(owner, request, name, state);
}

}  // namespace downloadmanagercore
