// Encoder to reader: every variant the encoder writes decodes to the very same planes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "imaging/mura.h"
#include "imaging/mura_writer.h"
#include "imaging/mura_writer_surface.h"
#include "storage/compression.h"

namespace koru {
namespace {

constexpr uint32_t kCode = 0x2468ACE1;

// Pixels from a small generator, with the row padding (and the unused low bits of the
// last byte at 1 and 4 bits) left zero, as any picture in memory has them.
std::vector<uint8_t> MakePlane(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
  const int64_t stride = MuraRowBytes(width, bits);
  const int storage = MuraStorageBits(bits);
  const int64_t used_bits = static_cast<int64_t>(width) * storage;
  std::vector<uint8_t> plane(static_cast<size_t>(stride * height), 0);
  uint32_t state = seed;
  for (int32_t y = 0; y < height; ++y) {
    for (int64_t bit = 0; bit < used_bits; bit += 8) {
      state = state * 1664525u + 1013904223u;
      // Few distinct values, so that repeated blocks occur.
      uint8_t value = static_cast<uint8_t>((state >> 24) & 0x33);
      if (used_bits - bit < 8) value &= static_cast<uint8_t>(0xFF << (8 - (used_bits - bit)));
      plane[static_cast<size_t>(y * stride + bit / 8)] = value;
    }
  }
  return plane;
}

struct Shape {
  int32_t width = 37;
  int32_t height = 21;
  int32_t bits = 24;
  int frames = 2;
  int layers = 2;
  bool alpha = true;
  bool alpha_on = true;
};

// Frames whose later layers and frames repeat parts of earlier ones.
MuraImageSource MakeImage(const Shape& s) {
  MuraImageSource image;
  for (int f = 0; f < s.frames; ++f) {
    MuraFrameSource frame;
    frame.name = "frame" + std::to_string(f);
    frame.width = s.width;
    frame.height = s.height;
    frame.bit_count = s.bits;
    for (size_t i = 0; i < frame.colors.size(); ++i) {
      frame.colors[i] = static_cast<uint32_t>(i * 0x010305 + f) & 0xFFFFFF;
    }
    for (int l = 0; l < s.layers; ++l) {
      MuraLayerSource layer;
      layer.name = "layer" + std::to_string(l);
      layer.pixels = MakePlane(s.width, s.height, s.bits, 7u + static_cast<uint32_t>(l));
      // Frame f changes the rows below its own band, so frames share the rows above.
      const int64_t stride = MuraRowBytes(s.width, s.bits);
      const auto fresh = MakePlane(s.width, s.height, s.bits, 99u + static_cast<uint32_t>(f));
      const int32_t band = std::min(s.height, 8 * (f + 1));
      std::copy(fresh.begin() + band * stride, fresh.end(), layer.pixels.begin() + band * stride);
      if (s.alpha) {
        layer.alpha_plane = MakePlane(s.width, s.height, 8, 3u + static_cast<uint32_t>(f));
        layer.alpha_on = s.alpha_on;
      }
      frame.layers.push_back(std::move(layer));
    }
    image.frames.push_back(std::move(frame));
  }
  return image;
}

TMuraFrameList Decode(const std::vector<uint8_t>& bytes, uint32_t code) {
  TMuraFrameList list(static_cast<int32_t>(code));
  ReadOnlyMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  list.LoadFromStream(stream, /*first_frame_only=*/false, /*keep_layers=*/true,
                      /*finish=*/false);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize()) << "the reader stops at the image's end";
  return list;
}

std::vector<uint8_t> Bytes(const TDIB& dib) {
  return std::vector<uint8_t>(dib.Bits(), dib.Bits() + dib.ImageSize());
}

// Every plane of the decoded list equals the source's.
void ExpectSamePlanes(const MuraImageSource& image, const TMuraFrameList& list,
                      const std::string& what) {
  ASSERT_EQ(list.Count(), static_cast<int>(image.frames.size())) << what;
  for (size_t f = 0; f < image.frames.size(); ++f) {
    const MuraFrameSource& source = image.frames[f];
    const TMuraFrame& frame = list.GetFrame(static_cast<int>(f));
    ASSERT_EQ(frame.Surface.PixelBitCount(), source.bit_count) << what;
    ASSERT_EQ(frame.LayerCount(), static_cast<int>(source.layers.size())) << what;
    for (size_t l = 0; l < source.layers.size(); ++l) {
      const TMuraLayer& layer = frame.GetLayer(static_cast<int>(l));
      EXPECT_EQ(Bytes(layer.Surface), source.layers[l].pixels)
          << what << " frame " << f << " layer " << l;
      const TDIBSurface* alpha = layer.Surface.Alpha();
      if (source.layers[l].alpha_plane.empty()) {
        EXPECT_EQ(alpha, nullptr) << what;
      } else if (alpha == nullptr) {
        ADD_FAILURE() << what << ": no alpha plane decoded";
      } else {
        EXPECT_EQ(Bytes(*alpha), source.layers[l].alpha_plane)
            << what << " alpha frame " << f << " layer " << l;
      }
    }
  }
}

struct Variant {
  MuraVariant variant;
  int32_t version;
};

std::string Describe(const Variant& v, const MuraWriteOptions& o, int32_t bits) {
  return std::string(v.variant == MuraVariant::kXml ? "xml " : "binary ") +
         std::to_string(v.version) + " block " + std::to_string(o.block_width) + "x" +
         std::to_string(o.block_height) + " comp " + std::to_string(static_cast<int>(o.comp_type)) +
         (o.randomized ? " randomized" : "") + " bits " + std::to_string(bits);
}

TEST(MuraRoundTrip, EveryVersionModeAndBitCountDecodesToTheSamePlanes) {
  const std::vector<Variant> variants = {
      {MuraVariant::kBinary, 0},   {MuraVariant::kBinary, 99},  {MuraVariant::kBinary, 100},
      {MuraVariant::kBinary, 101}, {MuraVariant::kBinary, 102}, {MuraVariant::kBinary, 103},
      {MuraVariant::kBinary, 104}, {MuraVariant::kBinary, 105}, {MuraVariant::kBinary, 106},
      {MuraVariant::kBinary, 107}, {MuraVariant::kXml, 99},     {MuraVariant::kXml, 102},
      {MuraVariant::kXml, 103},    {MuraVariant::kXml, 200}};
  for (const Variant& v : variants) {
    for (const int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
      Shape shape;
      shape.bits = bits;
      shape.alpha = v.version >= 100;
      shape.alpha_on = v.variant == MuraVariant::kXml || v.version >= 101;
      const MuraImageSource image = MakeImage(shape);
      for (const int32_t block : {0, 8}) {
        for (const MuraCompType comp : {MuraCompType::kZlib, MuraCompType::kNone}) {
          for (const bool randomized : {false, true}) {
            MuraWriteOptions o;
            o.variant = v.variant;
            o.version = v.version;
            o.block_width = block;
            o.block_height = block / 2;  // blocks need not be square
            o.comp_type = comp;
            o.randomized = randomized;
            o.identification_code = kCode;
            const std::string what = Describe(v, o, bits);
            ExpectSamePlanes(image, Decode(WriteMura(image, o), kCode), what);
            if (::testing::Test::HasFailure()) return;
          }
        }
      }
    }
  }
}

TEST(MuraRoundTrip, FinishingWhileKeepingLayersLeavesReferencesIntact) {
  for (const int32_t bits : {8, 24}) {
    Shape shape;
    shape.bits = bits;
    shape.alpha = false;
    MuraWriteOptions o;
    o.block_width = o.block_height = 8;  // frames share their top block row
    const auto bytes = WriteMura(MakeImage(shape), o);
    TMuraFrameList list(0);
    ReadOnlyMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
    // Palette frames and their layers become 24-bit pictures as each frame is finished.
    EXPECT_NO_THROW(list.LoadFromStream(stream, false, /*keep_layers=*/true, /*finish=*/true));
    EXPECT_EQ(list.Count(), 2);
  }
}

TEST(MuraRoundTrip, ImageFrameAndLayerFieldsSurvive) {
  for (const MuraVariant variant : {MuraVariant::kBinary, MuraVariant::kXml}) {
    Shape shape;
    shape.frames = 2;
    shape.layers = 3;
    MuraImageSource image = MakeImage(shape);
    image.bg_color = 0x00123456;
    image.not_fill_bg = true;
    MuraFrameSource& frame = image.frames[1];
    frame.name = "フレーム<&\">\r\n2";
    frame.trans_color = 0x00ABCDEF;
    frame.delay = 333;
    frame.disposal = 3;
    MuraLayerSource& layer = frame.layers[1];
    layer.name = "背景 \"1\" & <2>";
    layer.visible = false;
    layer.alpha = 77;
    layer.alpha_on = false;
    layer.trans_color = 0x00010203;
    if (variant == MuraVariant::kBinary) frame.aux_records1.push_back(MuraAuxRecord{9, 8, 7});
    MuraWriteOptions o;
    o.variant = variant;
    o.version = variant == MuraVariant::kXml ? kMuraXmlVersion : kMuraBinaryVersion;
    o.xml_magic = "MuraX1ab";  // only the format digit counts

    const TMuraFrameList list = Decode(WriteMura(image, o), 0);
    ExpectSamePlanes(image, list, variant == MuraVariant::kXml ? "xml" : "binary");
    EXPECT_EQ(list.BGColor, 0x00123456u);
    EXPECT_TRUE(list.NotFillBG);
    const TMuraFrame& decoded = list.GetFrame(1);
    EXPECT_EQ(decoded.Name, frame.name);
    EXPECT_EQ(decoded.TransColor, 0x00ABCDEF);
    EXPECT_EQ(decoded.Delay, 333);
    EXPECT_EQ(decoded.Disposal, 3);
    const TMuraLayer& l1 = decoded.GetLayer(1);
    EXPECT_EQ(l1.Name, layer.name);
    EXPECT_FALSE(l1.Visible);
    EXPECT_EQ(l1.Alpha, 77);
    EXPECT_FALSE(l1.AlphaOn);
    EXPECT_EQ(l1.TransColor, 0x00010203);
    if (variant == MuraVariant::kBinary) {
      ASSERT_EQ(decoded.AuxRecords1.size(), 1u);
      EXPECT_EQ(decoded.AuxRecords1[0][2], 7);
      EXPECT_TRUE(decoded.AuxRecords2.empty());
    }
  }
}

TEST(MuraRoundTrip, PaletteFramesKeepTheirColourTable) {
  Shape shape;
  shape.bits = 8;
  shape.frames = 1;
  const MuraImageSource image = MakeImage(shape);
  for (const MuraVariant variant : {MuraVariant::kBinary, MuraVariant::kXml}) {
    MuraWriteOptions o;
    o.variant = variant;
    o.version = variant == MuraVariant::kXml ? kMuraXmlVersion : kMuraBinaryVersion;
    const TMuraFrameList list = Decode(WriteMura(image, o), 0);
    const MuraFrameSource back = FrameShapeFromSurface(list.GetFrame(0).Surface);
    EXPECT_EQ(back.colors, image.frames[0].colors);
  }
}

TEST(MuraRoundTrip, ScrambledPlanesNeedTheirCode) {
  Shape shape;
  shape.frames = 1;
  shape.layers = 1;
  shape.alpha = false;
  const MuraImageSource image = MakeImage(shape);
  MuraWriteOptions o;
  o.randomized = true;
  o.identification_code = kCode;
  o.block_width = 0;
  const auto bytes = WriteMura(image, o);
  const TMuraFrameList wrong = Decode(bytes, kCode + 1);
  EXPECT_NE(Bytes(wrong.GetFrame(0).GetLayer(0).Surface), image.frames[0].layers[0].pixels);

  // Code 0 is a valid code of the newer layouts: the order is then the natural one.
  o.identification_code = 0;
  ExpectSamePlanes(image, Decode(WriteMura(image, o), 0), "code 0");

  // The old row mode of the XML variant refuses a scrambled image without a code.
  o.variant = MuraVariant::kXml;
  o.version = 102;
  const auto old = WriteMura(image, o);
  TMuraFrameList list(0);
  ReadOnlyMemoryStream stream(old.data(), static_cast<int64_t>(old.size()));
  try {
    list.LoadFromStream(stream, false, true, false);
    ADD_FAILURE() << "no error";
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "識別コードを設定してください");
  }
}

TEST(MuraRoundTrip, ComposedFrameOfOneOpaqueLayerIsThatLayer) {
  Shape shape;
  shape.frames = 1;
  shape.layers = 1;
  shape.alpha = true;
  shape.alpha_on = true;
  const MuraImageSource image = MakeImage(shape);
  const TMuraFrameList list = Decode(WriteMura(image, MuraWriteOptions{}), 0);
  const TDIBSurface& surface = list.GetFrame(0).Surface;
  EXPECT_EQ(Bytes(surface), image.frames[0].layers[0].pixels);
  ASSERT_NE(surface.Alpha(), nullptr);
  EXPECT_EQ(Bytes(*surface.Alpha()), image.frames[0].layers[0].alpha_plane);
}

TEST(MuraRoundTrip, JpegColourPlanesComeBackCloseAndAlphaExactly) {
  MuraImageSource image;
  MuraFrameSource frame;
  frame.width = 48;
  frame.height = 32;
  MuraLayerSource layer;
  const int64_t stride = MuraRowBytes(48, 24);
  layer.pixels.assign(static_cast<size_t>(stride * 32), 0);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 48; ++x) {
      uint8_t* px = &layer.pixels[y * stride + x * 3];
      px[0] = static_cast<uint8_t>(x * 4);
      px[1] = static_cast<uint8_t>(y * 6);
      px[2] = 128;
    }
  }
  layer.alpha_plane = MakePlane(48, 32, 8, 5);
  layer.alpha_on = true;
  frame.layers.push_back(layer);
  image.frames.push_back(frame);
  MuraWriteOptions o;
  o.comp_type = MuraCompType::kJpeg;
  o.jpeg_quality = 95;
  o.randomized = true;
  o.identification_code = kCode;

  const TMuraFrameList list = Decode(WriteMura(image, o), kCode);
  const TMuraLayer& decoded = list.GetFrame(0).GetLayer(0);
  ASSERT_EQ(decoded.Surface.BitCount(), 24);
  ASSERT_EQ(decoded.Surface.Width(), 48);
  int worst = 0;
  const auto bytes = Bytes(decoded.Surface);
  for (size_t i = 0; i < bytes.size(); ++i) {
    worst = std::max(worst, std::abs(bytes[i] - layer.pixels[i]));
  }
  EXPECT_LE(worst, 12);
  ASSERT_NE(decoded.Surface.Alpha(), nullptr);
  EXPECT_EQ(Bytes(*decoded.Surface.Alpha()), layer.alpha_plane);
}

TEST(MuraRoundTrip, DecodedImageReencodesToTheSameImage) {
  Shape shape;
  shape.bits = 16;
  const MuraImageSource image = MakeImage(shape);
  const TMuraFrameList first = Decode(WriteMura(image, MuraWriteOptions{}), 0);
  MuraWriteOptions xml;
  xml.variant = MuraVariant::kXml;
  xml.version = kMuraXmlVersion;
  xml.randomized = true;
  xml.identification_code = kCode;
  const MuraImageSource again = ImageSourceFromFrameList(first);
  const TMuraFrameList second = Decode(WriteMura(again, xml), kCode);
  ExpectSamePlanes(image, second, "re-encoded");
  EXPECT_EQ(second.GetFrame(1).GetLayer(1).Name, "layer1");
}

}  // namespace
}  // namespace koru

namespace koru {
namespace {

// The old row mode tells raw rows from zlib data by length alone: a zlib stream exactly
// as long as the plane must not be written as such, or the reader scrambles it as rows.
TEST(MuraRoundTrip, OldRowModeZlibPayloadNeverHasTheRawLength) {
  constexpr int32_t kWidth = 64;  // one 64-byte row at 8 bits
  bool collided = false;
  for (uint32_t seed = 1; seed < 400 && !collided; ++seed) {
    for (int random_bytes = 40; random_bytes <= 64 && !collided; ++random_bytes) {
      std::vector<uint8_t> raw(kWidth, 0);
      uint32_t state = seed;
      for (int i = 0; i < random_bytes; ++i) {
        state = state * 1664525u + 1013904223u;
        raw[i] = static_cast<uint8_t>(state >> 24);
      }
      std::vector<uint8_t> zlib;
      {
        MemoryStream stream(raw);
        CompressStream(stream, kCompressDefault);
        zlib = stream.Release();
      }
      if (zlib.size() != raw.size()) continue;
      collided = true;
      MuraImageSource image;
      MuraFrameSource frame;
      frame.width = kWidth;
      frame.height = 1;
      frame.bit_count = 8;
      MuraLayerSource layer;
      layer.pixels = raw;
      frame.layers.push_back(layer);
      image.frames.push_back(frame);
      MuraWriteOptions o;
      o.version = 102;
      const auto bytes = WriteMura(image, o);
      ExpectSamePlanes(image, Decode(bytes, kCode), "collision");
    }
  }
  EXPECT_TRUE(collided) << "no zlib stream of the raw length found; widen the search";
}

}  // namespace
}  // namespace koru
