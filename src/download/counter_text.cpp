#include "download/counter_text.h"

#include <cstdint>

#include "common/decimal_text.h"

namespace downloadmanagercore {

std::wstring CounterText(unsigned long value) {
  // Only the low 32 bits count, whatever the width of `long` on this target.
  const auto bits = static_cast<std::uint32_t>(value);
  const auto signedValue = static_cast<std::int32_t>(bits);
  return qrx::DecimalText(signedValue);
}

}  // namespace downloadmanagercore
