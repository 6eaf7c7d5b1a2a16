// Images written by the ".MUR" encoder in the variants the reader knows: binary magics of
// every header generation, no magic at all, the XML header, block and row modes, stored,
// zlib and JPEG planes, scrambled rows and blocks, palette and direct-colour frames,
// alpha planes, several frames reusing each other's blocks.

#include <cstdio>

#include "base/error.h"
#include "fuzz_target.h"
#include "imaging/mura_writer.h"
#include "storage/compression.h"

namespace koru::fuzz {
namespace {

// Small planes with some repetition, so that blocks are reused and zlib has work.
std::vector<uint8_t> Plane(int32_t width, int32_t height, int bits, int salt) {
  const int64_t row = MuraRowBytes(width, bits);
  std::vector<uint8_t> pixels(static_cast<size_t>(row * height));
  for (int32_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < row; ++x) {
      pixels[static_cast<size_t>(y * row + x)] =
          static_cast<uint8_t>(y < height / 2 ? salt : (x * 13 + y * 7 + salt));
    }
  }
  return pixels;
}

MuraFrameSource Frame(int32_t width, int32_t height, int bits, int layers, bool alpha, int salt) {
  MuraFrameSource frame;
  frame.name = "フレーム";
  frame.width = width;
  frame.height = height;
  frame.bit_count = bits;
  frame.trans_color = salt % 2 == 0 ? -1 : 1;
  for (size_t i = 0; i < frame.colors.size(); ++i) {
    frame.colors[i] = static_cast<uint32_t>(i * 0x010203u) & 0xFFFFFF;
  }
  for (int k = 0; k < layers; ++k) {
    MuraLayerSource layer;
    layer.name = "レイヤー" + std::to_string(k);
    layer.pixels = Plane(width, height, bits, salt + k);
    layer.alpha = k == 0 ? 255 : 128;
    layer.trans_color = k == 1 ? 0 : -1;
    if (alpha && k == 0) {
      layer.alpha_on = true;
      layer.alpha_plane = Plane(width, height, 8, salt * 3);
    }
    frame.layers.push_back(std::move(layer));
  }
  return frame;
}

MuraImageSource Image(std::vector<MuraFrameSource> frames) {
  MuraImageSource image;
  image.bg_color = 0x00336699;
  image.frames = std::move(frames);
  return image;
}

MuraWriteOptions Options(MuraVariant variant, int32_t version, int32_t block,
                         MuraCompType comp = MuraCompType::kZlib, bool randomized = false) {
  MuraWriteOptions options;
  options.variant = variant;
  options.version = version;
  options.block_width = block;
  options.block_height = block;
  options.comp_type = comp;
  options.randomized = randomized;
  options.identification_code = 0x2F41;  // the fuzz target's
  return options;
}

void Add(std::vector<Seed>& seeds, const std::string& name, const MuraImageSource& image,
         const MuraWriteOptions& options, bool regression = false) {
  try {
    seeds.push_back({name, WriteMura(image, options), regression});
  } catch (const KoruError& e) {
    // The encoder refusing a combination is its business; the seed is only missing.
    std::fprintf(stderr, "seed %s not written: %s\n", name.c_str(), e.Utf8().c_str());
  }
}

// Inputs of bugs found before, replayed as they are.
void AddRegressions(std::vector<Seed>& seeds) {
  // A palette frame is charged at its own bit count, then widened to 24 bits by the
  // finishing step: the budget must cover the widened plane (2 MiB charged, 48 MiB made).
  MuraFrameSource wide;
  wide.width = 4096;
  wide.height = 4096;
  wide.bit_count = 1;
  Add(seeds, "finishing widens palette frames beyond the budget", Image({wide}),
      Options(MuraVariant::kBinary, 107, 8), /*regression=*/true);

  // Still open: an XML header of 9 million empty tags (18 MB of text, 17 KB compressed)
  // passes the header's decompression bound, and the tokenizer then holds a token object
  // of 88 bytes per 2 bytes of text (a 738 MB vector, about 1 GB on 32 bits).
  std::string text = "<Image Count=\"1\">";
  for (int i = 0; i < 9000000; ++i) text += "<>";
  text += "</Image>";
  MemoryStream packed(std::vector<uint8_t>(text.begin(), text.end()));
  CompressStream(packed, kCompressBest);
  std::vector<uint8_t> bomb = {'M', 'u', 'r', 'a', 'X', '2', '0', '0'};
  const uint32_t length = static_cast<uint32_t>(packed.GetSize());
  for (int i = 0; i < 4; ++i) bomb.push_back(static_cast<uint8_t>(length >> (8 * i)));
  bomb.insert(bomb.end(), packed.Bytes().begin(), packed.Bytes().end());
  seeds.push_back({"xml header of many tiny tags exhausts memory", std::move(bomb), true});
}

}  // namespace

std::vector<Seed> MakeSeeds() {
  using V = MuraVariant;
  using C = MuraCompType;
  std::vector<Seed> seeds;
  const MuraImageSource two_frames =
      Image({Frame(12, 10, 24, 2, true, 1), Frame(12, 10, 24, 2, true, 1)});
  const MuraImageSource one_frame = Image({Frame(12, 10, 24, 1, false, 2)});
  // Older headers and short records cannot hold a background colour.
  MuraImageSource plain_frame = one_frame;
  plain_frame.bg_color = 0;
  Add(seeds, "binary 107 blocks", two_frames, Options(V::kBinary, 107, 8));
  Add(seeds, "binary 107 rows stored", one_frame, Options(V::kBinary, 107, 0, C::kNone));
  Add(seeds, "binary 107 blocks stored randomized", two_frames,
      Options(V::kBinary, 107, 8, C::kNone, true));
  Add(seeds, "binary 107 jpeg", Image({Frame(16, 16, 24, 2, true, 4)}),
      Options(V::kBinary, 107, 8, C::kJpeg));
  Add(seeds, "binary 105 palette 8", Image({Frame(12, 10, 8, 2, false, 3)}),
      Options(V::kBinary, 105, 8));
  Add(seeds, "binary 104 palette 4", Image({Frame(12, 10, 4, 1, false, 5)}),
      Options(V::kBinary, 104, 8));
  Add(seeds, "binary 103 palette 1", Image({Frame(16, 9, 1, 1, false, 6)}),
      Options(V::kBinary, 103, 8));
  Add(seeds, "binary 107 bits 15", Image({Frame(9, 7, 15, 2, false, 7)}),
      Options(V::kBinary, 107, 4));
  Add(seeds, "binary 107 bits 16", Image({Frame(9, 7, 16, 1, false, 8)}),
      Options(V::kBinary, 107, 0));
  Add(seeds, "binary 107 bits 32", Image({Frame(9, 7, 32, 1, true, 9)}),
      Options(V::kBinary, 107, 4));
  MuraWriteOptions short_header = Options(V::kBinary, 107, 8);
  short_header.header_length = 36;
  short_header.comp_level = 0;
  Add(seeds, "binary 107 short header", plain_frame, short_header);
  Add(seeds, "binary 102 rows", two_frames, Options(V::kBinary, 102, 0));
  Add(seeds, "binary 101 rows randomized", plain_frame,
      Options(V::kBinary, 101, 0, C::kNone, true));
  Add(seeds, "binary 100 rows", plain_frame, Options(V::kBinary, 100, 0));
  Add(seeds, "no magic", plain_frame, Options(V::kBinary, 0, 0));
  Add(seeds, "xml 200 blocks", two_frames, Options(V::kXml, 200, 8));
  Add(seeds, "xml 200 palette", Image({Frame(12, 10, 8, 1, false, 11)}), Options(V::kXml, 200, 8));
  Add(seeds, "xml 102 rows", one_frame, Options(V::kXml, 102, 0));
  Add(seeds, "xml 200 jpeg", Image({Frame(16, 16, 24, 1, true, 12)}),
      Options(V::kXml, 200, 8, C::kJpeg));
  AddRegressions(seeds);
  return seeds;
}

}  // namespace koru::fuzz
