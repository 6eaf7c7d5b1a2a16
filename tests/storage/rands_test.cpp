#include "storage/rands.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace koru {
namespace {

TEST(TKwRandomTest, NextFollowsTheRecurrence) {
  TKwRandom random(1);
  EXPECT_EQ(random.Next(), 1);
  EXPECT_EQ(random.Next(), 6);
  EXPECT_EQ(random.Next(), 31);
  EXPECT_EQ(random.Next(), 156);
  EXPECT_EQ(random.Next(), 781);

  TKwRandom high(0x80000000u);
  EXPECT_EQ(high.Next(), INT32_MIN);
  EXPECT_EQ(high.Next(), 0);
  EXPECT_EQ(high.Next(), INT32_MIN);
}

TEST(TKwRandomTest, PoolDrawsAPermutation) {
  TKwRandom random(1);
  random.InitPool(4);
  std::vector<uint32_t> draws;
  for (int i = 0; i < 4; ++i) draws.push_back(random.NextFromPool());
  EXPECT_EQ(draws, (std::vector<uint32_t>{1, 0, 3, 2}));

  TKwRandom big(0x5C2A9D17u);
  big.InitPool(1000);
  std::vector<uint32_t> all;
  for (int i = 0; i < 1000; ++i) all.push_back(big.NextFromPool());
  std::sort(all.begin(), all.end());
  for (uint32_t i = 0; i < 1000; ++i) EXPECT_EQ(all[i], i);
}

TEST(TKwRandomTest, SingleEntryPoolAndSharedState) {
  TKwRandom random(12345);
  random.InitPool(1);
  EXPECT_EQ(random.NextFromPool(), 0u);
  // The pool draw advanced the same state Next uses.
  TKwRandom twin(12345);
  twin.Next();
  EXPECT_EQ(random.Next(), twin.Next());
}

TEST(TKwRandomTest, CodeZeroDrawsInOrder) {
  TKwRandom random(0);
  random.InitPool(5);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(random.NextFromPool(), i);
}

}  // namespace
}  // namespace koru
