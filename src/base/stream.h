#pragma once

// Ordinary byte streams with 64-bit sizes and positions: the in-memory stream and the
// interface that open files (platform layer) and other sources implement.

#include <cstdint>
#include <string>
#include <vector>

namespace koru {

class MemoryStream;

class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to count bytes at the position and advances it; returns the bytes read,
  // fewer than count only at the end of the stream.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes at the position, growing the stream; throws KoruError when the
  // bytes cannot all be written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t GetSize() = 0;
  virtual int64_t GetPosition() = 0;
  // Moves the position; positions beyond the size are allowed (a write there extends).
  virtual void SetPosition(int64_t position) = 0;
  // Truncates or extends the stream; the position is kept unless it lies beyond.
  virtual void SetSize(int64_t size) = 0;

  // Non-null iff this stream is an in-memory stream (used for copies without a buffer).
  virtual MemoryStream* AsMemoryStream() { return nullptr; }

  // Reads exactly count bytes or throws KoruError(kStreamReadError).
  void ReadExact(void* buffer, int64_t count);
  // Writes exactly count bytes or throws KoruError(kStreamWriteError).
  void WriteExact(const void* buffer, int64_t count);
  // Bytes between the position and the end (0 when the position lies beyond).
  int64_t Remaining();

  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
};

// A growable stream in memory. Sizes are bounded by what a std::vector can hold.
class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override;
  void SetSize(int64_t size) override;
  MemoryStream* AsMemoryStream() override { return this; }

  // Empties the stream and resets the position to 0.
  void Clear();
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  std::vector<uint8_t>& Bytes() { return data_; }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  // Takes the bytes out, leaving the stream empty.
  std::vector<uint8_t> Release();
  // Replaces the content; the position goes to 0.
  void Assign(std::vector<uint8_t> data);

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// A read-only stream over bytes owned by someone else (a module resource, a mapped
// buffer). Writing throws.
class ReadOnlyMemoryStream : public Stream {
 public:
  ReadOnlyMemoryStream(const void* data, int64_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override;
  void SetSize(int64_t size) override;
  const uint8_t* Data() const { return data_; }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t position_ = 0;
};

// Message of a write to a read-only stream.
inline constexpr const char* kReadOnlyStreamError = "読み取り専用のストリームには書き込めません";

}  // namespace koru
