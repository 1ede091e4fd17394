// Whether the next attempt asks for the rest of the file, and whether an answer to that request
// may be appended. Pure: the first answer and the offset come in as arguments.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "common/sha256.h"
#include "download/http_answer.h"

namespace downloadmanagercore {

// What the first answer of a download promised: its full length and the validator that proves a
// later answer is the same file.
struct ResumeBasis {
  bool known = false;       // the first answer has been seen
  ULONGLONG length = 0;     // its Content-Length (0: not announced)
  std::wstring validator;   // its strong ETag, else its Last-Modified, else empty
};

// What a download keeps across its attempts, and a failed download across calls for the same URL:
// the bytes on disk that a later attempt may keep, the hash of exactly those bytes, and what the
// first answer promised.
struct ResumeState {
  bool wantHash = false;
  std::unique_ptr<qrx::Sha256> hash;
  ULONGLONG kept = 0;
  ResumeBasis basis;
  std::wstring path;  // the file that holds the kept bytes

  // From byte 0 again: nothing kept, a fresh hash.
  void Restart() {
    kept = 0;
    hash.reset(wantHash ? new qrx::Sha256 : nullptr);
  }
};

// What `first` promises, into `basis`.
void TakeBasis(const HttpAnswer& first, ResumeBasis& basis);

// The reason a download goes on from byte 0 rather than from `offset` (kNone: it resumes).
enum class RestartReason {
  kNone,
  kNoValidator,    // the first answer had neither a strong ETag nor Last-Modified
  kNoLength,       // the first answer announced no length
  kWholeFile,      // the server answered the range request with the whole file (200)
  kNotSatisfiable, // 416
  kWrongRange,     // a 206 whose Content-Range does not start at the offset or has another total
  kOtherStatus,    // any other answer to a range request
};

// Whether an attempt after `offset` bytes may ask for the rest (offset 0 never asks).
RestartReason RangeRequestFor(const ResumeBasis& basis, ULONGLONG offset);

// "Range: bytes=<offset>-\r\nIf-Range: <validator>\r\n": added to the request.
std::wstring RangeRequestHeaders(ULONGLONG offset, const std::wstring& validator);

// Judges the answer to a range request for the bytes from `offset`: kNone appends.
RestartReason JudgeRangeAnswer(const ResumeBasis& basis, ULONGLONG offset, const HttpAnswer& answer);

// The words naming a reason in the log.
const char* RestartReasonText(RestartReason reason);

}  // namespace downloadmanagercore
