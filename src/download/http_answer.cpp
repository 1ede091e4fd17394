#include "download/http_answer.h"

#include <cwctype>

namespace downloadmanagercore {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Lower-case comparison of [p, end) with the whole of `b`.
bool EqualNoCase(const wchar_t* p, const wchar_t* end, const wchar_t* b) {
  for (; p < end; ++p, ++b) {
    if (*b == L'\0' || std::towlower(*p) != std::towlower(*b)) return false;
  }
  return *b == L'\0';
}

// Reads decimal digits at `p`; false when there are none or the value overflows.
bool ReadNumber(const wchar_t*& p, const wchar_t* end, ULONGLONG& value) {
  const wchar_t* start = p;
  value = 0;
  for (; p < end && IsDigit(*p); ++p) {
    // Stops before 2^64 without a 64-bit division: 18 digits always fit.
    if (value >= 100000000000000000ULL) return false;
    value = value * 10 + static_cast<ULONGLONG>(*p - L'0');
  }
  return p > start;
}

// The whole of [p, end) as a number.
bool WholeNumber(const wchar_t* p, const wchar_t* end, ULONGLONG& value) { return ReadNumber(p, end, value) && p == end; }

void TrimRange(const wchar_t*& p, const wchar_t*& end) {
  while (p < end && IsBlank(*p)) ++p;
  while (end > p && IsBlank(end[-1])) --end;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian), for years from 1970 to 9999:
// 32-bit arithmetic is enough.
unsigned DaysFromCivil(unsigned year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const unsigned era = year / 400;
  const unsigned yearOfEra = year - era * 400;
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
  static const unsigned char days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::wstring HeaderValue(const std::wstring& headers, const wchar_t* name) {
  std::wstring value;
  ReadHeader(headers, name, value);
  return value;
}

void ReadHeader(const std::wstring& headers, const wchar_t* name, std::wstring& value) {
  value.clear();
  const wchar_t* p = headers.c_str();
  const wchar_t* const end = p + headers.size();
  while (p < end) {
    const wchar_t* lineEnd = p;
    while (lineEnd < end && *lineEnd != L'\r' && *lineEnd != L'\n') ++lineEnd;
    const wchar_t* colon = p;
    while (colon < lineEnd && *colon != L':') ++colon;
    if (colon < lineEnd) {
      const wchar_t* nameStart = p;
      const wchar_t* nameEnd = colon;
      TrimRange(nameStart, nameEnd);
      if (EqualNoCase(nameStart, nameEnd, name)) {
        const wchar_t* text = colon + 1;
        const wchar_t* textEnd = lineEnd;
        TrimRange(text, textEnd);
        value.assign(text, static_cast<size_t>(textEnd - text));
        return;
      }
    }
    p = lineEnd + 1;
  }
}

void ParseHttpAnswer(unsigned long status, const std::wstring& headers, HttpAnswer& answer) {
  answer.status = status;
  // The ETag field holds the length's text for a moment: no string of its own to build.
  ReadHeader(headers, L"Content-Length", answer.etag);
  answer.hasLength = WholeNumber(answer.etag.c_str(), answer.etag.c_str() + answer.etag.size(), answer.length);
  ReadHeader(headers, L"ETag", answer.etag);
  ReadHeader(headers, L"Last-Modified", answer.lastModified);
  ReadHeader(headers, L"Content-Range", answer.contentRange);
  ReadHeader(headers, L"Retry-After", answer.retryAfter);
}

bool ParseContentRange(const std::wstring& value, ContentRange& range) {
  range = ContentRange();
  const wchar_t* p = value.c_str();
  const wchar_t* const end = p + value.size();
  if (value.size() < 6 || !EqualNoCase(p, p + 6, L"bytes ")) return false;
  p += 6;
  while (p < end && IsBlank(*p)) ++p;
  if (!ReadNumber(p, end, range.first) || p >= end || *p++ != L'-') return false;
  if (!ReadNumber(p, end, range.last) || p >= end || *p++ != L'/' || range.last < range.first) return false;
  if (p + 1 == end && *p == L'*') return true;
  if (!WholeNumber(p, end, range.total) || range.last >= range.total) return false;
  range.totalKnown = true;
  return true;
}

bool ParseHttpDate(const std::wstring& value, ULONGLONG& unixSeconds) {
  static const wchar_t kMonths[] = L"janfebmaraprmayjunjulaugsepoctnovdec";
  // Tokens split at blanks, commas and dashes: the three forms differ only in their order. The
  // two numbers are the day and then the year in all three.
  unsigned month = 0;
  ULONGLONG numbers[2] = {};
  ptrdiff_t yearWidth = 0;
  int numberCount = 0;
  ULONGLONG clock[3] = {};
  bool hasTime = false;
  const wchar_t* p = value.c_str();
  const wchar_t* const end = p + value.size();
  while (p < end) {
    if (IsBlank(*p) || *p == L',' || *p == L'-') {
      ++p;
      continue;
    }
    const wchar_t* start = p;
    while (p < end && !IsBlank(*p) && *p != L',' && *p != L'-') ++p;
    const ptrdiff_t width = p - start;
    ULONGLONG number = 0;
    if (width == 8 && start[2] == L':' && start[5] == L':') {
      // "hh:mm:ss"
      for (int part = 0; part < 3; ++part) {
        const wchar_t* digits = start + part * 3;
        if (hasTime || !WholeNumber(digits, digits + 2, clock[part])) return false;
      }
      hasTime = true;
    } else if (WholeNumber(start, p, number)) {
      if (numberCount == 2) return false;
      yearWidth = width;
      numbers[numberCount++] = number;
    } else if (width == 3) {
      for (unsigned m = 0; m < 12; ++m) {
        const wchar_t* name = kMonths + m * 3;
        if ((start[0] | 0x20) == name[0] && (start[1] | 0x20) == name[1] && (start[2] | 0x20) == name[2]) month = m + 1;
      }
    }
  }
  if (!hasTime || month == 0 || numberCount != 2) return false;
  if (yearWidth == 2) {
    numbers[1] += numbers[1] >= 70 ? 1900 : 2000;
  } else if (yearWidth != 4) {
    return false;
  }
  // Both numbers have at most four digits here (the day at most 31).
  const unsigned year = static_cast<unsigned>(numbers[1]);
  const unsigned day = numbers[0] <= 31 ? static_cast<unsigned>(numbers[0]) : 0;
  if (year < 1970 || day < 1 || day > DaysInMonth(year, month) || clock[0] > 23 || clock[1] > 59 || clock[2] > 60) {
    return false;
  }
  const unsigned seconds = static_cast<unsigned>(clock[0] * 3600 + clock[1] * 60 + clock[2]);
  unixSeconds = static_cast<ULONGLONG>(DaysFromCivil(year, month, day)) * 86400 + seconds;
  return true;
}

bool ParseRetryAfter(const std::wstring& value, ULONGLONG nowUnixSeconds, ULONGLONG& waitMs) {
  const wchar_t* p = value.c_str();
  const wchar_t* end = p + value.size();
  TrimRange(p, end);
  if (p < end && IsDigit(*p)) {
    const wchar_t* digits = p;
    while (digits < end && IsDigit(*digits)) ++digits;
    if (digits == end) {
      ULONGLONG seconds = 0;
      // An absurd count still means "longer than we wait".
      if (!WholeNumber(p, end, seconds) || seconds > 0xFFFFFFFFULL) seconds = 0xFFFFFFFFULL;
      waitMs = seconds * 1000;
      return true;
    }
  }
  ULONGLONG when = 0;
  if (!ParseHttpDate(std::wstring(p, end), when)) return false;
  waitMs = when > nowUnixSeconds ? (when - nowUnixSeconds) * 1000 : 0;
  return true;
}

bool IsStrongETag(const std::wstring& etag) {
  return etag.size() >= 2 && etag.front() == L'"' && etag.back() == L'"';
}

ULONGLONG UnixSecondsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  // 100-ns ticks since 1601-01-01; 11644473600 s lie between 1601 and 1970.
  return ticks.QuadPart / 10000000ULL - 11644473600ULL;
}

}  // namespace downloadmanagercore
