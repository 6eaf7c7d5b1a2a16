#include "base/stream.h"

#include <gtest/gtest.h>

#include "base/binary_io.h"
#include "base/error.h"

namespace koru {
namespace {

TEST(MemoryStreamTest, ReadsShortAtEndAndReadExactThrows) {
  MemoryStream stream({1, 2, 3});
  uint8_t buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 3);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetPosition(1);
  EXPECT_THROW(stream.ReadExact(buffer, 3), KoruError);
}

TEST(MemoryStreamTest, WriteBeyondEndGrowsWithZeros) {
  MemoryStream stream;
  stream.SetPosition(2);
  WriteInt32(stream, 0x01020304);
  EXPECT_EQ(stream.Bytes(), (std::vector<uint8_t>{0, 0, 4, 3, 2, 1}));
  stream.SetPosition(2);
  EXPECT_EQ(ReadInt32(stream), 0x01020304);
  stream.SetSize(3);
  EXPECT_EQ(stream.GetPosition(), 3);
}

TEST(ReadOnlyMemoryStreamTest, RefusesWrites) {
  const uint8_t data[] = {9, 8};
  ReadOnlyMemoryStream stream(data, 2);
  EXPECT_THROW(stream.Write(data, 1), KoruError);
  EXPECT_EQ(ReadUInt8(stream), 9);
  EXPECT_EQ(stream.Remaining(), 1);
}

}  // namespace
}  // namespace koru
