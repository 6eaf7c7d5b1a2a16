#include "storage/compression.h"

#include <gtest/gtest.h>

#include <cstring>

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

// The streamed inflate reads and writes in pieces and keeps DecompressStream's rules: an
// early end keeps what was decoded, trailing bytes are ignored, garbage and output beyond
// the bound throw.
TEST(CompressionTest, InflateToStreamKeepsTheInMemoryRules) {
  MemoryStream packed(SampleBytes(3000000));
  CompressStream(packed, kCompressFastest);
  const std::vector<uint8_t> compressed = packed.Bytes();
  auto inflate = [&](size_t size, int64_t bound) {
    size_t at = 0;
    MemoryStream out;
    InflateToStream(
        [&](uint8_t* buffer, size_t n) {
          std::memcpy(buffer, compressed.data() + at, n);
          at += n;
        },
        static_cast<int64_t>(size), out, bound);
    return out.Release();
  };
  EXPECT_EQ(inflate(compressed.size(), INT64_MAX), SampleBytes(3000000));
  EXPECT_EQ(inflate(compressed.size(), 3000000), SampleBytes(3000000));
  EXPECT_THROW(inflate(compressed.size(), 2999999), KoruError);
  const std::vector<uint8_t> half = inflate(compressed.size() / 2, INT64_MAX);
  EXPECT_GT(half.size(), 0u);
  EXPECT_EQ(half, SampleBytes(half.size()));

  const std::vector<uint8_t> garbage{1, 2, 3, 4, 5, 6};
  MemoryStream out;
  EXPECT_THROW(
      InflateToStream([&](uint8_t* buffer, size_t n) { std::memcpy(buffer, garbage.data(), n); }, 6,
                      out),
      KoruError);
}

TEST(CompressionTest, DecompressStreamHonoursTheBound) {
  MemoryStream stream(std::vector<uint8_t>(1 << 20));
  CompressStream(stream, kCompressBest);
  MemoryStream copy(stream.Bytes());
  EXPECT_THROW(DecompressStream(stream, (1 << 20) - 1), KoruError);
  DecompressStream(copy, 1 << 20);
  EXPECT_EQ(copy.GetSize(), 1 << 20);
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

TEST(CompressionTest, InflateReaderHandsOutPiecesAndChecksTheRest) {
  const auto bytes = SampleBytes(1000003);
  MemoryStream stream(bytes);
  CompressStream(stream, kCompressDefault);
  {
    InflateReader reader(stream.Data(), stream.Bytes().size(), bytes.size());
    size_t at = 0;
    for (size_t piece : {size_t{1}, size_t{8}, InflateReader::kMaxPiece, size_t{96}}) {
      while (at + piece <= bytes.size()) {
        const uint8_t* p = reader.Take(piece);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(std::memcmp(p, bytes.data() + at, piece), 0) << at;
        at += piece;
        if (at > (piece == 1 ? size_t{0} : size_t{300000}) + 1000) break;
      }
    }
    ASSERT_LT(at, bytes.size());
    EXPECT_NE(reader.Take(1), nullptr);
    reader.Finish();  // the rest is valid and within the bound
  }
  {
    // The bound covers what is left behind the pieces taken.
    InflateReader reader(stream.Data(), stream.Bytes().size(), bytes.size() - 1);
    ASSERT_NE(reader.Take(100), nullptr);
    EXPECT_THROW(reader.Finish(), KoruError);
  }
  {
    // A stream cut short: pieces until the end, then nullptr.
    InflateReader reader(stream.Data(), stream.Bytes().size() / 2, bytes.size());
    size_t got = 0;
    while (reader.Take(4096) != nullptr) got += 4096;
    EXPECT_GT(got, 0u);
    EXPECT_LT(got, bytes.size());
    EXPECT_THROW(reader.Take(InflateReader::kMaxPiece + 1), KoruError);
  }
  {
    MemoryStream garbage(std::vector<uint8_t>{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF});
    InflateReader reader(garbage.Data(), garbage.Bytes().size(), 100);
    EXPECT_THROW(reader.Take(10), KoruError);
  }
}

}  // namespace
}  // namespace koru
