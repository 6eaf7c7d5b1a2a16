#include "mutator.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace koru::fuzz {
namespace {

// Values that make counts, lengths and offsets impossible or make sums overflow.
constexpr uint32_t kInterestingWords[] = {
    0x00000000, 0x00000001, 0x0000FFFF, 0x00010000, 0x3FFFFFFF, 0x40000000, 0x7FFFFFFE, 0x7FFFFFFF,
    0x80000000, 0x80000001, 0xFFFFFFFE, 0xFFFFFFFF, 0x000F4240, 0x000F4241, 0x00001000, 0xFFFF0000,
};
constexpr uint8_t kInterestingBytes[] = {0x00, 0xFF, 0x7F, 0x80};

void FlipBit(std::vector<uint8_t>& bytes, FuzzRandom& random) {
  if (bytes.empty()) return;
  bytes[random.Below(bytes.size())] ^= static_cast<uint8_t>(1u << random.Below(8));
}

void SetByte(std::vector<uint8_t>& bytes, FuzzRandom& random) {
  if (bytes.empty()) return;
  bytes[random.Below(bytes.size())] = kInterestingBytes[random.Below(std::size(kInterestingBytes))];
}

void InsertBytes(std::vector<uint8_t>& bytes, FuzzRandom& random) {
  const size_t at = random.Below(bytes.size() + 1);
  const size_t count = 1 + random.Below(random.Below(4) == 0 ? 64 : 4);
  const uint8_t value = random.Below(2) == 0 ? static_cast<uint8_t>(random.Next())
                                             : kInterestingBytes[random.Below(4)];
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), count, value);
}

void DeleteBytes(std::vector<uint8_t>& bytes, FuzzRandom& random) {
  if (bytes.empty()) return;
  const size_t at = random.Below(bytes.size());
  const size_t count = std::min<size_t>(bytes.size() - at, 1 + random.Below(16));
  bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
              bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

// Fields of our formats are little-endian 32-bit values at any alignment.
void SetWord(std::vector<uint8_t>& bytes, FuzzRandom& random) {
  if (bytes.size() < 4) return;
  const size_t at = random.Below(bytes.size() - 3);
  uint32_t value = kInterestingWords[random.Below(std::size(kInterestingWords))];
  if (random.Below(4) == 0) {
    // Off by a little from the value that was there: lengths one too long or short.
    const uint32_t old = static_cast<uint32_t>(bytes[at]) | (bytes[at + 1] << 8) |
                         (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
    value = old + static_cast<uint32_t>(random.Below(17)) - 8;
  }
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Copies a piece of the input over another place: repeated records and headers.
void CopyPiece(std::vector<uint8_t>& bytes, FuzzRandom& random) {
  if (bytes.size() < 2) return;
  const size_t from = random.Below(bytes.size());
  const size_t to = random.Below(bytes.size());
  const size_t count = std::min(
      {bytes.size() - from, bytes.size() - to, size_t{1} + static_cast<size_t>(random.Below(32))});
  // The two pieces may overlap.
  std::memmove(bytes.data() + to, bytes.data() + from, count);
}

}  // namespace

uint64_t FuzzRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<uint8_t> Mutate(const std::vector<uint8_t>& input, FuzzRandom& random) {
  std::vector<uint8_t> bytes = input;
  const int rounds = 1 + static_cast<int>(random.Below(4));
  for (int i = 0; i < rounds; ++i) {
    switch (random.Below(7)) {
      case 0:
        FlipBit(bytes, random);
        break;
      case 1:
        SetByte(bytes, random);
        break;
      case 2:
        InsertBytes(bytes, random);
        break;
      case 3:
        DeleteBytes(bytes, random);
        break;
      case 4:
      case 5:
        SetWord(bytes, random);
        break;
      default:
        CopyPiece(bytes, random);
        break;
    }
  }
  return bytes;
}

}  // namespace koru::fuzz
