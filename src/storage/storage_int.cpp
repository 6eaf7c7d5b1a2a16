#include "storage/storage_int.h"

#include <string>

#include "base/error.h"

namespace koru {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view digits, int32_t* value) {
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t result = 0;
  for (char c : digits) {
    const int digit = HexValue(c);
    if (digit < 0) return false;
    result = (result << 4) | static_cast<uint32_t>(digit);
  }
  *value = static_cast<int32_t>(result);
  return true;
}

bool ParseDecimal(std::string_view text, int32_t* value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return false;
  }
  *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

bool StorageStrToInt(std::string_view text, int32_t* value) {
  while (!text.empty() && (text[0] == ' ' || text[0] == '\t')) text.remove_prefix(1);
  if (text.empty()) return false;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return ParseHex(text.substr(1), value);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex(text.substr(2), value);
  }
  return ParseDecimal(text, value);
}

int32_t StorageStrToIntOrThrow(std::string_view text) {
  int32_t value = 0;
  if (!StorageStrToInt(text, &value)) {
    throw KoruError("'" + std::string(text) + "' は有効な整数ではありません");
  }
  return value;
}

}  // namespace koru
