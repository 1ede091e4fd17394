#include "common/sha256.h"

namespace qrx {

std::wstring DigestHex(const Sha256Digest& digest) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  text.reserve(digest.size() * 2);
  for (unsigned char byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

namespace {
int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}
}  // namespace

bool ParseDigestHex(const std::wstring& text, Sha256Digest& digest) {
  if (text.size() != digest.size() * 2) return false;
  for (size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<unsigned char>(high << 4 | low);
  }
  return true;
}

Sha256::Sha256() {
  // PROV_RSA_AES is the provider type that offers SHA-256 (XP SP3 and later).
  ok_ = CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
        CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_);
}

Sha256::~Sha256() {
  if (hash_) CryptDestroyHash(hash_);
  if (provider_) CryptReleaseContext(provider_, 0);
}

void Sha256::Update(const void* data, size_t size) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  while (ok_ && size > 0) {
    const DWORD piece = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    ok_ = CryptHashData(hash_, bytes, piece, 0) != FALSE;
    bytes += piece;
    size -= piece;
  }
}

bool Sha256::Finish(Sha256Digest& digest) {
  DWORD length = static_cast<DWORD>(digest.size());
  if (ok_) ok_ = CryptGetHashParam(hash_, HP_HASHVAL, digest.data(), &length, 0) && length == digest.size();
  return ok_;
}

bool Sha256Of(const void* data, size_t size, Sha256Digest& digest) {
  Sha256 hash;
  hash.Update(data, size);
  return hash.Finish(digest);
}

}  // namespace qrx
