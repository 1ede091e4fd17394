#include "download/resume_plan.h"

#include <cstdio>

namespace downloadmanagercore {

void TakeBasis(const HttpAnswer& first, ResumeBasis& basis) {
  basis.known = true;
  basis.length = first.hasLength ? first.length : 0;
  basis.validator.assign(IsStrongETag(first.etag) ? first.etag : first.lastModified);
}

RestartReason RangeRequestFor(const ResumeBasis& basis, ULONGLONG offset) {
  if (offset == 0) return RestartReason::kNone;
  if (!basis.known) return RestartReason::kNoValidator;
  if (basis.length == 0 || offset >= basis.length) return RestartReason::kNoLength;
  if (basis.validator.empty()) return RestartReason::kNoValidator;
  return RestartReason::kNone;
}

std::wstring RangeRequestHeaders(ULONGLONG offset, const std::wstring& validator) {
  wchar_t range[48];
  _snwprintf(range, sizeof(range) / sizeof(range[0]), L"Range: bytes=%I64u-\r\nIf-Range: ", offset);
  range[sizeof(range) / sizeof(range[0]) - 1] = L'\0';
  std::wstring headers(range);
  headers += validator;
  headers += L"\r\n";
  return headers;
}

RestartReason JudgeRangeAnswer(const ResumeBasis& basis, ULONGLONG offset, const HttpAnswer& answer) {
  if (answer.status == 200) return RestartReason::kWholeFile;
  if (answer.status == 416) return RestartReason::kNotSatisfiable;
  if (answer.status != 206) return RestartReason::kOtherStatus;
  ContentRange range;
  if (!ParseContentRange(answer.contentRange, range) || range.first != offset || !range.totalKnown ||
      range.total != basis.length || range.last + 1 != range.total) {
    return RestartReason::kWrongRange;
  }
  // A server that ignores If-Range but names another version is not appended either.
  if (!answer.etag.empty() && IsStrongETag(basis.validator) && answer.etag != basis.validator) {
    return RestartReason::kWrongRange;
  }
  return RestartReason::kNone;
}

const char* RestartReasonText(RestartReason reason) {
  switch (reason) {
    case RestartReason::kNone:
      return "resumed";
    case RestartReason::kNoValidator:
      return "no validator";
    case RestartReason::kNoLength:
      return "no length";
    case RestartReason::kWholeFile:
      return "whole file sent";
    case RestartReason::kNotSatisfiable:
      return "range not satisfiable";
    case RestartReason::kWrongRange:
      return "wrong range";
    case RestartReason::kOtherStatus:
      return "unexpected status";
  }
  return "";
}

}  // namespace downloadmanagercore
