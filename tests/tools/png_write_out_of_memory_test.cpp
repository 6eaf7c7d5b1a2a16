// A failed allocation while libpng writes must come back as the writer's error: an
// exception unwinding through libpng's C frames would end the program instead. The test
// program has an operator new of its own so that large allocations can be made to fail.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>

#include "base/error.h"
#include "imaging/png_io.h"

namespace {

// While not 0, allocations of at least this many bytes fail.
std::size_t g_fail_from = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (g_fail_from != 0 && size >= g_fail_from) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace koru {
namespace {

TEST(PngWriteOutOfMemoryTest, GrowingOutputThatCannotBeAllocatedIsAnError) {
  // Noise does not compress, so the output outgrows the limit while libpng writes it.
  PngPicture picture;
  picture.width = 1024;
  picture.height = 512;
  picture.pixels.resize(size_t{1024} * 512 * 3);
  std::mt19937 random(7);
  for (uint8_t& b : picture.pixels) b = static_cast<uint8_t>(random());

  g_fail_from = size_t{1} << 20;
  bool refused = false;
  try {
    WritePng(picture, 0);
  } catch (const KoruError& error) {
    refused = std::string(error.what()).find("メモリが足りません") != std::string::npos;
  }
  g_fail_from = 0;
  EXPECT_TRUE(refused);
  // The writer is usable again once memory is there.
  EXPECT_GT(WritePng(picture, 0).size(), picture.pixels.size());
}

}  // namespace
}  // namespace koru
