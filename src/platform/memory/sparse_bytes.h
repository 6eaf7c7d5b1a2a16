#pragma once

// The bytes of an in-memory file, kept in pages so that a file of several GiB with
// holes (a write at 5 GiB, volumes of 1 GiB filled with zeros) costs only the pages that
// hold something other than zeros.

#include <cstdint>
#include <map>
#include <memory>

namespace koru::platform {

class SparseBytes {
 public:
  static constexpr int64_t kPageSize = 64 * 1024;

  SparseBytes() = default;
  SparseBytes(const SparseBytes& other);
  SparseBytes& operator=(const SparseBytes& other);

  int64_t size() const { return size_; }
  // Reads up to count bytes at position; returns the bytes read (0 at or past the end).
  int64_t Read(int64_t position, void* buffer, int64_t count) const;
  // Writes count bytes at position, growing the size. REQUIRES: position + count does
  // not overflow.
  void Write(int64_t position, const void* buffer, int64_t count);
  // Truncates or extends with zeros.
  void Resize(int64_t size);

 private:
  using Page = std::unique_ptr<uint8_t[]>;
  std::map<int64_t, Page> pages_;  // by page index
  int64_t size_ = 0;
};

}  // namespace koru::platform
