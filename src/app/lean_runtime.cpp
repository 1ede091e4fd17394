// Linked into the shipped executable only (not into qrxcore, so the tests keep the library's own).
//
// The library's throw helpers construct their exceptions from reference-counted strings, and that
// one object drags in about 60 KB (a second string implementation, random_device, the formatted
// messages). Nothing in the program catches those exceptions: uncaught, each ended the process
// through std::terminate, which abort()s. These helpers abort at once instead. Allocation failure
// is the exception: the zip layer catches std::bad_alloc and reports failure, so that one still
// throws (bad_array_new_length is a bad_alloc as well).
#include <cstdlib>
#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
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

}  // namespace std

// The default handler prints a demangled type name; that pulls the demangler into the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx
