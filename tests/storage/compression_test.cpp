#include "storage/compression.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

std::vector<uint8_t> SampleBytes(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7) ^ (i >> 5));
  return bytes;
}

TEST(CompressionTest, RoundTripsAtEveryLevel) {
  for (int level = 0; level <= 3; ++level) {
    MemoryStream stream(SampleBytes(3000000));
    CompressStream(stream, level);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    DecompressStream(stream);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.Bytes(), SampleBytes(3000000)) << "level " << level;
  }
}

TEST(CompressionTest, EmptyStreamRoundTrips) {
  MemoryStream stream;
  CompressStream(stream, kCompressDefault);
  EXPECT_GT(stream.GetSize(), 0);
  DecompressStream(stream);
  EXPECT_EQ(stream.GetSize(), 0);
}

TEST(CompressionTest, TruncatedStreamGivesWhatWasDecoded) {
  MemoryStream stream(SampleBytes(100000));
  CompressStream(stream, kCompressStore);
  stream.SetSize(stream.GetSize() / 2);
  DecompressStream(stream);
  EXPECT_GT(stream.GetSize(), 0);
  EXPECT_LT(stream.GetSize(), 100000);
  const auto expected = SampleBytes(static_cast<size_t>(stream.GetSize()));
  EXPECT_EQ(stream.Bytes(), expected);
}

TEST(CompressionTest, TrailingBytesAreIgnoredAndGarbageThrows) {
  MemoryStream stream(SampleBytes(1000));
  CompressStream(stream, kCompressDefault);
  stream.WriteExact("tail", 4);
  DecompressStream(stream);
  EXPECT_EQ(stream.Bytes(), SampleBytes(1000));

  MemoryStream garbage(std::vector<uint8_t>{1, 2, 3, 4, 5, 6});
  EXPECT_THROW(DecompressStream(garbage), KoruError);
}

TEST(CompressionTest, InflateBytesHonoursTheBound) {
  MemoryStream stream(SampleBytes(5000));
  CompressStream(stream, kCompressDefault);
  std::vector<uint8_t> out;
  InflateBytes(stream.Data(), stream.Bytes().size(), &out, 5000);
  EXPECT_EQ(out.size(), 5000u);
  out.clear();
  EXPECT_THROW(InflateBytes(stream.Data(), stream.Bytes().size(), &out, 4999), KoruError);
}

TEST(CompressionTest, InflateIntoFillsExactlyAndRefusesMore) {
  MemoryStream stream(SampleBytes(70000));
  CompressStream(stream, kCompressDefault);
  std::vector<uint8_t> out(70000);
  EXPECT_EQ(InflateInto(stream.Data(), stream.Bytes().size(), out.data(), out.size()), 70000u);
  EXPECT_EQ(out, SampleBytes(70000));
  EXPECT_THROW(InflateInto(stream.Data(), stream.Bytes().size(), out.data(), 69999), KoruError);
  // A stream cut short gives what it held.
  EXPECT_LT(InflateInto(stream.Data(), stream.Bytes().size() / 2, out.data(), out.size()), 70000u);
}

}  // namespace
}  // namespace koru
