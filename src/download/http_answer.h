// The parts of an HTTP answer that retrying and resuming depend on, read from the raw header
// text the binding hands over. Pure parsers.
#pragma once

#include <windows.h>

#include <string>

namespace downloadmanagercore {

struct HttpAnswer {
  unsigned long status = 0;
  bool hasLength = false;
  ULONGLONG length = 0;        // Content-Length
  std::wstring etag;           // as sent, quotes included
  std::wstring lastModified;
  std::wstring contentRange;
  std::wstring retryAfter;
};

// The value of the first header called `name` (any case), without surrounding blanks; empty
// when absent. `headers` is the status line and "Name: value" lines separated by CR LF.
std::wstring HeaderValue(const std::wstring& headers, const wchar_t* name);

// The same into `value` (emptied when the header is absent).
void ReadHeader(const std::wstring& headers, const wchar_t* name, std::wstring& value);

// Fills `answer` from the status and the raw header text.
void ParseHttpAnswer(unsigned long status, const std::wstring& headers, HttpAnswer& answer);

// "bytes <first>-<last>/<total>"; `totalKnown` false for "/*".
struct ContentRange {
  ULONGLONG first = 0;
  ULONGLONG last = 0;
  ULONGLONG total = 0;
  bool totalKnown = false;
};
bool ParseContentRange(const std::wstring& value, ContentRange& range);

// An HTTP date (IMF-fixdate, RFC 850 or asctime form) as seconds since 1970-01-01 UTC.
bool ParseHttpDate(const std::wstring& value, ULONGLONG& unixSeconds);

// Retry-After as a wait from `nowUnixSeconds`: delta seconds or an HTTP date (a date in the past
// waits 0). False when the value is neither.
bool ParseRetryAfter(const std::wstring& value, ULONGLONG nowUnixSeconds, ULONGLONG& waitMs);

// True for an entity tag that is not weak ("W/" prefix) and is quoted.
bool IsStrongETag(const std::wstring& etag);

// Seconds since 1970-01-01 UTC now.
ULONGLONG UnixSecondsNow();

}  // namespace downloadmanagercore
