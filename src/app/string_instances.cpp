// Linked into the shipped executable only. The strings are instantiated here under the program's
// own flags (no unwind tables), so that --gc-sections keeps only the members the program uses:
// the library's copies keep every member alive through their unwind tables. The cost: an
// allocation failure inside a string member ends the process instead of reaching a catch.
#include <string>

template class std::basic_string<char>;
template class std::basic_string<wchar_t>;
