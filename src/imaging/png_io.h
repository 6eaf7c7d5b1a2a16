#pragma once

// PNG files to and from the planes of the ".MUR" encoder, through libpng. Kept out of
// the imaging core: only the tool and the benchmarks link it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/mura_writer.h"

namespace koru {

// A picture as plane rows: top row first, each MuraRowBytes(width, bit_count) long.
struct PngPicture {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bit_count = 24;       // 8 (palette index), 24 (blue, green, red) or 32 (BGRX)
  std::vector<uint8_t> pixels;  // colour plane
  MuraColorTable colors{};      // at 8 bits
  std::vector<uint8_t> alpha;   // empty, or rows of MuraRowBytes(width, 8): 255 opaque
};

// The largest PNG accepted, per side and in pixels, so that a damaged file cannot ask for
// an unbounded allocation.
inline constexpr int32_t kMaxPngDimension = 16384;
inline constexpr int64_t kMaxPngPixels = int64_t{1} << 26;

// Decodes a PNG of any colour type (palette, gray, RGB, with or without alpha, 1 to 16
// bits per sample; 16-bit samples are scaled to 8) into a picture of bit_count 24 or
// 32, or 8 for palette and gray files (gray becomes a gray colour table). A file with an
// alpha channel or a transparency chunk gives an alpha plane. Throws KoruError for a
// damaged file, one above the limits, or 8 bits asked of a colour file.
PngPicture ReadPng(const uint8_t* data, size_t size, int32_t bit_count = 24);

// Encodes an 8-bit-per-sample RGB PNG, or RGBA when the picture has an alpha plane.
// The picture may have 1, 4 or 8 bits (through its colour table), 15, 16, 24 or 32 bits.
// compression_level: zlib's 0..9, or -1 for its default.
std::vector<uint8_t> WritePng(const PngPicture& picture, int compression_level = -1);

}  // namespace koru
