// SHA-256 (FIPS 180-4), fed piece by piece. Our own: the system's provider of it (PROV_RSA_AES) is
// missing before XP SP3, where the pages and the package would otherwise be refused for a digest
// that could not be computed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qrx {

using Sha256Digest = std::array<unsigned char, 32>;

// Lower-case hexadecimal text of a digest (64 characters).
std::wstring DigestHex(const Sha256Digest& digest);
// Reads exactly 64 hexadecimal digits (either case); false for anything else.
bool ParseDigestHex(const std::wstring& text, Sha256Digest& digest);

class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, size_t size);
  // The digest of everything given so far; the object is spent afterwards. Cannot fail: true.
  bool Finish(Sha256Digest& digest);

 private:
  void Compress(const unsigned char* block);

  uint32_t state_[8];
  unsigned char pending_[64];
  size_t pendingSize_ = 0;
  uint64_t totalBytes_ = 0;
};

// The digest of one buffer; true.
bool Sha256Of(const void* data, size_t size, Sha256Digest& digest);

}  // namespace qrx
