#include "platform/memory/sparse_bytes.h"

#include <algorithm>
#include <cstring>

namespace koru::platform {
namespace {

bool AllZero(const uint8_t* bytes, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace

SparseBytes::SparseBytes(const SparseBytes& other) { *this = other; }

SparseBytes& SparseBytes::operator=(const SparseBytes& other) {
  if (this == &other) return *this;
  pages_.clear();
  for (const auto& [index, page] : other.pages_) {
    Page copy(new uint8_t[kPageSize]);
    std::memcpy(copy.get(), page.get(), kPageSize);
    pages_.emplace(index, std::move(copy));
  }
  size_ = other.size_;
  return *this;
}

int64_t SparseBytes::Read(int64_t position, void* buffer, int64_t count) const {
  if (count <= 0 || position < 0 || position >= size_) return 0;
  const int64_t total = std::min(count, size_ - position);
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < total) {
    const int64_t at = position + done;
    const int64_t offset = at % kPageSize;
    const int64_t n = std::min(total - done, kPageSize - offset);
    auto it = pages_.find(at / kPageSize);
    if (it == pages_.end()) {
      std::memset(out + done, 0, static_cast<size_t>(n));
    } else {
      std::memcpy(out + done, it->second.get() + offset, static_cast<size_t>(n));
    }
    done += n;
  }
  return total;
}

void SparseBytes::Write(int64_t position, const void* buffer, int64_t count) {
  if (count <= 0) return;
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t at = position + done;
    const int64_t offset = at % kPageSize;
    const int64_t n = std::min(count - done, kPageSize - offset);
    auto it = pages_.find(at / kPageSize);
    if (it == pages_.end()) {
      // A missing page reads as zeros already.
      if (!AllZero(in + done, n)) {
        Page page(new uint8_t[kPageSize]());
        std::memcpy(page.get() + offset, in + done, static_cast<size_t>(n));
        pages_.emplace(at / kPageSize, std::move(page));
      }
    } else {
      std::memcpy(it->second.get() + offset, in + done, static_cast<size_t>(n));
    }
    done += n;
  }
  size_ = std::max(size_, position + count);
}

void SparseBytes::Resize(int64_t size) {
  if (size < size_) {
    pages_.erase(pages_.lower_bound((size + kPageSize - 1) / kPageSize), pages_.end());
    auto it = pages_.find(size / kPageSize);
    if (it != pages_.end()) {
      const int64_t offset = size % kPageSize;
      std::memset(it->second.get() + offset, 0, static_cast<size_t>(kPageSize - offset));
    }
  }
  size_ = size;
}

}  // namespace koru::platform
