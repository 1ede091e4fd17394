// Decimal text of the progress counters the pages poll.
#pragma once

#include <string>

namespace downloadmanagercore {

// The 32-bit counter read as a signed integer in base 10: values from 2^31 upward come out
// negative (3,000,000,000 reads "-1294967296"). No grouping, no leading zeros.
std::wstring CounterText(unsigned long value);

}  // namespace downloadmanagercore
