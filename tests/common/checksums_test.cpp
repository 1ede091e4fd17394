// CRC-32 and Adler-32 against the published check values and against zlib's own functions, which
// the shipped executable replaces with these (the tests link zlib's).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/checksums.h"

namespace {

const unsigned char* Bytes(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }

TEST(Checksums, MatchThePublishedValues) {
  const struct {
    std::string text;
    uint32_t crc;
    uint32_t adler;
  } rows[] = {
      {"", 0x00000000u, 0x00000001u},
      {"a", 0xE8B7BE43u, 0x00620062u},
      {"123456789", 0xCBF43926u, 0x091E01DEu},
      {"Wikipedia", 0xADAAC02Eu, 0x11E60398u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u, 0x5BDC0FDAu},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(qrx::Crc32Update(0, Bytes(row.text), row.text.size()), row.crc) << row.text;
    EXPECT_EQ(qrx::Adler32Update(1, Bytes(row.text), row.text.size()), row.adler) << row.text;
  }
}

// Lengths around Adler-32's reduction run (5552 bytes) and the largest sums a run can reach.
TEST(Checksums, AgreeWithZlibAcrossLengthsAndBytes) {
  std::vector<unsigned char> data(3 * 5552 + 7);
  uint32_t seed = 12345;
  for (unsigned char& byte : data) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(seed >> 16);
  }
  const std::vector<unsigned char> ones(data.size(), 0xFF);
  const std::vector<unsigned char>* const inputs[] = {&data, &ones};
  for (const std::vector<unsigned char>* bytes : inputs) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{5551}, size_t{5552}, size_t{5553},
                        size_t{2 * 5552}, bytes->size()}) {
      const unsigned char* p = bytes->data();
      const uInt n = static_cast<uInt>(size);
      EXPECT_EQ(qrx::Crc32Update(0, p, size), crc32(0, p, n)) << size;
      EXPECT_EQ(qrx::Adler32Update(1, p, size), adler32(1, p, n)) << size;
    }
  }
}

// Fed in pieces, passing the last value back in, as the zip reader and inflate do.
TEST(Checksums, ContinueFromTheLastValue) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>('A' + i % 53);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{5552}, size_t{7777}, text.size()}) {
    const uint32_t crc = qrx::Crc32Update(qrx::Crc32Update(0, Bytes(text), cut), Bytes(text) + cut, text.size() - cut);
    const uint32_t adler =
        qrx::Adler32Update(qrx::Adler32Update(1, Bytes(text), cut), Bytes(text) + cut, text.size() - cut);
    EXPECT_EQ(crc, crc32(0, Bytes(text), static_cast<uInt>(text.size()))) << cut;
    EXPECT_EQ(adler, adler32(1, Bytes(text), static_cast<uInt>(text.size()))) << cut;
  }
}

}  // namespace
