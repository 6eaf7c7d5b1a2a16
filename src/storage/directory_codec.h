#pragma once

// Encoding of the archive directory in the current layout (version 102): name records
// scrambled with one generator running across all names, then the offset table scrambled
// with a fresh generator, then the four flag tables. Reading lives in vrfiles.cpp.

#include <cstdint>
#include <string>
#include <vector>

#include "storage/rands.h"

namespace koru {

class TVrFile;

namespace directory_codec {

// XORs every byte of name with the low byte of the generator's next value; scrambling
// and unscrambling are the same operation.
void ScrambleName(TKwRandom& random, std::string& name);
// Scrambles (or unscrambles) one 64-bit offset: XOR with the next value sign-extended.
inline int64_t ScrambleOffset64(TKwRandom& random, int64_t value) {
  return value ^ static_cast<int64_t>(random.Next());
}
// Scrambles one 32-bit offset of version 100 and zero-extends it.
inline int64_t ScrambleOffset32(TKwRandom& random, uint32_t value) {
  return static_cast<int64_t>(value ^ static_cast<uint32_t>(random.Next()));
}

// "vf", the version and the count.
std::vector<uint8_t> EncodeHeader(int32_t count);
// The name records of entries: 32-bit length, then the scrambled name bytes.
std::vector<uint8_t> EncodeNames(const std::vector<const TVrFile*>& entries);
// The offset table (offsets holds N+1 values, the last the end of the data) and the
// Uncompressed, FileTime, Crc and SeparateFile tables of entries.
std::vector<uint8_t> EncodeTables(const std::vector<int64_t>& offsets,
                                  const std::vector<const TVrFile*>& entries);
// Size of the tables of n entries.
inline int64_t TableBytes(int64_t n) { return 8 * (n + 1) + 10 * n; }

}  // namespace directory_codec
}  // namespace koru
