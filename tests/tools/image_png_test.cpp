// PNG reading and writing of the image tool: every colour type in, RGB(A) out.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <vector>

#include "base/error.h"
#include "imaging/png_io.h"

namespace koru {
namespace {

void Append(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

// Encodes raw PNG rows of any colour type, as a fixture our own code made.
std::vector<uint8_t> EncodeRaw(uint32_t width, uint32_t height, int depth, int color_type,
                               const std::vector<std::vector<uint8_t>>& rows,
                               const std::vector<png_color>& palette = {},
                               const std::vector<uint8_t>& trans = {}) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "fixture encoding failed";
    return {};
  }
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, width, height, depth, color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) {
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  }
  if (!trans.empty()) {
    png_set_tRNS(png, info, trans.data(), static_cast<int>(trans.size()), nullptr);
  }
  png_write_info(png, info);
  for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

PngPicture Gradient(int32_t width, int32_t height, int32_t bits, bool alpha) {
  PngPicture p;
  p.width = width;
  p.height = height;
  p.bit_count = bits;
  const int64_t stride = MuraRowBytes(width, bits);
  p.pixels.assign(static_cast<size_t>(stride * height), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* px = &p.pixels[y * stride + x * (bits / 8)];
      px[0] = static_cast<uint8_t>(x * 5);
      px[1] = static_cast<uint8_t>(y * 9);
      px[2] = static_cast<uint8_t>(x ^ y);
    }
  }
  if (alpha) {
    const int64_t astride = MuraRowBytes(width, 8);
    p.alpha.assign(static_cast<size_t>(astride * height), 0);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) p.alpha[y * astride + x] = static_cast<uint8_t>(x + y);
    }
  }
  return p;
}

TEST(PngIo, RgbAndRgbaRoundTripExactly) {
  for (const bool alpha : {false, true}) {
    for (const int32_t bits : {24, 32}) {
      const PngPicture source = Gradient(7, 5, bits, alpha);
      const auto png = WritePng(source);
      const PngPicture back = ReadPng(png.data(), png.size(), bits);
      EXPECT_EQ(back.width, 7);
      EXPECT_EQ(back.height, 5);
      EXPECT_EQ(back.pixels, source.pixels) << bits << " " << alpha;
      EXPECT_EQ(back.alpha, source.alpha) << bits << " " << alpha;
    }
  }
}

TEST(PngIo, LowBitPicturesAreWrittenThroughTheirColourTable) {
  PngPicture p;
  p.width = 3;
  p.height = 1;
  p.bit_count = 4;
  p.pixels = {0x12, 0x30, 0, 0};  // indexes 1, 2, 3
  p.colors[1] = 0x00FF0000;       // red
  p.colors[2] = 0x0000FF00;       // green
  p.colors[3] = 0x000000FF;       // blue
  const auto png = WritePng(p);
  const PngPicture back = ReadPng(png.data(), png.size());
  const std::vector<uint8_t> expected = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
  EXPECT_EQ(back.pixels, expected);

  PngPicture words;
  words.width = 1;
  words.height = 1;
  words.bit_count = 15;
  words.pixels = {0x1F, 0x7C, 0, 0};  // 5-5-5: red 31, green 0, blue 31
  const auto png555 = WritePng(words);
  const PngPicture magenta = ReadPng(png555.data(), png555.size());
  EXPECT_EQ(magenta.pixels, (std::vector<uint8_t>{255, 0, 255, 0}));
}

TEST(PngIo, PaletteGrayAndSixteenBitFilesAreRead) {
  const std::vector<png_color> palette = {{10, 20, 30}, {200, 100, 50}};
  const auto indexed = EncodeRaw(4, 1, 2, PNG_COLOR_TYPE_PALETTE, {{0x11}}, palette, {255, 7});
  const PngPicture rgb = ReadPng(indexed.data(), indexed.size());
  EXPECT_EQ(rgb.pixels, (std::vector<uint8_t>{30, 20, 10, 50, 100, 200, 30, 20, 10, 50, 100,
                                              200}));  // indexes 0 1 0 1, blue first
  EXPECT_EQ(std::vector<uint8_t>(rgb.alpha.begin(), rgb.alpha.begin() + 4),
            (std::vector<uint8_t>{255, 7, 255, 7}));
  const PngPicture kept = ReadPng(indexed.data(), indexed.size(), 8);
  EXPECT_EQ(std::vector<uint8_t>(kept.pixels.begin(), kept.pixels.begin() + 4),
            (std::vector<uint8_t>{0, 1, 0, 1}));
  EXPECT_EQ(kept.colors[1], 0x00C86432u);

  const auto gray = EncodeRaw(2, 1, 8, PNG_COLOR_TYPE_GRAY, {{0, 128}});
  const PngPicture g8 = ReadPng(gray.data(), gray.size(), 8);
  EXPECT_EQ(g8.pixels[1], 128);
  EXPECT_EQ(g8.colors[128], 0x00808080u);
  EXPECT_TRUE(g8.alpha.empty());
  const PngPicture g24 = ReadPng(gray.data(), gray.size(), 24);
  EXPECT_EQ(std::vector<uint8_t>(g24.pixels.begin(), g24.pixels.begin() + 6),
            (std::vector<uint8_t>{0, 0, 0, 128, 128, 128}));

  // 16-bit RGBA: high bytes 0x12 0x34 0x56, alpha 0xFFFF.
  const auto deep = EncodeRaw(1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA,
                              {{0x12, 0x00, 0x34, 0x00, 0x56, 0x00, 0xFF, 0xFF}});
  const PngPicture d = ReadPng(deep.data(), deep.size(), 32);
  EXPECT_EQ(std::vector<uint8_t>(d.pixels.begin(), d.pixels.begin() + 4),
            (std::vector<uint8_t>{0x56, 0x34, 0x12, 0}));
  EXPECT_EQ(d.alpha[0], 255);
}

TEST(PngIo, ColourFilesCannotBeReadAsEightBits) {
  const auto png = WritePng(Gradient(2, 2, 24, false));
  EXPECT_THROW(ReadPng(png.data(), png.size(), 8), KoruError);
  EXPECT_THROW(ReadPng(png.data(), png.size(), 16), KoruError);
}

TEST(PngIo, EveryTruncatedPrefixAndDamagedByteFailsCleanly) {
  const auto png = WritePng(Gradient(9, 6, 24, true));
  for (size_t n = 0; n < png.size(); ++n) {
    EXPECT_THROW(ReadPng(png.data(), n), KoruError) << n;
  }
  uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> damaged = png;
    seed = seed * 1103515245u + 12345u;
    damaged[8 + (seed >> 8) % (damaged.size() - 8)] ^= static_cast<uint8_t>(1 + (seed & 0x7F));
    try {
      const PngPicture p = ReadPng(damaged.data(), damaged.size());
      EXPECT_EQ(p.pixels.size(), static_cast<size_t>(MuraRowBytes(p.width, 24) * p.height));
    } catch (const KoruError&) {
    }
  }
}

TEST(PngIo, PicturesAboveTheLimitsAreRefused) {
  const auto wide = EncodeRaw(kMaxPngDimension + 1, 1, 1, PNG_COLOR_TYPE_GRAY,
                              {std::vector<uint8_t>(kMaxPngDimension / 8 + 1, 0)});
  EXPECT_THROW(ReadPng(wide.data(), wide.size()), KoruError);
}

}  // namespace
}  // namespace koru
