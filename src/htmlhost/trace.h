// Debugging aid for the document host: takes a printf-style format and its values and produces
// no output in the product.
#pragma once

namespace htmlui {

inline void HostTrace(const char*, ...) {}

}  // namespace htmlui
