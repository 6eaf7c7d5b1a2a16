#pragma once

// The text-to-integer conversion shared by the XML header reader, the layered image
// reader and the archive writer's image test, so that all three accept the same numbers.

#include <cstdint>
#include <string>
#include <string_view>

namespace koru {

// Converts text to a signed 32-bit integer. Accepted: leading blanks (space, tab), then
// either an optional '+' or '-' and decimal digits that fit the signed range, or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") and one to eight hex digits of either
// case, unsigned and filling all 32 bits ("$FFFFFFFF" is -1). Nothing may follow.
// Returns true and sets *value iff the text converts; *value is untouched otherwise.
bool KwStrToInt(std::string_view text, int32_t* value);

// Message of a number that does not convert where the format requires one.
std::string KwIntegerErrorMessage(std::string_view text);

// KwStrToInt or KoruError(KwIntegerErrorMessage(text)).
int32_t KwStrToIntOrThrow(std::string_view text);

}  // namespace koru
