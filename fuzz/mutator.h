#pragma once

// Deterministic damage to valid inputs: the same seed number gives the same mutations on
// every compiler and platform (no std:: distributions, whose results are unspecified).

#include <cstdint>
#include <vector>

namespace koru::fuzz {

// splitmix64: small, fast and of well-known output.
class FuzzRandom {
 public:
  explicit FuzzRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // A value in [0, bound); 0 when bound is 0.
  uint64_t Below(uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }

 private:
  uint64_t state_;
};

// One to four damages: bit flips, bytes set to 0x00/0xFF/0x7F/0x80, inserted and deleted
// runs, and 32-bit fields replaced by huge, negative or boundary values.
std::vector<uint8_t> Mutate(const std::vector<uint8_t>& input, FuzzRandom& random);

}  // namespace koru::fuzz
