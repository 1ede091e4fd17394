// Linked into the shipped executable only (not into the libraries, so the tests keep the C++
// library's own, and zlib's checksums for comparison).
//
// The shipped program has no exceptions: nothing in it throws or catches. The C++ library's
// throw helpers and its operator new would still throw, and one throw drags in the unwinder, the
// exception objects and the threads library they lock with (about 60 KB), while the helpers'
// messages drag in a second string implementation. Uncaught, each of those throws ended the
// process through std::terminate, which abort()s; these replacements abort at once instead.
// Allocations that may fail on untrusted sizes use the nothrow forms, which return null here.
#include <zlib.h>

#include <cstdlib>
#include <new>

#include "common/checksums.h"

namespace std {

void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_bad_exception() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }

// The tag of `new (std::nothrow)`: the library's copy lives beside the new-handler functions,
// which nothing here calls.
const nothrow_t nothrow{};

}  // namespace std

// The default handler prints a demangled type name; that pulls the demangler into the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx

// The replaceable allocation functions, on the C heap. The throwing forms end the process when
// memory runs out, as an uncaught bad_alloc did; the nothrow forms return null.
namespace {
void* AllocateOrNull(std::size_t size) { return malloc(size == 0 ? 1 : size); }
void* AllocateOrAbort(std::size_t size) {
  void* p = AllocateOrNull(size);
  if (p == nullptr) abort();
  return p;
}
}  // namespace

void* operator new(std::size_t size) { return AllocateOrAbort(size); }
void* operator new[](std::size_t size) { return AllocateOrAbort(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

// zlib's inflate calls crc32() and adler32() (for gzip and zlib streams; ours are raw), and the
// zip reader and writer call crc32(). zlib's own crc32.o brings 5 KB of tables, and adler32.o an
// unrolled loop; these give the same values from one 1 KB table. Defined here, zlib's two
// objects are not linked at all. As in zlib, no buffer gives the start value.
uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  return buf == Z_NULL ? 0 : qrx::Crc32Update(static_cast<uint32_t>(crc), buf, len);
}
uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len) {
  return buf == Z_NULL ? 1 : qrx::Adler32Update(static_cast<uint32_t>(adler), buf, len);
}

// inflate's default allocators, from zlib's zutil.o (which also brings its error texts and their
// unwind tables): the C heap, as there.
extern "C" {
voidpf zcalloc(voidpf, unsigned items, unsigned size) { return malloc(items * size); }
void zcfree(voidpf, voidpf ptr) { free(ptr); }
}
