#include "payload/record_inflate.h"

#include <zlib.h>

#include "payload/payload_record.h"

namespace qrx {

InflateOutcome InflateExactly(const unsigned char* in, size_t inSize, unsigned char* out, uint32_t declared,
                              uint64_t& inflated) {
  inflated = 0;
  if (declared > kMaxUnpackedFileSize) return InflateOutcome::kOverCap;
  if (inSize > 0xFFFFFFFFu) return InflateOutcome::kCorrupt;
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return InflateOutcome::kNoMemory;
  stream.next_in = const_cast<unsigned char*>(in);
  stream.avail_in = static_cast<uInt>(inSize);
  stream.next_out = out;
  stream.avail_out = declared;
  // Once the declared bytes are there, one spare byte shows whether the stream holds more.
  unsigned char spare = 0;
  InflateOutcome outcome = InflateOutcome::kOk;
  for (;;) {
    if (stream.avail_out == 0 && stream.total_out == declared) {
      stream.next_out = &spare;
      stream.avail_out = 1;
    }
    const int status = inflate(&stream, Z_NO_FLUSH);
    inflated = stream.total_out;
    if (stream.total_out > declared) {
      outcome = InflateOutcome::kLonger;
    } else if (status == Z_STREAM_END) {
      if (stream.total_out < declared) outcome = InflateOutcome::kShorter;
      else if (stream.avail_in != 0) outcome = InflateOutcome::kCorrupt;
    } else if (status == Z_OK) {
      continue;
    } else if (status == Z_BUF_ERROR) {
      outcome = InflateOutcome::kTruncated;  // no progress possible: the input ended early
    } else if (status == Z_MEM_ERROR) {
      outcome = InflateOutcome::kNoMemory;
    } else {
      outcome = InflateOutcome::kCorrupt;
    }
    break;
  }
  inflateEnd(&stream);
  return outcome;
}

}  // namespace qrx
