#include "download/download_request.h"

#include <cwctype>

namespace downloadmanagercore {

const wchar_t kLogDownloadSchemeRefused[] = L"Download refused, only http and https URLs are allowed: %s";
const wchar_t kLogDownloadFragmentRefused[] = L"Download refused, malformed package hash: %s";
const wchar_t kLogDownloadHashMismatch[] = L"Package hash mismatch, expected sha256 %s, received %s";

namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  size_t i = 0;
  for (; prefix[i] != L'\0'; ++i) {
    if (i >= text.size() || std::towlower(text[i]) != prefix[i]) return false;
  }
  return true;
}

const wchar_t kHashPrefix[] = L"sha256=";

}  // namespace

bool HasWebScheme(const std::wstring& url) {
  return StartsWithNoCase(url, L"http://") || StartsWithNoCase(url, L"https://");
}

bool IsHttpsUrl(const std::wstring& url) { return StartsWithNoCase(url, L"https://"); }

RequestCheck ParseDownloadRequest(const std::wstring& url, DownloadRequest& request) {
  request = DownloadRequest();
  if (!HasWebScheme(url)) return RequestCheck::kUnsupportedScheme;
  const size_t hash = url.find(L'#');
  request.transferUrl = url.substr(0, hash);
  if (hash == std::wstring::npos) return RequestCheck::kOk;
  const std::wstring fragment = url.substr(hash + 1);
  const size_t prefixLength = sizeof(kHashPrefix) / sizeof(wchar_t) - 1;
  if (fragment.rfind(kHashPrefix, 0) != 0 || !qrx::ParseDigestHex(fragment.substr(prefixLength), request.digest)) {
    return RequestCheck::kMalformedFragment;
  }
  request.hasDigest = true;
  return RequestCheck::kOk;
}

}  // namespace downloadmanagercore
