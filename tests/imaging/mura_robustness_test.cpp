// Damaged images: every failure is a KoruError, never a crash, an out-of-bounds access
// (run under AddressSanitizer) or an unbounded allocation.

#include <gtest/gtest.h>

#include <random>

#include "base/error.h"
#include "imaging/mura.h"
#include "mura_test_writer.h"

namespace koru {
namespace {

using testing::BinaryImage;
using testing::BlockPayload;
using testing::ByteWriter;
using testing::FrameRecord;
using testing::LayerRecord;
using testing::MakePlane;
using testing::PlaneBytes;
using testing::XmlImage;
using testing::Zlib;

std::string LoadError(const std::vector<uint8_t>& bytes, int64_t max_total = 0) {
  TMuraFrameList list(1);
  if (max_total > 0) list.MaxTotalBytes = max_total;
  MemoryStream stream(bytes);
  try {
    list.LoadFromStream(stream, false, false, true);
  } catch (const KoruError& e) {
    return e.message().empty() ? "?" : e.message();
  }
  // The frames of a load that succeeds hold planes of their stated size.
  for (int i = 0; i < list.Count(); ++i) {
    const TDIBSurface& surface = list.GetFrame(i).Surface;
    EXPECT_GE(surface.ImageSize(), static_cast<int64_t>(surface.RowLength()) * surface.Height());
  }
  return "";
}

TMuraHeader Header(uint8_t comp, int block, bool randomized = false) {
  TMuraHeader h;
  h.Version = 107;
  h.CompType = comp;
  h.BlockWidth = block;
  h.BlockHeight = block;
  h.Randomized = randomized;
  return h;
}

// A small image touching most of the reader: two frames, block references across
// frames, an alpha plane, a palette frame.
std::vector<uint8_t> SmallBinaryImage() {
  const TDIBSurface colour = MakePlane(4, 4, 24, [](int x, int y) { return x * 40 + y * 7; });
  const TDIBSurface alpha = MakePlane(4, 4, 8, [](int x, int) { return x * 80; });
  auto block_rows = [](const TDIBSurface& plane, int bx, int by, int bytes_per_pixel) {
    std::vector<uint8_t> out;
    for (int y = 0; y < 2; ++y) {
      const uint8_t* row = plane.ScanLine(by * 2 + y) + bx * 2 * bytes_per_pixel;
      out.insert(out.end(), row, row + 2 * bytes_per_pixel);
    }
    return out;
  };
  std::vector<uint8_t> colour_literal;
  for (int b = 0; b < 3; ++b) {
    const auto rows = block_rows(colour, b % 2, b / 2, 3);
    colour_literal.insert(colour_literal.end(), rows.begin(), rows.end());
  }
  std::vector<uint8_t> alpha_literal;
  for (int b = 0; b < 4; ++b) {
    const auto rows = block_rows(alpha, b % 2, b / 2, 1);
    alpha_literal.insert(alpha_literal.end(), rows.begin(), rows.end());
  }
  LayerRecord first;
  first.colour = Zlib(BlockPayload({{-1, 0}, {-1, 0}, {-1, 0}, {-2, 1}}, colour_literal));
  first.alpha_plane = Zlib(BlockPayload({{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, alpha_literal));
  first.alpha_on = true;
  LayerRecord second;
  second.colour = Zlib(BlockPayload({{0, 0}, {0, 0}, {-2, 0}, {0, 0}}, {}));
  second.alpha = 100;
  second.trans_color = 0;
  FrameRecord f0;
  f0.layers = {first, second};
  f0.aux1 = 1;
  FrameRecord f1;
  f1.layers = {second};
  f1.trans_color = 3;
  return BinaryImage(107, Header(kMuraCompZlib, 2, /*randomized=*/true), {f0, f1});
}

std::vector<uint8_t> SmallXmlImage() {
  const TDIBSurface plane = MakePlane(3, 2, 8, [](int x, int y) { return x + y; });
  LayerRecord l;
  l.colour = PlaneBytes(plane);
  l.alpha_plane = PlaneBytes(MakePlane(3, 2, 8, [](int, int) { return 200; }));
  return XmlImage(
      "<Mura Count=\"1\" CompType=\"1\" BlockWidth=\"0\" Randomized=\"1\">\n"
      "<Frame TransColor=\"1\"><Layers Count=\"1\" Width=\"3\" Height=\"2\" Bpp=\"1\">\n"
      "<RGB>000000FFFFFF</RGB>\n<Layer AlphaOn=\"1\"/>\n</Layers></Frame>\n",
      {l});
}

TEST(MuraRobustnessTest, FixturesLoad) {
  EXPECT_EQ(LoadError(SmallBinaryImage()), "");
  EXPECT_EQ(LoadError(SmallXmlImage()), "");
}

TEST(MuraRobustnessTest, EveryTruncatedPrefixGivesACleanError) {
  for (const auto& image : {SmallBinaryImage(), SmallXmlImage()}) {
    for (size_t length = 0; length < image.size(); ++length) {
      const std::vector<uint8_t> prefix(image.begin(), image.begin() + length);
      EXPECT_NE(LoadError(prefix), "") << "prefix of " << length << " bytes loaded";
    }
  }
}

TEST(MuraRobustnessTest, SeededMutationsLoadOrFailWithAMessage) {
  std::mt19937 random(20261209);
  for (const auto& image : {SmallBinaryImage(), SmallXmlImage()}) {
    int loaded = 0;
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
      std::vector<uint8_t> damaged = image;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) {
        damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
      }
      // Anything but a KoruError fails the test; so does an error without a message.
      const std::string error = LoadError(damaged);
      EXPECT_NE(error, "?") << "round " << round;
      ++(error.empty() ? loaded : refused);
    }
    // Damage in pixel bytes loads, damage in the structure is refused: both must occur,
    // or the mutations missed the reader.
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
  }
}

TEST(MuraRobustnessTest, ImpossibleGeometryIsRefused) {
  auto frame = [](int w, int h, int bits) {
    FrameRecord f;
    f.width = w, f.height = h, f.bits = bits;
    return BinaryImage(107, Header(kMuraCompStored, 0), {f});
  };
  EXPECT_EQ(LoadError(frame(2, 2, 24)), "");
  EXPECT_EQ(LoadError(frame(0, 0, 24)), "");
  EXPECT_EQ(LoadError(frame(-1, 2, 24)), kMuraCorrupt);
  EXPECT_EQ(LoadError(frame(2, -5, 24)), kMuraCorrupt);
  EXPECT_EQ(LoadError(frame(20000, 1, 24)), kMuraCorrupt);
  EXPECT_EQ(LoadError(frame(16384, 16384, 1)), kMuraCorrupt);
  EXPECT_EQ(LoadError(frame(2, 2, 7)), kMuraCorrupt);
  EXPECT_EQ(LoadError(frame(2, 2, 0)), kMuraCorrupt);
  EXPECT_EQ(LoadError(frame(2, 2, 64)), kMuraCorrupt);
}

TEST(MuraRobustnessTest, LengthsAndCountsBeyondTheStreamAreRefused) {
  // A name, a payload, an aux list and a layer count larger than what follows.
  auto with = [](auto patch) {
    ByteWriter w;
    w.Text("Mura107").I32(40);
    auto h = Header(kMuraCompStored, 0);
    h.Count = 1;
    const auto record = h.ToBytes();
    w.Raw(std::vector<uint8_t>(record.begin(), record.end()));
    patch(w);
    return w.bytes;
  };
  EXPECT_EQ(LoadError(with([](ByteWriter& w) { w.I32(1 << 30).Text("x"); })), kMuraCorrupt);
  EXPECT_EQ(LoadError(with([](ByteWriter& w) { w.I32(-4); })), kMuraCorrupt);
  auto frame_head = [](ByteWriter& w, int layers) {
    w.Name("f").I32(-1).I32(0).U8(0).I32(0).I32(layers).I32(1).I32(1).I32(24);
  };
  EXPECT_EQ(LoadError(with([&](ByteWriter& w) { frame_head(w, 1 << 30); })), kMuraCorrupt);
  auto layer_head = [](ByteWriter& w) { w.I32(0).I32(0).U8(1).I32(-1).I32(255).U8(0).Name("l"); };
  EXPECT_EQ(LoadError(with([&](ByteWriter& w) {
              frame_head(w, 1);
              layer_head(w);
              w.I32(-1);
            })),
            kMuraCorrupt);
  EXPECT_EQ(LoadError(with([&](ByteWriter& w) {
              frame_head(w, 1);
              layer_head(w);
              w.I32(0x7FFFFFFF).I32(0);
            })),
            kMuraCorrupt);
  EXPECT_EQ(LoadError(with([&](ByteWriter& w) {
              frame_head(w, 1);
              layer_head(w);
              w.Payload({1, 2, 3, 0}).I32(-2);  // negative alpha length
            })),
            kMuraCorrupt);
  EXPECT_EQ(LoadError(with([&](ByteWriter& w) {
              frame_head(w, 0);
              w.I32(1 << 28).I32(0);  // aux records
            })),
            kMuraCorrupt);
}

TEST(MuraRobustnessTest, EmptyPayloadIsEmptyNotTheRestOfTheStream) {
  for (uint8_t comp : {kMuraCompStored, kMuraCompZlib}) {
    for (int block : {0, 2}) {
      FrameRecord f;
      f.width = 2, f.height = 2, f.bits = 24;
      LayerRecord l;  // N = 0
      f.layers = {l};
      EXPECT_EQ(LoadError(BinaryImage(107, Header(comp, block), {f})), kMuraCorrupt)
          << int(comp) << " " << block;
    }
  }
  // Old row mode as well, and an empty alpha plane is simply no plane.
  FrameRecord f;
  f.width = 2, f.height = 2, f.bits = 24;
  f.layers = {LayerRecord{}};
  EXPECT_EQ(LoadError(BinaryImage(102, TMuraHeader{}, {f})), kMuraCorrupt);
}

TEST(MuraRobustnessTest, ZeroWidthPlanesHaveNoRowMemory) {
  // Found by fuzzing: rows of a 0-pixel-wide plane have no memory to copy into.
  FrameRecord f;
  f.width = 0, f.height = 1024, f.bits = 24;
  f.trans_color = 0;  // the finishing step then fills an empty alpha plane
  LayerRecord l;
  l.alpha_plane = {};
  f.layers = {l};
  EXPECT_EQ(LoadError(BinaryImage(107, Header(kMuraCompStored, 0, /*randomized=*/true), {f})), "");
}

TEST(MuraRobustnessTest, ShortAndOversizedPayloadsAreRefused) {
  FrameRecord f;
  f.width = 4, f.height = 4, f.bits = 24;
  LayerRecord l;
  l.colour = Zlib(std::vector<uint8_t>(47, 1));  // 48 needed
  f.layers = {l};
  EXPECT_EQ(LoadError(BinaryImage(107, Header(kMuraCompZlib, 0), {f})), kMuraCorrupt);
  l.colour = std::vector<uint8_t>(47, 1);
  f.layers = {l};
  EXPECT_EQ(LoadError(BinaryImage(107, Header(kMuraCompStored, 0), {f})), kMuraCorrupt);
  // A zlib bomb: 16 MiB of zeros for a 48-byte plane stops at the plane's size.
  l.colour = Zlib(std::vector<uint8_t>(16u << 20, 0));
  f.layers = {l};
  EXPECT_EQ(LoadError(BinaryImage(107, Header(kMuraCompZlib, 0), {f})), kMuraCorrupt);
  EXPECT_EQ(LoadError(BinaryImage(107, Header(kMuraCompZlib, 2), {f})), kMuraCorrupt);
}

TEST(MuraRobustnessTest, ManyLargeLayersHitTheMemoryBudget) {
  FrameRecord f;
  f.width = 64, f.height = 64, f.bits = 32;
  LayerRecord l;
  l.colour = Zlib(std::vector<uint8_t>(64 * 64 * 4, 9));
  for (int i = 0; i < 8; ++i) f.layers.push_back(l);
  const auto image = BinaryImage(107, Header(kMuraCompZlib, 0), {f});
  EXPECT_EQ(LoadError(image), "");
  EXPECT_EQ(LoadError(image, /*max_total=*/64 * 64 * 4 * 5), kMuraCorrupt);
}

TEST(MuraRobustnessTest, ScrambledOldRowsWithoutCodeAskForIt) {
  const TDIBSurface plane = MakePlane(2, 2, 24, [](int x, int) { return x; });
  LayerRecord l;
  l.colour = PlaneBytes(plane);  // the raw length: stored rows in scrambled order
  auto image = [&](const char* randomized) {
    return XmlImage(std::string("<Mura Version=\"99\" Count=\"1\" Randomized=\"") + randomized +
                        "\">\n<Frame><Layers Count=\"1\" Width=\"2\" Height=\"2\" "
                        "Bpp=\"24\">\n<Layer/>\n</Layers></Frame>\n",
                    {l}, /*alpha_lengths=*/false);
  };
  TMuraFrameList list(0);
  MemoryStream stream(image("1"));
  try {
    list.LoadFromStream(stream, false, false, false);
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "識別コードを設定してください");
  }
  MemoryStream plain(image("0"));
  list.LoadFromStream(plain, false, false, false);
  EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(1, 1), 1u);
}

// Planes are allocated without zeroing and written once; whatever a damaged or odd file
// leaves unwritten must read as before: zeros in a layer, the background in a frame.
class MuraUnwrittenPixelsTest : public ::testing::Test {
 protected:
  // 4 x 4 at 24 bits in 2 x 2 blocks, stored; literal block k holds bytes 16 * (k + 1) + i.
  static std::vector<uint8_t> Literal(int blocks) {
    std::vector<uint8_t> out;
    for (int k = 0; k < blocks; ++k) {
      for (int i = 0; i < 12; ++i) out.push_back(static_cast<uint8_t>(16 * (k + 1) + i));
    }
    return out;
  }
  static std::vector<uint8_t> Image(const std::vector<TMuraBlockRef>& refs, int literal_blocks) {
    LayerRecord l;
    l.colour = BlockPayload(refs, Literal(literal_blocks));
    FrameRecord f;
    f.layers = {l};
    TMuraHeader h = Header(kMuraCompStored, 2);
    h.BGColor = MakeWindowsColor(1, 2, 3);
    return BinaryImage(107, h, {f});
  }
  // Loads with layers kept; the error message, "" on success.
  std::string Load(const std::vector<uint8_t>& bytes) {
    MemoryStream stream(bytes);
    try {
      list_.LoadFromStream(stream, false, /*keep_layers=*/true, false);
    } catch (const KoruError& e) {
      return e.message();
    }
    return "";
  }
  // The three bytes of a pixel of a plane, as stored.
  static std::vector<uint8_t> Pixel(const TDIBSurface& s, int x, int y) {
    const uint8_t* p = s.ScanLine(y) + x * 3;
    return {p[0], p[1], p[2]};
  }
  const TDIBSurface& Layer() const { return list_.GetFrame(0).GetLayer(0).Surface; }
  const TDIBSurface& Frame() const { return list_.GetFrame(0).Surface; }

  TMuraFrameList list_{0};
};

TEST_F(MuraUnwrittenPixelsTest, CopiesFromBlocksNotDecodedYetReadZeros) {
  // Block 0 copies block 3 (later), block 1 copies itself through frame 0, layer 0.
  ASSERT_EQ(Load(Image({{-2, 3}, {0, 0}, {-1, 0}, {-1, 0}}, 2)), "");
  const std::vector<uint8_t> zero = {0, 0, 0};
  EXPECT_EQ(Pixel(Layer(), 0, 0), zero);
  EXPECT_EQ(Pixel(Layer(), 3, 1), zero);
  EXPECT_EQ(Pixel(Layer(), 0, 2), (std::vector<uint8_t>{16, 17, 18}));
  EXPECT_EQ(Pixel(Layer(), 3, 3), (std::vector<uint8_t>{41, 42, 43}));
  EXPECT_EQ(PlaneBytes(Frame()), PlaneBytes(Layer()));
}

TEST_F(MuraUnwrittenPixelsTest, DamagedPlaneKeepsWhatWasDecodedAndZerosTheRest) {
  // Blocks 0 and 1 decode, block 2 has a source that does not exist.
  EXPECT_EQ(Load(Image({{-1, 0}, {-1, 0}, {-3, 0}, {-1, 0}}, 3)), kMuraCorrupt);
  ASSERT_EQ(list_.Count(), 1);
  EXPECT_EQ(Pixel(Layer(), 0, 0), (std::vector<uint8_t>{16, 17, 18}));
  EXPECT_EQ(Pixel(Layer(), 3, 1), (std::vector<uint8_t>{41, 42, 43}));
  for (int y = 2; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(Layer(), x, y), (std::vector<uint8_t>{0, 0, 0}));
  }
  // The frame was never drawn on: its background (blue, green, red in memory).
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(Frame(), x, y), (std::vector<uint8_t>{3, 2, 1}));
  }
}

TEST_F(MuraUnwrittenPixelsTest, FileEndingBeforeThePlaneLeavesZerosAndTheBackground) {
  std::vector<uint8_t> image = Image({{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, 4);
  image.resize(image.size() - 4 * 8 - 48 - 4 - 8);  // the layer's payload cut off
  EXPECT_NE(Load(image), "");
  ASSERT_EQ(list_.Count(), 1);
  ASSERT_EQ(list_.GetFrame(0).LayerCount(), 1);
  EXPECT_EQ(PlaneBytes(Layer()), std::vector<uint8_t>(48, 0));
  EXPECT_EQ(Pixel(Frame(), 2, 3), (std::vector<uint8_t>{3, 2, 1}));
}

TEST_F(MuraUnwrittenPixelsTest, RowPaddingOfTheFrameIsZeroWhateverTheLayerStores) {
  // 3 pixels at 24 bits: 9 bytes of pixels and 3 of padding per row, stored as 0xEE.
  std::vector<uint8_t> rows(12 * 2, 0xEE);
  for (int i = 0; i < 9; ++i) rows[i] = rows[12 + i] = static_cast<uint8_t>(i + 1);
  LayerRecord l;
  l.colour = rows;
  FrameRecord f;
  f.width = 3;
  f.height = 2;
  f.layers = {l};
  for (const bool keep : {false, true}) {
    TMuraFrameList list(0);
    MemoryStream stream(BinaryImage(107, Header(kMuraCompStored, 0), {f}));
    list.LoadFromStream(stream, false, keep, false);
    const TDIBSurface& frame = list.GetFrame(0).Surface;
    for (int y = 0; y < 2; ++y) {
      EXPECT_EQ(std::vector<uint8_t>(frame.ScanLine(y), frame.ScanLine(y) + 12),
                (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}))
          << "keep_layers " << keep;
    }
  }
}

TEST_F(MuraUnwrittenPixelsTest, ShortPayloadAfterALargerPlaneIsRefusedNotFilledFromIt) {
  // The inflate memory of the first frame's plane serves the second; its bytes beyond what
  // the second payload gives must not complete that plane.
  LayerRecord big;
  big.colour = Zlib(std::vector<uint8_t>(8 * 24, 7));
  FrameRecord first;
  first.width = first.height = 8;
  first.layers = {big};
  LayerRecord short_layer;
  short_layer.colour = Zlib(std::vector<uint8_t>(4 * 12 - 1, 9));
  FrameRecord second;
  second.layers = {short_layer};
  EXPECT_EQ(Load(BinaryImage(107, Header(kMuraCompZlib, 0), {first, second})), kMuraCorrupt);
  ASSERT_EQ(list_.Count(), 2);
  EXPECT_EQ(PlaneBytes(list_.GetFrame(1).GetLayer(0).Surface), std::vector<uint8_t>(48, 0));
}

}  // namespace
}  // namespace koru
