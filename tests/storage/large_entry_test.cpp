// Entries of 2 GiB and more, without 2 GiB of memory or disc: the archive stream is a
// directory followed by a long run of zeros that is generated as it is read.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "archive_fixture.h"
#include "platform/memory/memory_env.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

// head, then zero_count zero bytes, then tail.
class ZeroRunStream : public TKwBigStream {
 public:
  ZeroRunStream(std::string head, int64_t zero_count, std::string tail)
      : head_(std::move(head)), zeros_(zero_count), tail_(std::move(tail)) {}

  int64_t GetSize() override { return Head() + zeros_ + Tail(); }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t p) override { position_ = std::clamp<int64_t>(p, 0, GetSize()); }
  int64_t Read(void* buffer, int64_t count) override {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const int64_t n = std::min(count, GetSize() - position_);
    for (int64_t done = 0; done < n;) {
      const int64_t p = position_ + done;
      int64_t k;
      if (p < Head()) {
        k = std::min(n - done, Head() - p);
        std::memcpy(out + done, head_.data() + p, static_cast<size_t>(k));
      } else if (p < Head() + zeros_) {
        k = std::min(n - done, Head() + zeros_ - p);
        std::memset(out + done, 0, static_cast<size_t>(k));
      } else {
        k = n - done;
        std::memcpy(out + done, tail_.data() + (p - Head() - zeros_), static_cast<size_t>(k));
      }
      done += k;
    }
    position_ += n;
    return n;
  }
  int64_t CopyToStream(Stream& dest, int64_t count) override {
    std::string bytes(static_cast<size_t>(count), '\0');
    if (Read(bytes.data(), count) != count) return 0;
    dest.WriteExact(bytes.data(), count);
    return count;
  }

 private:
  int64_t Head() const { return static_cast<int64_t>(head_.size()); }
  int64_t Tail() const { return static_cast<int64_t>(tail_.size()); }
  std::string head_;
  int64_t zeros_;
  std::string tail_;
  int64_t position_ = 0;
};

// CRC-32 of n zero bytes (n at most 1 GiB), by doubling with crc32_combine instead of
// reading them. Lengths stay below 2^31: z_off_t is 32 bits wide on Windows.
uLong ZerosCrc(int64_t n) {
  uLong result = 0;
  uLong power = crc32(0, reinterpret_cast<const Bytef*>("\0"), 1);  // one zero byte
  z_off_t power_length = 1;
  for (; n > 0; n >>= 1) {
    if (n & 1) result = crc32_combine(result, power, power_length);
    if (n > 1) {
      power = crc32_combine(power, power, power_length);
      power_length *= 2;
    }
  }
  return result;
}

// The same for any n, in pieces of 1 GiB.
uLong LongZerosCrc(int64_t n) {
  uLong result = 0;
  while (n > 0) {
    const int64_t piece = std::min<int64_t>(n, int64_t{1} << 30);
    result = crc32_combine(result, ZerosCrc(piece), static_cast<z_off_t>(piece));
    n -= piece;
  }
  return result;
}

TEST(LargeEntryTest, VerifyChecksums_CountsEntriesOfTwoGibAndMore) {
  const int64_t zeros = (int64_t{2} << 30) + 3;  // beyond the signed 32-bit range
  const std::string tail = "end of a long entry";
  const int64_t size = zeros + static_cast<int64_t>(tail.size());
  const uint32_t crc = static_cast<uint32_t>(crc32_combine(
      LongZerosCrc(zeros),
      crc32(0, reinterpret_cast<const Bytef*>(tail.data()), static_cast<uInt>(tail.size())),
      static_cast<z_off_t>(tail.size())));

  // A one-entry directory whose data follow it: written by hand, since the writer would
  // need the bytes themselves.
  std::string dir = "vf";
  testing::Put32(dir, 102);
  testing::Put32(dir, 1);
  TKwRandom names(kDirectorySeed);
  testing::Put32(dir, 3);
  for (char c : std::string("big")) dir.push_back(static_cast<char>(c ^ (names.Next() & 0xFF)));
  const int64_t data_at = static_cast<int64_t>(dir.size()) + 16 + 10;
  TKwRandom offsets(kDirectorySeed);
  testing::Put64(dir, static_cast<uint64_t>(data_at ^ static_cast<int64_t>(offsets.Next())));
  testing::Put64(dir,
                 static_cast<uint64_t>((data_at + size) ^ static_cast<int64_t>(offsets.Next())));
  dir.push_back(1);
  testing::Put32(dir, 0);
  testing::Put32(dir, crc);
  dir.push_back(0);

  platform::MemoryEnv env;
  TVrFileCollection archive(env);
  archive.OpenStream(std::make_unique<ZeroRunStream>(dir, zeros, tail));
  ASSERT_EQ(archive.Entry(0).Size, size);
  // A count cut to 32 bits would check a different run of bytes and fail.
  EXPECT_TRUE(archive.VerifyChecksums());
}

}  // namespace
}  // namespace koru
