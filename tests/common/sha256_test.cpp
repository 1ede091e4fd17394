// SHA-256 against the FIPS 180-4 examples and against the system provider's digest.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/sha256.h"

namespace {

std::wstring HexOf(const std::string& message) {
  qrx::Sha256Digest digest{};
  EXPECT_TRUE(qrx::Sha256Of(message.data(), message.size(), digest));
  return qrx::DigestHex(digest);
}

TEST(Sha256, MatchesTheStandardsExamples) {
  const struct {
    std::string message;
    const wchar_t* digest;
  } rows[] = {
      {"", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 448 bits: the length no longer fits the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       L"cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& row : rows) EXPECT_EQ(HexOf(row.message), row.digest) << row.message.size() << " bytes";
}

// The digest of the system's SHA-256 provider; empty when it is missing.
std::wstring ProviderHexOf(const std::string& message) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return std::wstring();
  }
  HCRYPTHASH hash = 0;
  qrx::Sha256Digest digest{};
  DWORD length = static_cast<DWORD>(digest.size());
  const bool ok = CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
                  CryptHashData(hash, reinterpret_cast<const BYTE*>(message.data()), static_cast<DWORD>(message.size()), 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &length, 0) && length == digest.size();
  if (hash) CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  return ok ? qrx::DigestHex(digest) : std::wstring();
}

// Every length around the block and padding edges, and a large one, whole and in uneven pieces.
TEST(Sha256, AgreesWithTheSystemProviderWholeAndInPieces) {
  std::vector<size_t> lengths;
  for (size_t length = 0; length <= 200; ++length) lengths.push_back(length);
  lengths.push_back(4096 * 3 + 17);
  for (size_t length : lengths) {
    std::string message(length, '\0');
    for (size_t i = 0; i < length; ++i) message[i] = static_cast<char>((i * 131 + length * 7) & 0xFF);
    const std::wstring expected = ProviderHexOf(message);
    ASSERT_EQ(expected.size(), 64u) << "the provider under test is there under Wine";
    EXPECT_EQ(HexOf(message), expected) << length;
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 127u}) {
      qrx::Sha256 hash;
      for (size_t at = 0; at < length; at += piece) hash.Update(message.data() + at, length - at < piece ? length - at : piece);
      qrx::Sha256Digest digest{};
      ASSERT_TRUE(hash.Finish(digest));
      EXPECT_EQ(qrx::DigestHex(digest), expected) << length << " in pieces of " << piece;
    }
  }
}

// Prints our rate beside the system provider's; the digest of 32 MiB is checked too.
TEST(Sha256, HashesALargeInputAndPrintsTheRate) {
  const std::string message(32 << 20, 'q');
  const DWORD start = GetTickCount();
  const std::wstring ours = HexOf(message);
  const DWORD oursMs = GetTickCount() - start;
  const DWORD providerStart = GetTickCount();
  const std::wstring provider = ProviderHexOf(message);
  const DWORD providerMs = GetTickCount() - providerStart;
  std::printf("measure: sha256 of 32 MiB in %lu ms, the system provider in %lu ms\n", static_cast<unsigned long>(oursMs),
              static_cast<unsigned long>(providerMs));
  EXPECT_EQ(ours, L"de53d595a5e8a1289a12a4d29cec539d3ddecec95682c4b25c4ff32ef571a90f");
  EXPECT_EQ(provider, ours);
}

}  // namespace
