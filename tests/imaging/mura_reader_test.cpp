#include <gtest/gtest.h>

#include "base/error.h"
#include "base/kw_int.h"
#include "imaging/mura.h"
#include "mura_test_writer.h"

namespace koru {
namespace {

using testing::BinaryImage;
using testing::BlockPayload;
using testing::FrameRecord;
using testing::Header107;
using testing::LayerRecord;
using testing::MakePlane;
using testing::PlaneBytes;
using testing::XmlImage;
using testing::Zlib;

struct LoadOptions {
  int32_t code = 0;
  bool first_frame_only = false;
  bool keep_layers = false;
  bool finish = false;
};

TMuraFrameList Load(const std::vector<uint8_t>& bytes, LoadOptions options = {}) {
  TMuraFrameList list(options.code);
  MemoryStream stream(bytes);
  list.LoadFromStream(stream, options.first_frame_only, options.keep_layers, options.finish);
  return list;
}

std::string LoadError(const std::vector<uint8_t>& bytes, LoadOptions options = {}) {
  try {
    Load(bytes, options);
  } catch (const KoruError& e) {
    return e.message();
  }
  return "";
}

uint32_t Pattern24(int x, int y) {
  return static_cast<uint32_t>(0x102030 + x * 0x010101 + y * 0x100000);
}

FrameRecord Frame24(int w, int h, std::vector<LayerRecord> layers) {
  FrameRecord f;
  f.width = w;
  f.height = h;
  f.bits = 24;
  f.layers = std::move(layers);
  return f;
}

LayerRecord Layer(std::vector<uint8_t> colour) {
  LayerRecord l;
  l.colour = std::move(colour);
  return l;
}

void ExpectPlaneEquals(const TDIBSurface& actual, const TDIBSurface& expected) {
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  ASSERT_EQ(actual.BitCount(), expected.BitCount());
  for (int y = 0; y < expected.Height(); ++y) {
    for (int x = 0; x < expected.Width(); ++x) {
      ASSERT_EQ(actual.GetPixel(x, y), expected.GetPixel(x, y)) << x << "," << y;
    }
  }
}

// ---- binary variant, row modes --------------------------------------------------

TEST(MuraBinaryTest, StoredAndZlibRowsAtEveryBitCount) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    for (uint8_t comp : {kMuraCompStored, kMuraCompZlib}) {
      const uint32_t mask = bits == 32 ? 0xFFFFFFFF : (1u << (bits == 15 ? 15 : bits)) - 1;
      auto pixel = [&](int x, int y) {
        return (static_cast<uint32_t>(x * 7 + y * 13) * 0x9E3779B1u) & mask;
      };
      const TDIBSurface plane = MakePlane(5, 3, bits, pixel);
      FrameRecord f;
      f.width = 5, f.height = 3, f.bits = bits;
      const std::vector<uint8_t> raw = PlaneBytes(plane);
      f.layers = {Layer(comp == kMuraCompZlib ? Zlib(raw) : raw)};
      TMuraFrameList list = Load(BinaryImage(107, Header107(comp), {f}));
      ASSERT_EQ(list.Count(), 1) << bits;
      const TMuraFrame& frame = list.GetFrame(0);
      EXPECT_EQ(frame.Surface.PixelBitCount(), bits);
      EXPECT_EQ(frame.LayerCount(), 0);  // layers freed after composition
      ExpectPlaneEquals(frame.Surface, plane);
    }
  }
}

TEST(MuraBinaryTest, ScrambledRowsFollowTheSeed) {
  // Seed 1, 4 rows: stored rows 0, 1, 2, 3 belong at rows 1, 0, 3, 2.
  const TDIBSurface stored = MakePlane(2, 4, 8, [](int x, int y) { return y * 10 + x; });
  TMuraHeader header = Header107(kMuraCompStored);
  header.Randomized = true;
  FrameRecord f;
  f.width = 2, f.height = 4, f.bits = 8;
  f.layers = {Layer(PlaneBytes(stored))};
  TMuraFrameList list = Load(BinaryImage(107, header, {f}), {.code = 1});
  const TDIBSurface& s = list.GetFrame(0).Surface;
  const int expected_row_of_stored[4] = {1, 0, 3, 2};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(s.GetPixel(1, expected_row_of_stored[k]), k * 10u + 1);

  // Code 0: natural order.
  TMuraFrameList natural = Load(BinaryImage(107, header, {f}), {.code = 0});
  for (int y = 0; y < 4; ++y) EXPECT_EQ(natural.GetFrame(0).Surface.GetPixel(0, y), y * 10u);
}

TEST(MuraBinaryTest, OldRowModeChoosesByLength) {
  const TDIBSurface plane = MakePlane(2, 4, 8, [](int x, int y) { return y * 10 + x; });
  FrameRecord f;
  f.width = 2, f.height = 4, f.bits = 8;
  TMuraHeader unused;

  // Length equal to the raw plane: stored, in the code's scrambled order.
  f.layers = {Layer(PlaneBytes(plane))};
  TMuraFrameList scrambled = Load(BinaryImage(102, unused, {f}), {.code = 1});
  EXPECT_EQ(scrambled.GetFrame(0).Surface.GetPixel(0, 1), 0u);
  EXPECT_EQ(scrambled.GetFrame(0).Surface.GetPixel(0, 0), 10u);
  TMuraFrameList natural = Load(BinaryImage(102, unused, {f}), {.code = 0});
  EXPECT_EQ(natural.GetFrame(0).Surface.GetPixel(0, 1), 10u);

  // Any other length: one zlib stream, natural order, whatever the code.
  f.layers = {Layer(Zlib(PlaneBytes(plane)))};
  TMuraFrameList zlib = Load(BinaryImage(102, unused, {f}), {.code = 1});
  ExpectPlaneEquals(zlib.GetFrame(0).Surface, plane);
}

TEST(MuraBinaryTest, VersionThresholdsOfTheShortHeader) {
  const TDIBSurface plane = MakePlane(1, 1, 24, [](int, int) { return 0x123456; });
  FrameRecord f = Frame24(1, 1, {Layer(Zlib(PlaneBytes(plane)))});
  TMuraHeader unused;
  for (int version : {-1, 0, 99, 100, 101, 102}) {
    TMuraFrameList list = Load(BinaryImage(version, unused, {f}, 40, 0x0000FF));
    EXPECT_EQ(list.Version, version < 0 ? 0 : version);
    EXPECT_EQ(list.BGColor, version >= 102 ? 0x0000FFu : 0u) << version;
    EXPECT_FALSE(list.NotFillBG);
    EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(0, 0), 0x123456u) << version;
  }
}

TEST(MuraBinaryTest, HeaderRecordLengths) {
  const TDIBSurface plane = MakePlane(2, 2, 24, Pattern24);
  TMuraHeader header = Header107(kMuraCompStored);
  header.BGColor = 0x00FF00;
  header.NotFillBG = true;
  const FrameRecord f = Frame24(2, 2, {Layer(PlaneBytes(plane))});
  // A longer record: the excess is skipped.
  TMuraFrameList longer = Load(BinaryImage(107, header, {f}, 56));
  ExpectPlaneEquals(longer.GetFrame(0).Surface, plane);
  EXPECT_EQ(longer.BGColor, 0x00FF00u);
  EXPECT_TRUE(longer.NotFillBG);
  // NotFillBG counts only from version 105.
  EXPECT_FALSE(Load(BinaryImage(104, header, {f})).NotFillBG);
  // A shorter record: the missing fields are 0 (CompType 0 is zlib, Count 0 no frames).
  TMuraHeader shorter = header;
  shorter.Count = 0;
  EXPECT_EQ(Load(BinaryImage(107, shorter, {}, 16)).Count(), 0);
  EXPECT_EQ(LoadError(BinaryImage(107, header, {f}, -1)), kMuraCorrupt);
}

TEST(MuraBinaryTest, FramesCountsAuxRecordsAndFirstFrameOnly) {
  const TDIBSurface plane = MakePlane(2, 2, 24, Pattern24);
  TMuraHeader header = Header107(kMuraCompStored);
  header.Count = 3;
  FrameRecord f = Frame24(2, 2, {Layer(PlaneBytes(plane))});
  f.aux1 = 2;
  f.aux2 = 0;
  const std::vector<uint8_t> bytes = BinaryImage(107, header, {f, f, f});
  TMuraFrameList all = Load(bytes, {.keep_layers = true});
  ASSERT_EQ(all.Count(), 3);
  EXPECT_EQ(all.GetFrame(2).AuxRecords1.size(), 2u);
  EXPECT_EQ(all.GetFrame(2).AuxRecords1[1][0], 16);
  EXPECT_EQ(all.GetFrame(2).LayerCount(), 1);
  EXPECT_EQ(all.GetFrame(2).GetLayer(0).Owner, &all.GetFrame(2));
  TMuraFrameList moved(std::move(all));
  EXPECT_EQ(moved.GetFrame(2).Owner, &moved);
  EXPECT_EQ(moved.GetFrame(0).GetLayer(0).Name, "layer");
  EXPECT_THROW(moved.GetFrame(0).GetLayer(1), KoruError);
  EXPECT_EQ(Load(bytes, {.first_frame_only = true}).Count(), 1);

  // A failure keeps the frames read so far, without their layers.
  TMuraFrameList partial(0);
  MemoryStream truncated(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  EXPECT_THROW(partial.LoadFromStream(truncated, false, false, false), KoruError);
  ASSERT_EQ(partial.Count(), 3);
  EXPECT_EQ(partial.GetFrame(0).LayerCount(), 0);
  EXPECT_EQ(partial.GetFrame(2).LayerCount(), 0);
  try {
    moved.GetFrame(3);
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), kMuraGetFrameError);
  }
}

TEST(MuraBinaryTest, MalformedVersionDigitsRaiseTheConversionError) {
  std::vector<uint8_t> bytes = BinaryImage(107, Header107(), {});
  bytes[5] = 'Z';
  EXPECT_EQ(LoadError(bytes), KwIntegerErrorMessage("1Z7"));
}

// ---- block mode -------------------------------------------------------------------

TEST(MuraBlockTest, LiteralSamePlaneAndOtherLayerReferences) {
  // 6 x 4 at 8 bits in 4 x 2 blocks: 2 x 2 blocks, the right column 2 pixels wide.
  TMuraHeader header = Header107(kMuraCompStored);
  header.BlockWidth = 4;
  header.BlockHeight = 2;
  const std::vector<uint8_t> first_literal = {1, 2,  3,  4, 5, 6, 7, 8,  // block 0 rows
                                              9, 10, 11, 12};            // block 1: 2 x 2
  LayerRecord first = Layer(BlockPayload({{-1, 0}, {-1, 0}, {-2, 0}, {-2, 0}}, first_literal));
  // Second layer: block 0 from layer 0 of frame 0 (the frame being read), block 3 from its
  // own block 0, the rest literal.
  LayerRecord second = Layer(BlockPayload({{0, 0}, {-1, 0}, {-1, 0}, {-2, 0}},
                                          {21, 22, 23, 24, 31, 32, 33, 34, 35, 36, 37, 38}));
  FrameRecord f;
  f.width = 6, f.height = 4, f.bits = 8;
  f.layers = {first, second};
  TMuraFrameList list = Load(BinaryImage(107, header, {f}), {.keep_layers = true});
  const TDIBSurface& a = list.GetFrame(0).GetLayer(0).Surface;
  const uint32_t expect_a[4][6] = {
      {1, 2, 3, 4, 9, 10}, {5, 6, 7, 8, 11, 12}, {1, 2, 3, 4, 1, 2}, {5, 6, 7, 8, 5, 6}};
  const TDIBSurface& b = list.GetFrame(0).GetLayer(1).Surface;
  const uint32_t expect_b[4][6] = {
      {1, 2, 3, 4, 21, 22}, {5, 6, 7, 8, 23, 24}, {31, 32, 33, 34, 1, 2}, {35, 36, 37, 38, 5, 6}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(a.GetPixel(x, y), expect_a[y][x]) << x << "," << y;
      EXPECT_EQ(b.GetPixel(x, y), expect_b[y][x]) << x << "," << y;
      EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(x, y), expect_b[y][x]);
    }
  }
}

TEST(MuraBlockTest, ReferencesToAnEarlierFrameAndScrambledReferences) {
  TMuraHeader header = Header107(kMuraCompZlib);
  header.BlockWidth = 2;
  header.BlockHeight = 2;
  header.Randomized = true;
  // 4 x 2 at 24 bits: 2 blocks. With seed 1 and 2 blocks the draws are 1, 0: stored
  // reference 0 belongs to block 1.
  const std::vector<uint8_t> literal = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4,   // block 0
                                        5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8};  // block 1
  FrameRecord f0 = Frame24(4, 2, {Layer(Zlib(BlockPayload({{-1, 0}, {-1, 0}}, literal)))});
  // Frame 1: stored reference 0 (block 1) repeats block 0 of its own plane, stored
  // reference 1 (block 0, decoded first) copies from frame 0.
  FrameRecord f1 = Frame24(4, 2, {Layer(Zlib(BlockPayload({{-2, 0}, {0, 0}}, {})))});
  TMuraFrameList list = Load(BinaryImage(107, header, {f0, f1}), {.code = 1});
  const TDIBSurface& s0 = list.GetFrame(0).Surface;
  EXPECT_EQ(s0.GetPixel(0, 0), 0x010101u);
  EXPECT_EQ(s0.GetPixel(1, 1), 0x040404u);
  EXPECT_EQ(s0.GetPixel(2, 0), 0x050505u);
  EXPECT_EQ(s0.GetPixel(3, 1), 0x080808u);
  const TDIBSurface& s1 = list.GetFrame(1).Surface;
  EXPECT_EQ(s1.GetPixel(0, 0), 0x010101u);
  EXPECT_EQ(s1.GetPixel(1, 1), 0x040404u);
  EXPECT_EQ(s1.GetPixel(2, 0), 0x010101u);
  EXPECT_EQ(s1.GetPixel(3, 1), 0x040404u);
}

TEST(MuraBlockTest, DamagedReferencesAreRefused) {
  TMuraHeader header = Header107(kMuraCompStored);
  header.BlockWidth = 2;
  header.BlockHeight = 2;
  const std::vector<uint8_t> literal(2 * 2 * 3, 7);
  auto image = [&](std::vector<TMuraBlockRef> refs, int w = 2, int h = 2) {
    FrameRecord base = Frame24(2, 2, {Layer(BlockPayload({{-1, 0}}, literal))});
    FrameRecord f = Frame24(w, h, {Layer(BlockPayload(refs, literal))});
    TMuraHeader h2 = header;
    h2.Count = 2;
    return BinaryImage(107, h2, {base, f});
  };
  EXPECT_EQ(LoadError(image({{-1, 0}})), "");
  EXPECT_EQ(LoadError(image({{-2, 1}})), kMuraCorrupt);  // block number n
  EXPECT_EQ(LoadError(image({{-2, -1}})), kMuraCorrupt);
  EXPECT_EQ(LoadError(image({{-3, 0}})), kMuraCorrupt);
  EXPECT_EQ(LoadError(image({{5, 0}})), kMuraGetFrameError);
  EXPECT_EQ(LoadError(image({{0, 1}})), kMuraCorrupt);                // no such layer
  EXPECT_EQ(LoadError(image({{0, 0}, {0, 0}}, 4, 2)), kMuraCorrupt);  // other size
  // A literal block whose rows the payload does not hold.
  FrameRecord shortf = Frame24(2, 2, {Layer(BlockPayload({{-1, 0}}, {1, 2, 3}))});
  EXPECT_EQ(LoadError(BinaryImage(107, header, {shortf})), kMuraCorrupt);
  // Fewer bytes than the references.
  FrameRecord norefs = Frame24(2, 2, {Layer({1, 2, 3})});
  EXPECT_EQ(LoadError(BinaryImage(107, header, {norefs})), kMuraCorrupt);
}

TEST(MuraBlockTest, SubByteBlocksThatOverrunTheRowAreRefused) {
  // 1 bit, 40 pixels in blocks of 4: every block moves a whole byte, so 10 blocks would
  // need 10 bytes of an 8-byte row.
  TMuraHeader header = Header107(kMuraCompStored);
  header.BlockWidth = 4;
  header.BlockHeight = 1;
  FrameRecord f;
  f.width = 40, f.height = 1, f.bits = 1;
  std::vector<TMuraBlockRef> refs(10, {-1, 0});
  f.layers = {Layer(BlockPayload(refs, std::vector<uint8_t>(10, 0xFF)))};
  EXPECT_EQ(LoadError(BinaryImage(107, header, {f})), kMuraCorrupt);
}

// ---- composition --------------------------------------------------------------------

TEST(MuraCompositionTest, NotFillBGLetsTheFirstLayerCoverTheBackground) {
  // Layer pixels: 5 at (0,0) is the transparent colour, 9 elsewhere.
  const TDIBSurface plane = MakePlane(2, 1, 8, [](int x, int) { return x == 0 ? 5 : 9; });
  FrameRecord f;
  f.width = 2, f.height = 1, f.bits = 8;
  f.table.assign(1024, 0);
  f.table[3 * 4 + 2] = 255;  // entry 3 is pure red: the background
  LayerRecord l = Layer(PlaneBytes(plane));
  l.trans_color = 5;
  f.layers = {l};
  TMuraHeader header = Header107(kMuraCompStored);
  header.BGColor = 0x0000FF;
  header.NotFillBG = true;
  TMuraFrameList covered = Load(BinaryImage(107, header, {f}));
  EXPECT_EQ(covered.GetFrame(0).Surface.GetPixel(0, 0), 5u);
  EXPECT_EQ(covered.GetFrame(0).Surface.GetPixel(1, 0), 9u);
  header.NotFillBG = false;
  TMuraFrameList shown = Load(BinaryImage(107, header, {f}));
  EXPECT_EQ(shown.GetFrame(0).Surface.GetPixel(0, 0), 3u);
  EXPECT_EQ(shown.GetFrame(0).Surface.GetPixel(1, 0), 9u);
}

TEST(MuraCompositionTest, AlphaPlaneAtPositionZeroAndAbove) {
  const TDIBSurface colour = MakePlane(2, 1, 24, [](int, int) { return 0xFFFFFF; });
  const TDIBSurface alpha = MakePlane(2, 1, 8, [](int x, int) { return x == 0 ? 128 : 0; });
  LayerRecord l = Layer(PlaneBytes(colour));
  l.alpha_on = true;
  l.alpha_plane = PlaneBytes(alpha);
  TMuraHeader header = Header107(kMuraCompStored);

  // Position 0: the frame takes the alpha plane; the layer is copied opaquely.
  TMuraFrameList first = Load(BinaryImage(107, header, {Frame24(2, 1, {l})}));
  const TMuraFrame& f0 = first.GetFrame(0);
  ASSERT_TRUE(f0.HasAlpha());
  EXPECT_EQ(f0.Surface.Alpha()->GetPixel(0, 0), 128u);
  EXPECT_EQ(f0.Surface.GetPixel(1, 0), 0xFFFFFFu);  // alpha 0 there, copied all the same

  // Position 1: blended through the plane at full opacity, whatever the layer's Alpha.
  l.alpha = 10;
  LayerRecord black = Layer(PlaneBytes(MakePlane(2, 1, 24, [](int, int) { return 0; })));
  TMuraFrameList second = Load(BinaryImage(107, header, {Frame24(2, 1, {black, l})}));
  const TMuraFrame& f1 = second.GetFrame(0);
  EXPECT_FALSE(f1.HasAlpha());
  EXPECT_EQ(f1.Surface.GetPixel(0, 0), 0x7F7F7Fu);
  EXPECT_EQ(f1.Surface.GetPixel(1, 0), 0u);
}

TEST(MuraCompositionTest, ConstantOpacityInvisibleLayersAndBackground) {
  const TDIBSurface white = MakePlane(1, 1, 24, [](int, int) { return 0xFFFFFF; });
  LayerRecord half = Layer(PlaneBytes(white));
  half.alpha = 128;
  LayerRecord hidden = Layer(PlaneBytes(MakePlane(1, 1, 24, [](int, int) { return 0x123456; })));
  hidden.visible = false;
  TMuraHeader header = Header107(kMuraCompStored);
  header.BGColor = 0x000000;
  TMuraFrameList list = Load(BinaryImage(107, header, {Frame24(1, 1, {half, hidden})}));
  EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(0, 0), 0x808080u);

  // A 15-bit frame gets the background scaled to its 5-bit fields.
  header.BGColor = 0x0080FF;  // red 255, green 128, blue 0
  FrameRecord f;
  f.width = 1, f.height = 1, f.bits = 15;
  TMuraFrameList fifteen = Load(BinaryImage(107, header, {f}));
  EXPECT_EQ(fifteen.GetFrame(0).Surface.GetPixel(0, 0), (31u << 10) | (16u << 5));
}

TEST(MuraCompositionTest, FinishingMakesAlphaAndConvertsPaletteFrames) {
  const TDIBSurface plane = MakePlane(2, 1, 8, [](int x, int) { return x == 0 ? 1 : 2; });
  FrameRecord f;
  f.width = 2, f.height = 1, f.bits = 8;
  f.trans_color = 1;
  f.table.assign(1024, 0);
  f.table[1 * 4 + 1] = 255;  // entry 1 green
  f.table[2 * 4 + 0] = 255;  // entry 2 blue
  f.layers = {Layer(PlaneBytes(plane))};
  TMuraFrameList list = Load(BinaryImage(107, Header107(kMuraCompStored), {f}), {.finish = true});
  const TMuraFrame& frame = list.GetFrame(0);
  EXPECT_EQ(frame.TransRGB, 0x00FF00);
  ASSERT_TRUE(frame.HasAlpha());
  EXPECT_EQ(frame.Surface.Alpha()->GetPixel(0, 0), 0u);
  EXPECT_EQ(frame.Surface.Alpha()->GetPixel(1, 0), 255u);
  EXPECT_EQ(frame.Surface.BitCount(), 24);
  EXPECT_EQ(frame.Surface.GetPixel(1, 0), 0x0000FFu);
  EXPECT_EQ(frame.TransColor, 0x00FF00);

  TMuraFrameList converted(0);
  converted.ConvertBitCount = 16;
  MemoryStream stream(BinaryImage(107, Header107(kMuraCompStored), {f}));
  converted.LoadFromStream(stream, false, true, true);
  EXPECT_EQ(converted.GetFrame(0).Surface.BitCount(), 16);
  EXPECT_EQ(converted.GetFrame(0).GetLayer(0).Surface.BitCount(), 16);
  EXPECT_EQ(converted.GetFrame(0).Surface.GetPixel(1, 0), 0x001Fu);
}

}  // namespace
}  // namespace koru
