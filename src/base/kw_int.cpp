#include "base/kw_int.h"

#include "base/error.h"

namespace koru {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view digits, int32_t* value) {
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t result = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
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
  // Magnitude limit: 2^31 for a negative number, 2^31 - 1 otherwise.
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

bool KwStrToInt(std::string_view text, int32_t* value) {
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  text.remove_prefix(start);
  if (text.empty()) return false;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return ParseHex(text.substr(1), value);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex(text.substr(2), value);
  }
  return ParseDecimal(text, value);
}

std::string KwIntegerErrorMessage(std::string_view text) {
  std::string message = "'";
  message.append(text);
  message.append("' は有効な整数ではありません");
  return message;
}

int32_t KwStrToIntOrThrow(std::string_view text) {
  int32_t value = 0;
  if (!KwStrToInt(text, &value)) throw KoruError(KwIntegerErrorMessage(text));
  return value;
}

}  // namespace koru
