#include "settings/format_thousands.h"

#include <algorithm>

namespace koru {

std::string FormatThousands(int64_t value) {
  // The magnitude in unsigned arithmetic, so that the smallest int64 has one too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string reversed;
  int digits = 0;
  do {
    if (digits > 0 && digits % 3 == 0) reversed.push_back(',');
    reversed.push_back(static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
    ++digits;
  } while (magnitude != 0);
  if (value < 0) reversed.push_back('-');
  std::reverse(reversed.begin(), reversed.end());
  return reversed;
}

}  // namespace koru
