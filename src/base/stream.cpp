#include "base/stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/error.h"

namespace koru {

void Stream::ReadExact(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw KoruError(kStreamReadError);
}

void Stream::WriteExact(const void* buffer, int64_t count) {
  if (count < 0 || Write(buffer, count) != count) throw KoruError(kStreamWriteError);
}

int64_t Stream::Remaining() {
  const int64_t left = GetSize() - GetPosition();
  return left > 0 ? left : 0;
}

int64_t MemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = GetSize();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ > std::numeric_limits<int64_t>::max() - count) throw KoruError(kStreamWriteError);
  const int64_t end = position_ + count;
  if (static_cast<uint64_t>(end) > data_.max_size()) throw KoruError(kStreamWriteError);
  if (end > GetSize()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

void MemoryStream::SetPosition(int64_t position) { position_ = std::max<int64_t>(position, 0); }

void MemoryStream::SetSize(int64_t size) {
  if (size < 0 || static_cast<uint64_t>(size) > data_.max_size()) {
    throw KoruError(kStreamWriteError);
  }
  data_.resize(static_cast<size_t>(size));
  if (position_ > size) position_ = size;
}

void MemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

std::vector<uint8_t> MemoryStream::Release() {
  std::vector<uint8_t> out = std::move(data_);
  Clear();
  return out;
}

void MemoryStream::Assign(std::vector<uint8_t> data) {
  data_ = std::move(data);
  position_ = 0;
}

int64_t ReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t ReadOnlyMemoryStream::Write(const void*, int64_t) { throw KoruError(kReadOnlyStreamError); }

void ReadOnlyMemoryStream::SetPosition(int64_t position) {
  position_ = std::max<int64_t>(position, 0);
}

void ReadOnlyMemoryStream::SetSize(int64_t) { throw KoruError(kReadOnlyStreamError); }

}  // namespace koru
