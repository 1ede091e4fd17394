// A compact raw deflate encoder (RFC 1951) for the log archive. Standard C++ only.
#pragma once

#include <cstddef>

#include "zip/nothrow_array.h"

namespace qrx {

// The raw deflate stream of `size` bytes of `data`: one final block with the fixed Huffman codes,
// repeats found through hash chains over the 32 KiB window. Any inflater reads it. False when
// memory runs out or `size` is 2 GiB or more.
bool DeflateFixedHuffman(const unsigned char* data, size_t size, NothrowArray<unsigned char>* out);

}  // namespace qrx
