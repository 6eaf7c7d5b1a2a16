#pragma once

// The seeded generator whose sequence is part of the archive and image formats: files
// written by one run are read back by another, so the recurrence must never change.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace koru {

class TKwRandom {
 public:
  explicit TKwRandom(uint32_t seed) : seed_(seed) {}

  // State := State * 5 + Seed (mod 2^32); the new state as a signed number.
  int32_t Next() {
    state_ = state_ * 5u + seed_;
    return static_cast<int32_t>(state_);
  }

  // Fills the pool with 0 .. count-1 in order; the state is not touched.
  void InitPool(uint32_t count);
  // Advances the state as Next does and draws (state mod remaining) from the pool.
  // REQUIRES: the pool is not empty (at most count draws after InitPool(count)).
  uint32_t NextFromPool();

  uint32_t Seed() const { return seed_; }
  uint32_t State() const { return state_; }
  size_t PoolRemaining() const { return pool_.size(); }

 private:
  uint32_t seed_;
  uint32_t state_ = 0;
  std::vector<uint32_t> pool_;
};

}  // namespace koru
