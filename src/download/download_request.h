// What a page's download URL may ask for: only http and https, and an optional package hash in
// the fragment ("#sha256=" and 64 hexadecimal digits), which is never sent.
#pragma once

#include <string>

#include "common/sha256.h"

namespace downloadmanagercore {

// Log lines of refused and failed checks.
extern const wchar_t kLogDownloadSchemeRefused[];
extern const wchar_t kLogDownloadFragmentRefused[];
extern const wchar_t kLogDownloadHashMismatch[];

// True when the URL starts with "http://" or "https://" (scheme in any case).
bool HasWebScheme(const std::wstring& url);
// True for an https: URL (any case).
bool IsHttpsUrl(const std::wstring& url);

enum class RequestCheck { kOk, kUnsupportedScheme, kMalformedFragment };

struct DownloadRequest {
  std::wstring transferUrl;  // the URL without its fragment: what is requested and named
  bool hasDigest = false;
  qrx::Sha256Digest digest{};
};

// Splits the page's URL. Any fragment must be exactly "sha256=" and 64 hexadecimal digits.
RequestCheck ParseDownloadRequest(const std::wstring& url, DownloadRequest& request);

}  // namespace downloadmanagercore
