#pragma once

// Encoder of the layered ".MUR" image format: frames of layers, each layer a colour plane
// and an optional 8-bit alpha plane, under the binary ("Mura" + three digits) or the XML
// ("MuraX200") header. The input is plain data, independent of the picture classes, so
// that tools and tests can build any variant the reader accepts.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"

namespace koru {

// Colour table entries as RGBQUAD values: blue in the low byte, then green, then red.
using MuraColorTable = std::array<uint32_t, 256>;
// One uninterpreted 16-byte record of a binary frame (versions 104 and later).
using MuraAuxRecord = std::array<uint8_t, 16>;

// Bits a pixel occupies in memory: 15 (5-5-5) pixels are 16-bit words.
inline int MuraStorageBits(int bit_count) { return bit_count == 15 ? 16 : bit_count; }
// Bytes of one plane row: width * storage bits rounded up to a multiple of 4 bytes.
// REQUIRES: width >= 0, bit_count > 0.
inline int64_t MuraRowBytes(int64_t width, int bit_count) {
  return (width * MuraStorageBits(bit_count) + 31) / 32 * 4;
}

struct MuraLayerSource {
  std::string name;  // Shift-JIS
  bool visible = true;
  int32_t trans_color = -1;  // pixel value of the frame's format, -1 = none
  int32_t alpha = 255;       // constant opacity
  bool alpha_on = false;
  // Colour plane: height rows of MuraRowBytes(width, bit_count) bytes, top row first,
  // in the frame's bit count (15 and 16: 16-bit words; 24: blue, green, red).
  std::vector<uint8_t> pixels;
  // Alpha plane: empty for none, else height rows of MuraRowBytes(width, 8) bytes.
  std::vector<uint8_t> alpha_plane;
};

struct MuraFrameSource {
  std::string name;
  int32_t trans_color = -1;
  int32_t delay = 100;
  uint8_t disposal = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bit_count = 24;   // 1, 4, 8, 15, 16, 24 or 32
  MuraColorTable colors{};  // used when bit_count <= 8
  std::vector<MuraLayerSource> layers;
  std::vector<MuraAuxRecord> aux_records1;  // binary version 104 and later only
  std::vector<MuraAuxRecord> aux_records2;
};

struct MuraImageSource {
  uint32_t bg_color = 0;  // Windows colour value: red in the low byte
  bool not_fill_bg = false;
  std::vector<MuraFrameSource> frames;
};

enum class MuraVariant { kBinary, kXml };

// Plane compression of versions 103 and later (the header's CompType).
enum class MuraCompType : uint8_t {
  kZlib = 0,
  kNone = 1,
  kJpeg = 2,  // colour planes as JPEG, alpha planes zlib rows
};

inline constexpr int32_t kMuraBinaryVersion = 107;  // "Mura107"
inline constexpr int32_t kMuraXmlVersion = 200;

struct MuraWriteOptions {
  MuraVariant variant = MuraVariant::kBinary;
  // Binary: the magic's version, 0..107 (0 writes no magic at all). XML: the header's
  // Version attribute, 0..200. Below 103 planes use the old row mode: zlib rows, or, when
  // randomized or comp_type is kNone, uncompressed rows in the order of the
  // identification code (the reader always unscrambles uncompressed old-mode rows).
  int32_t version = kMuraBinaryVersion;
  // XML: the 8-byte magic, "MuraX" and a format digit 0..2 and two more characters.
  std::string xml_magic = "MuraX200";
  // Bytes of the binary header record written (versions 103 and later), 0..40.
  int32_t header_length = 40;
  // Both above 0: block mode; otherwise row mode. The block width times the bit count
  // must be a multiple of 8 so that blocks start on whole bytes.
  int32_t block_width = 32;
  int32_t block_height = 32;
  MuraCompType comp_type = MuraCompType::kZlib;
  int comp_level = 2;       // zlib level index of CompressStream, also stored as CompLevel
  int jpeg_quality = 90;    // MuraCompType::kJpeg: 1..100
  bool randomized = false;  // scrambled rows or block references
  uint32_t identification_code = 0;
  bool sync_pal = false;
  // Block mode: blocks equal to an earlier block of the same plane become references.
  bool reuse_blocks_in_plane = true;
  // Block mode: blocks equal to the same rectangle of an earlier layer (of this or an
  // earlier frame of the same size and format) become references to it.
  bool reuse_blocks_across_layers = true;
};

// Encodes the image. Throws KoruError when the source does not fit the options (plane
// sizes, bit counts, fields the chosen version cannot hold).
std::vector<uint8_t> WriteMura(const MuraImageSource& image, const MuraWriteOptions& options);
void WriteMura(const MuraImageSource& image, const MuraWriteOptions& options, Stream& out);

// Compresses 24-bit rows (blue, green, red; top row first, stride MuraRowBytes) as a
// baseline JPEG stream. Throws KoruError on failure.
std::vector<uint8_t> EncodeMuraJpeg(const uint8_t* rows, int32_t width, int32_t height,
                                    int quality);

}  // namespace koru
