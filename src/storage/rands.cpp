#include "storage/rands.h"

#include <numeric>

#include "base/error.h"

namespace koru {

void TKwRandom::InitPool(uint32_t count) {
  pool_.resize(count);
  std::iota(pool_.begin(), pool_.end(), 0u);
}

uint32_t TKwRandom::NextFromPool() {
  // An empty pool is a caller error; refuse it instead of dividing by zero.
  if (pool_.empty()) throw KoruError("ファイルが破壊されています");
  const uint32_t state = static_cast<uint32_t>(Next());
  const size_t index = state % static_cast<uint32_t>(pool_.size());
  const uint32_t value = pool_[index];
  pool_.erase(pool_.begin() + static_cast<std::ptrdiff_t>(index));
  return value;
}

}  // namespace koru
