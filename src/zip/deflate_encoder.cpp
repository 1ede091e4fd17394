#include "zip/deflate_encoder.h"

#include <cstdint>

namespace qrx {
namespace {

constexpr int32_t kWindow = 32768;
constexpr int kHashBits = 15;
constexpr int32_t kMinMatch = 3;
constexpr int32_t kMaxMatch = 258;
// How many earlier places with the same three bytes are tried: the logs are small, so a long
// search costs little and finds the longer repeats.
constexpr int kMaxChain = 256;

// First length of each length code (257 + index) and first distance of each distance code.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint16_t kDistanceBase[30] = {1,   2,   3,    4,    5,    7,    9,    13,    17,    25,
                                        33,  49,  65,   97,   129,  193,  257,  385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};

int LengthExtraBits(int index) { return index < 8 || index == 28 ? 0 : index / 4 - 1; }
int DistanceExtraBits(int index) { return index < 4 ? 0 : index / 2 - 1; }

class BitWriter {
 public:
  explicit BitWriter(NothrowArray<unsigned char>* out) : out_(out) {}

  // `count` (at most 16) bits of `value`, least significant first.
  bool Put(uint32_t value, int count) {
    bits_ |= value << filled_;
    filled_ += count;
    while (filled_ >= 8) {
      const unsigned char byte = static_cast<unsigned char>(bits_);
      if (!out_->Append(&byte, 1)) return false;
      bits_ >>= 8;
      filled_ -= 8;
    }
    return true;
  }

  // A Huffman code goes most significant bit first.
  bool PutCode(uint32_t code, int length) {
    uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1u) << (length - 1 - i);
    return Put(reversed, length);
  }

  // The fixed code of a literal/length symbol (0 to 287).
  bool PutSymbol(int symbol) {
    if (symbol < 144) return PutCode(0x30 + symbol, 8);
    if (symbol < 256) return PutCode(0x190 + (symbol - 144), 9);
    if (symbol < 280) return PutCode(symbol - 256, 7);
    return PutCode(0xC0 + (symbol - 280), 8);
  }

  bool PutMatch(int32_t length, int32_t distance) {
    int l = 28;
    while (kLengthBase[l] > length) --l;
    int d = 29;
    while (kDistanceBase[d] > distance) --d;
    return PutSymbol(257 + l) && Put(static_cast<uint32_t>(length - kLengthBase[l]), LengthExtraBits(l)) &&
           PutCode(static_cast<uint32_t>(d), 5) &&
           Put(static_cast<uint32_t>(distance - kDistanceBase[d]), DistanceExtraBits(d));
  }

  // Pads the last byte with zero bits.
  bool Flush() { return filled_ == 0 || Put(0, 8 - filled_); }

 private:
  NothrowArray<unsigned char>* out_;
  uint32_t bits_ = 0;
  int filled_ = 0;
};

uint32_t Hash(const unsigned char* p) {
  return ((static_cast<uint32_t>(p[0]) << 10) ^ (static_cast<uint32_t>(p[1]) << 5) ^ p[2]) & ((1u << kHashBits) - 1);
}

}  // namespace

bool DeflateFixedHuffman(const unsigned char* data, size_t size, NothrowArray<unsigned char>* out) {
  if (size > 0x7FFFFFFF) return false;
  const int32_t end = static_cast<int32_t>(size);
  // Newest place of each hash, and for each place in the window the one before it with its hash.
  NothrowArray<int32_t> head;
  NothrowArray<int32_t> previous;
  // Nine bits per literal at worst, plus the block header and the end code.
  if (!head.Resize(size_t{1} << kHashBits) || !previous.Resize(kWindow) || !out->Resize(0) ||
      !out->Reserve(size + size / 8 + 8)) {
    return false;
  }
  for (size_t i = 0; i < head.size(); ++i) head[i] = -1;
  auto insert = [&](int32_t at) {
    const uint32_t h = Hash(data + at);
    previous[static_cast<size_t>(at & (kWindow - 1))] = head[h];
    head[h] = at;
  };

  BitWriter bits(out);
  if (!bits.Put(1, 1) || !bits.Put(1, 2)) return false;  // final block, fixed codes
  int32_t at = 0;
  while (at < end) {
    int32_t bestLength = 0;
    int32_t bestDistance = 0;
    if (end - at >= kMinMatch) {
      const int32_t most = end - at < kMaxMatch ? end - at : kMaxMatch;
      const int32_t oldest = at > kWindow ? at - kWindow : 0;
      int32_t candidate = head[Hash(data + at)];
      for (int chain = kMaxChain; candidate >= oldest && chain > 0; --chain) {
        // Only a candidate that beats the best so far at its last byte is measured.
        if (data[candidate + bestLength] == data[at + bestLength]) {
          int32_t length = 0;
          while (length < most && data[candidate + length] == data[at + length]) ++length;
          if (length > bestLength) {
            bestLength = length;
            bestDistance = at - candidate;
            if (length == most) break;
          }
        }
        candidate = previous[static_cast<size_t>(candidate & (kWindow - 1))];
      }
      insert(at);
    }
    if (bestLength >= kMinMatch) {
      if (!bits.PutMatch(bestLength, bestDistance)) return false;
      for (int32_t i = 1; i < bestLength; ++i) {
        if (end - (at + i) >= kMinMatch) insert(at + i);
      }
      at += bestLength;
    } else {
      if (!bits.PutSymbol(data[at])) return false;
      ++at;
    }
  }
  return bits.PutSymbol(256) && bits.Flush();
}

}  // namespace qrx
