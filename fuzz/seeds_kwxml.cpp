// XML texts: the headers the ".MUR" encoder writes (taken out of its XML variant), and a
// few documents with the markup the tokenizer knows (declaration, comments, entities,
// quoted attributes, empty elements, text between children).

#include "base/binary_io.h"
#include "fuzz_target.h"
#include "imaging/mura_writer.h"
#include "storage/compression.h"

namespace koru::fuzz {
namespace {

std::vector<uint8_t> Text(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The XML header of an encoded image: "MuraX..." (8 bytes), a 32-bit length, zlib text.
std::vector<uint8_t> HeaderOf(int bits, int frames, int32_t block) {
  MuraImageSource image;
  for (int f = 0; f < frames; ++f) {
    MuraFrameSource frame;
    frame.name = "コマ&<" + std::to_string(f) + ">";
    frame.width = 8;
    frame.height = 4;
    frame.bit_count = bits;
    MuraLayerSource layer;
    layer.name = "\"背景\"";
    layer.pixels.assign(static_cast<size_t>(MuraRowBytes(8, bits) * 4), 0x11);
    frame.layers.push_back(layer);
    image.frames.push_back(frame);
  }
  MuraWriteOptions options;
  options.variant = MuraVariant::kXml;
  options.version = kMuraXmlVersion;
  options.block_width = block;
  options.block_height = block;
  const std::vector<uint8_t> encoded = WriteMura(image, options);
  const uint32_t length = LoadUInt32(encoded.data() + 8);
  std::vector<uint8_t> text;
  InflateBytes(encoded.data() + 12, length, &text);
  return text;
}

}  // namespace

std::vector<Seed> MakeSeeds() {
  std::vector<Seed> seeds;
  seeds.push_back({"image header 24 bits", HeaderOf(24, 2, 8)});
  seeds.push_back({"image header palette", HeaderOf(8, 1, 0)});
  seeds.push_back(
      {"document", Text("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                        "<!-- 設定 -->\r\n<Root A='1' B=\"&lt;&amp;&gt;&quot;&apos;\">\r\n"
                        "  text &#65; &#x42; more\r\n  <Child Name=\"表\"/>\r\n"
                        "  <Child><Grand>深い</Grand></Child>\r\n</Root>\r\n")});
  seeds.push_back({"loose markup", Text("<a b=c><d>e</a></d><f g='h' i=\"j\">&bogus;<</f>")});
  seeds.push_back(
      {"unsupported version", Text("<?xml version=\"1.1\" encoding=\"shift-jis\"?><r/>")});
  return seeds;
}

}  // namespace koru::fuzz
