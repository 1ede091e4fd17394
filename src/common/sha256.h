// SHA-256 through the platform's cryptographic provider, fed piece by piece.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <array>
#include <cstddef>
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
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  // False when the provider could not be opened or a step failed; Finish then fails too.
  bool ok() const { return ok_; }
  void Update(const void* data, size_t size);
  bool Finish(Sha256Digest& digest);

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
  bool ok_ = false;
};

// The digest of one buffer; false when the provider failed.
bool Sha256Of(const void* data, size_t size, Sha256Digest& digest);

}  // namespace qrx
