#include "settings/stream_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <numeric>

#include "base/error.h"
#include "settings/format_thousands.h"

namespace koru {
namespace {

std::vector<uint8_t> Sequence(size_t n) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  return bytes;
}

// A stream that is not in memory for the copy routine and hands out few bytes per read.
class TrickleStream : public Stream {
 public:
  // claimed_size: what GetSize reports (a file that shrank under its reader), -1 = the truth.
  TrickleStream(const std::vector<uint8_t>& bytes, int64_t step, int64_t claimed_size = -1)
      : inner_(bytes), step_(step), claimed_size_(claimed_size) {}
  int64_t Read(void* buffer, int64_t count) override {
    return inner_.Read(buffer, std::min(count, step_));
  }
  int64_t Write(const void* buffer, int64_t count) override { return inner_.Write(buffer, count); }
  int64_t GetSize() override { return claimed_size_ < 0 ? inner_.GetSize() : claimed_size_; }
  int64_t GetPosition() override { return inner_.GetPosition(); }
  void SetPosition(int64_t position) override { inner_.SetPosition(position); }
  void SetSize(int64_t size) override { inner_.SetSize(size); }

 private:
  MemoryStream inner_;
  int64_t step_;
  int64_t claimed_size_;
};

TEST(CopyStreamDataTest, CountZeroCopiesWholeSourceFromItsStart) {
  MemoryStream source(Sequence(100));
  source.SetPosition(60);
  MemoryStream target;
  EXPECT_EQ(CopyStreamData(target, source, 0), 100);
  EXPECT_EQ(target.Bytes(), Sequence(100));
  EXPECT_EQ(source.GetPosition(), 100);
}

TEST(CopyStreamDataTest, MemorySourceCopiesFromItsPositionAndAdvances) {
  MemoryStream source(Sequence(10));
  source.SetPosition(3);
  MemoryStream target;
  EXPECT_EQ(CopyStreamData(target, source, 4), 4);
  EXPECT_EQ(target.Bytes(), (std::vector<uint8_t>{4, 5, 6, 7}));
  EXPECT_EQ(source.GetPosition(), 7);
}

TEST(CopyStreamDataTest, ReadOnlyMemorySourceIsCopiedFromItsMemory) {
  const std::vector<uint8_t> bytes = Sequence(10);
  ReadOnlyMemoryStream source(bytes.data(), 10);
  source.SetPosition(8);
  MemoryStream target;
  EXPECT_EQ(CopyStreamData(target, source, 2), 2);
  EXPECT_EQ(target.Bytes(), (std::vector<uint8_t>{9, 10}));
  EXPECT_THROW(CopyStreamData(target, source, 1), KoruError);
}

TEST(CopyStreamDataTest, BufferedSourceSurvivesShortReads) {
  const std::vector<uint8_t> bytes = Sequence(1000);
  TrickleStream source(bytes, 7);
  source.SetPosition(10);
  MemoryStream target;
  EXPECT_EQ(CopyStreamData(target, source, 900), 900);
  EXPECT_EQ(target.Bytes(), std::vector<uint8_t>(bytes.begin() + 10, bytes.begin() + 910));
}

TEST(CopyStreamDataTest, ShortSourceStopsWithReadErrorInsteadOfHanging) {
  const std::vector<uint8_t> bytes = Sequence(10);
  MemoryStream memory(bytes);
  memory.SetPosition(4);
  TrickleStream buffered(bytes, 3);
  buffered.SetPosition(4);
  for (Stream* source : {static_cast<Stream*>(&memory), static_cast<Stream*>(&buffered)}) {
    MemoryStream target;
    try {
      CopyStreamData(target, *source, 7);
      ADD_FAILURE() << "a source of 6 bytes gave 7";
    } catch (const KoruError& error) {
      EXPECT_STREQ(error.what(), kStreamReadError);
    }
    // Nothing was read past the source's end.
    EXPECT_LE(target.GetSize(), 6);
  }
  MemoryStream target;
  EXPECT_THROW(CopyStreamData(target, memory, -1), KoruError);
}

TEST(CopyStreamDataTest, SourceThatEndsBeforeItsSizeStopsWithReadError) {
  TrickleStream source(Sequence(10), 4, /*claimed_size=*/100);
  MemoryStream target;
  EXPECT_THROW(CopyStreamData(target, source, 0), KoruError);
  EXPECT_EQ(target.Bytes(), Sequence(10));
}

TEST(CopyStreamDataTest, CopyOfAMemoryStreamOntoItselfAppendsSafely) {
  MemoryStream stream(Sequence(4));
  EXPECT_EQ(CopyStreamData(stream, stream, 0), 4);
  EXPECT_EQ(stream.Bytes(), (std::vector<uint8_t>{1, 2, 3, 4, 1, 2, 3, 4}));
}

TEST(AllocateCopyBufferTest, LowersByOneMebibyteUntilAllocationSucceeds) {
  std::vector<size_t> asked;
  auto allocate = [&](size_t n) {
    asked.push_back(n);
    if (n > 3 * 1024 * 1024) throw std::bad_alloc();
    return std::make_unique<uint8_t[]>(1);
  };
  int64_t size = 0;
  AllocateCopyBuffer(int64_t{50} * 1024 * 1024, allocate, &size);
  EXPECT_EQ(size, 3 * 1024 * 1024);
  ASSERT_EQ(asked.size(), 8u);
  EXPECT_EQ(asked.front(), 10u * 1024 * 1024);
}

TEST(AllocateCopyBufferTest, RethrowsWhenNothingIsLeft) {
  int calls = 0;
  auto refuse = [&](size_t) -> std::unique_ptr<uint8_t[]> {
    ++calls;
    throw std::bad_alloc();
  };
  int64_t size = 0;
  EXPECT_THROW(AllocateCopyBuffer(1536 * 1024, refuse, &size), std::bad_alloc);
  EXPECT_EQ(calls, 2);  // 1.5 MiB, then 0.5 MiB
}

TEST(FormatThousandsTest, CommaBeforeEveryGroupOfThree) {
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1000), "1,000");
  EXPECT_EQ(FormatThousands(1234567), "1,234,567");
  EXPECT_EQ(FormatThousands(INT64_MAX), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatThousands(-1000), "-1,000");
  EXPECT_EQ(FormatThousands(INT64_MIN), "-9,223,372,036,854,775,808");
}

}  // namespace
}  // namespace koru
