#pragma once

#include <cstdint>
#include <string>

namespace koru {

// Decimal digits with a comma before every group of three from the right: 1234567 gives
// "1,234,567", 999 gives "999". A negative number gets a leading minus ("-1,000").
std::string FormatThousands(int64_t value);

}  // namespace koru
