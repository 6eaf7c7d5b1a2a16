#pragma once

// The text-to-integer rule of the settings and image formats, for the archive writer's
// picture test. The image layer keeps its own copy (it builds on this library, so this
// one cannot use it); both follow the same rule and the same message.

#include <cstdint>
#include <string_view>

namespace koru {

// Leading blanks, then an optional sign and decimal digits within the signed 32-bit
// range, or "$", "x", "X", "0x", "0X" and one to eight hex digits filling all 32 bits.
// Nothing may follow. True and *value set iff the text converts.
bool StorageStrToInt(std::string_view text, int32_t* value);

// StorageStrToInt or KoruError("'text' は有効な整数ではありません").
int32_t StorageStrToIntOrThrow(std::string_view text);

}  // namespace koru
