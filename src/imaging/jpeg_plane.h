#pragma once

// Decoding of JPEG-coded colour planes with libjpeg at its most accurate settings
// (integer slow DCT, fancy upsampling, block smoothing).

#include <cstddef>
#include <cstdint>

#include "imaging/dib.h"

namespace koru {

// Decodes a JPEG stream into a 24-bit picture (greyscale is expanded to RGB). Throws
// KoruError with libjpeg's message for data it cannot decode, and "ファイルが破壊されています"
// when the picture is not expected_width x expected_height, before any pixel memory is
// allocated. out keeps its colour table.
void DecodeJpegTo24Bits(const uint8_t* data, size_t size, int expected_width, int expected_height,
                        TDIB* out);

}  // namespace koru
