#pragma once

// Pieces of "vfkit image": the description of a ".MUR" file's structure and the decoding
// of its frames into pictures for PNG files.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/png_io.h"

namespace koru::tools {

// A readable description of the file: variant, version, header fields, frames and their
// layers with payload sizes (UTF-8 text, one item per line). Walks the structure without
// decoding planes. Throws KoruError for a damaged file.
std::string DescribeMuraImage(const std::vector<uint8_t>& file);

// The composed frames of the file as pictures (frame bit count, colour table, alpha plane
// when the frame has one). first_only: only frame 0 is decoded.
std::vector<PngPicture> DecodeMuraFrames(const std::vector<uint8_t>& file, uint32_t code,
                                         bool first_only);

}  // namespace koru::tools
