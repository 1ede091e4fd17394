#include "common/sha256.h"

#include "common/hex_text.h"

namespace qrx {

std::wstring DigestHex(const Sha256Digest& digest) {
  std::wstring text;
  text.reserve(digest.size() * 2);
  for (unsigned char byte : digest) AppendHexByte(text, byte);
  return text;
}

bool ParseDigestHex(const std::wstring& text, Sha256Digest& digest) {
  if (text.size() != digest.size() * 2) return false;
  for (size_t i = 0; i < digest.size(); ++i) {
    const int high = HexDigitValue(text[2 * i]);
    const int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<unsigned char>(high << 4 | low);
  }
  return true;
}

namespace {

// The first 32 bits of the fractional parts of the cube roots of the first 64 primes.
const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t RotateRight(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

// The first 32 bits of the fractional parts of the square roots of the first 8 primes.
Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Compress(const unsigned char* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    const unsigned char* b = block + 4 * i;
    w[i] = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 | b[3];
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  // v holds a..h.
  uint32_t v[8];
  for (int i = 0; i < 8; ++i) v[i] = state_[i];
  for (int i = 0; i < 64; ++i) {
    const uint32_t a = v[0];
    const uint32_t e = v[4];
    const uint32_t t1 = v[7] + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) + ((e & v[5]) ^ (~e & v[6])) +
                        kRoundConstants[i] + w[i];
    const uint32_t t2 = (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) + ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
    for (int j = 7; j > 0; --j) v[j] = v[j - 1];
    v[4] += t1;
    v[0] = t1 + t2;
  }
  for (int i = 0; i < 8; ++i) state_[i] += v[i];
}

void Sha256::Update(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  totalBytes_ += size;
  while (size > 0) {
    if (pendingSize_ == 0 && size >= sizeof(pending_)) {
      Compress(bytes);
      bytes += sizeof(pending_);
      size -= sizeof(pending_);
      continue;
    }
    size_t take = sizeof(pending_) - pendingSize_;
    if (take > size) take = size;
    for (size_t i = 0; i < take; ++i) pending_[pendingSize_ + i] = bytes[i];
    pendingSize_ += take;
    bytes += take;
    size -= take;
    if (pendingSize_ == sizeof(pending_)) {
      Compress(pending_);
      pendingSize_ = 0;
    }
  }
}

bool Sha256::Finish(Sha256Digest& digest) {
  const uint64_t bits = totalBytes_ * 8;
  // A one bit, zeros up to 56 bytes into a block, then the message length in bits, big-endian.
  unsigned char padding[64 + 8] = {0x80};
  const size_t zerosEnd = pendingSize_ < 56 ? 56 : 64 + 56;
  size_t length = zerosEnd - pendingSize_;
  for (int i = 0; i < 8; ++i) padding[length++] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  Update(padding, length);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<unsigned char>(state_[i] >> (24 - 8 * j));
  }
  return true;
}

bool Sha256Of(const void* data, size_t size, Sha256Digest& digest) {
  Sha256 hash;
  hash.Update(data, size);
  return hash.Finish(digest);
}

}  // namespace qrx
