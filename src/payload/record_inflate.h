// Bounded inflating of a deflated page record: the output must be exactly the declared size.
// Standard C++ and zlib only (the packing tool builds it too).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrx {

enum class InflateOutcome {
  kOk,
  kOverCap,     // the declared size is above the per-file cap; nothing inflated
  kLonger,      // the stream holds more than declared (stopped one byte past it)
  kShorter,     // the stream ended before the declared size
  kTruncated,   // the input ran out before the stream's end
  kCorrupt,     // not a valid deflate stream, or bytes after its end
  kNoMemory,
};

// Inflates the raw deflate stream `in` into `out`, which holds exactly `declared` bytes.
// `inflated` receives how many bytes the stream produced before it stopped: never more than
// `declared` + 1, and 0 when the declared size is refused before starting.
InflateOutcome InflateExactly(const unsigned char* in, size_t inSize, unsigned char* out, uint32_t declared,
                              uint64_t& inflated);

}  // namespace qrx
