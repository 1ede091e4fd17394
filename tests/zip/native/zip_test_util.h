// Small helpers shared by the native test programs: an archive in memory and a byte sink.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zip/zip_reader.h"

namespace ziptest {

using Bytes = std::vector<unsigned char>;

inline size_t ReadMemory(void* context, uint64_t offset, void* buffer, size_t count) {
  const Bytes* bytes = static_cast<const Bytes*>(context);
  if (offset > bytes->size()) return 0;
  const size_t n = count < bytes->size() - offset ? count : static_cast<size_t>(bytes->size() - offset);
  if (n != 0) memcpy(buffer, bytes->data() + offset, n);
  return n;
}

struct Sink {
  std::string data;
  size_t calls = 0;
  size_t limit = static_cast<size_t>(-1);  // take at most this many bytes in all
};

inline size_t WriteSink(void* context, uint64_t offset, const void* buffer, size_t count) {
  Sink* sink = static_cast<Sink*>(context);
  ++sink->calls;
  if (offset != sink->data.size()) return 0;  // data must arrive in order
  size_t n = count;
  if (sink->data.size() + n > sink->limit) n = sink->limit - sink->data.size();
  sink->data.append(static_cast<const char*>(buffer), n);
  return n;
}

}  // namespace ziptest
