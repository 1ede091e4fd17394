#include "download/counter_text.h"

#include <cstdint>

namespace downloadmanagercore {

std::wstring CounterText(unsigned long value) {
  // Only the low 32 bits count, whatever the width of `long` on this target.
  const auto bits = static_cast<std::uint32_t>(value);
  const auto signedValue = static_cast<std::int32_t>(bits);
  return std::to_wstring(static_cast<long long>(signedValue));
}

}  // namespace downloadmanagercore
