// Byte layout of the ".MUR" encoder, checked field by field against the format.
#include "imaging/mura_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/binary_io.h"
#include "base/error.h"
#include "storage/compression.h"

namespace koru {
namespace {

// Walks an encoded file field by field.
class Cursor {
 public:
  explicit Cursor(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int32_t Int() {
    Need(4);
    const int32_t v = LoadInt32(&bytes_[pos_]);
    pos_ += 4;
    return v;
  }
  uint8_t Byte() {
    Need(1);
    return bytes_[pos_++];
  }
  std::string Text(size_t n) {
    Need(n);
    std::string s(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
    pos_ += n;
    return s;
  }
  std::vector<uint8_t> Bytes(size_t n) {
    Need(n);
    std::vector<uint8_t> v(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
    pos_ += n;
    return v;
  }
  std::vector<uint8_t> Payload() { return Bytes(static_cast<size_t>(Int())); }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  void Need(size_t n) {
    if (pos_ + n > bytes_.size()) throw std::runtime_error("encoded file ends early");
  }
  std::vector<uint8_t> bytes_;
  size_t pos_ = 0;
};

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> out;
  InflateBytes(bytes.data(), bytes.size(), &out);
  return out;
}

// One frame of width x height at bits whose layers hold distinct bytes.
MuraFrameSource Frame(int32_t width, int32_t height, int32_t bits, size_t layers = 1) {
  MuraFrameSource frame;
  frame.name = "f";
  frame.width = width;
  frame.height = height;
  frame.bit_count = bits;
  for (size_t l = 0; l < layers; ++l) {
    MuraLayerSource layer;
    layer.name = "L" + std::to_string(l);
    layer.pixels.resize(static_cast<size_t>(MuraRowBytes(width, bits) * height));
    for (size_t i = 0; i < layer.pixels.size(); ++i) {
      layer.pixels[i] = static_cast<uint8_t>(i * 7 + l);
    }
    frame.layers.push_back(std::move(layer));
  }
  return frame;
}

// Skips a binary frame record up to its first layer's colour payload (version 107, 24 bits).
void SkipToFirstPayload(Cursor& c) {
  c.Text(static_cast<size_t>(c.Int()));  // frame name
  c.Int();                               // TransColor
  c.Int();                               // Delay
  c.Byte();                              // Disposal
  c.Int();                               // unused
  c.Int();                               // layers
  c.Int();                               // width
  c.Int();                               // height
  const int32_t bits = c.Int();
  if (bits <= 8) c.Bytes(4u << bits);
  c.Bytes(8);
  c.Byte();
  c.Int();
  c.Int();
  c.Byte();
  c.Text(static_cast<size_t>(c.Int()));
}

TEST(MuraWriter, Binary107_HeaderFrameAndLayerRecordsInOrder) {
  MuraImageSource image;
  image.bg_color = 0x00336699;
  image.not_fill_bg = true;
  MuraFrameSource frame = Frame(2, 2, 24);
  frame.trans_color = 0x123456;
  frame.delay = 250;
  frame.disposal = 2;
  frame.aux_records2.push_back(MuraAuxRecord{1, 2, 3});
  frame.layers[0].alpha = 128;
  frame.layers[0].alpha_on = true;
  frame.layers[0].alpha_plane.assign(8, 0xAA);
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.comp_type = MuraCompType::kNone;
  options.block_width = 0;

  const auto bytes = WriteMura(image, options);
  Cursor c(bytes);
  EXPECT_EQ(c.Text(7), "Mura107");
  ASSERT_EQ(c.Int(), 40);
  EXPECT_EQ(c.Int(), 107);  // Version
  EXPECT_EQ(c.Int(), 2);    // Width
  EXPECT_EQ(c.Int(), 2);    // Height
  EXPECT_EQ(c.Int(), 24);   // Bpp
  EXPECT_EQ(c.Int(), 1);    // Count
  EXPECT_EQ(c.Byte(), 0);   // SyncPal
  EXPECT_EQ(c.Byte(), 0);   // Randomized
  EXPECT_EQ(c.Byte(), 1);   // CompType: none
  c.Byte();
  EXPECT_EQ(c.Int(), 0x00336699);  // BGColor
  EXPECT_EQ(c.Int(), 0);           // BlockWidth
  EXPECT_EQ(c.Int(), 32);          // BlockHeight
  EXPECT_EQ(c.Byte(), 1);          // NotFillBG
  c.Bytes(3);

  EXPECT_EQ(c.Text(static_cast<size_t>(c.Int())), "f");
  EXPECT_EQ(c.Int(), 0x123456);
  EXPECT_EQ(c.Int(), 250);
  EXPECT_EQ(c.Byte(), 2);
  c.Int();
  EXPECT_EQ(c.Int(), 1);   // layers
  EXPECT_EQ(c.Int(), 2);   // width
  EXPECT_EQ(c.Int(), 2);   // height
  EXPECT_EQ(c.Int(), 24);  // no colour table follows at 24 bits
  c.Bytes(8);
  EXPECT_EQ(c.Byte(), 1);   // Visible
  EXPECT_EQ(c.Int(), -1);   // TransColor
  EXPECT_EQ(c.Int(), 128);  // Alpha
  EXPECT_EQ(c.Byte(), 1);   // AlphaOn
  EXPECT_EQ(c.Text(static_cast<size_t>(c.Int())), "L0");
  EXPECT_EQ(c.Payload(), frame.layers[0].pixels);  // uncompressed rows in natural order
  EXPECT_EQ(c.Payload(), frame.layers[0].alpha_plane);
  EXPECT_EQ(c.Int(), 0);  // AuxRecords1
  ASSERT_EQ(c.Int(), 1);  // AuxRecords2
  EXPECT_EQ(c.Bytes(16)[2], 3);
  EXPECT_TRUE(c.AtEnd());
}

TEST(MuraWriter, OldVersions_ShortHeadersAndOptionalLayerFields) {
  MuraImageSource image;
  image.frames.push_back(Frame(1, 1, 8));
  image.frames[0].colors[5] = 0x00FF0000;
  MuraWriteOptions options;
  options.version = 99;
  Cursor c99(WriteMura(image, options));
  EXPECT_EQ(c99.Text(7), "Mura099");
  EXPECT_EQ(c99.Int(), 1);  // frame count
  c99.Byte();
  EXPECT_EQ(c99.Text(static_cast<size_t>(c99.Int())), "f");  // no BGColor before 102
  c99.Bytes(4 + 4 + 1 + 4 + 4 + 4 + 4 + 4);
  const auto table = c99.Bytes(1024);
  EXPECT_EQ(table[5 * 4 + 2], 0xFF);  // red of entry 5
  c99.Bytes(8 + 1 + 4 + 4);           // no AlphaOn byte before 101
  EXPECT_EQ(c99.Text(static_cast<size_t>(c99.Int())), "L0");
  EXPECT_EQ(Inflate(c99.Payload()), image.frames[0].layers[0].pixels);
  EXPECT_TRUE(c99.AtEnd());  // no alpha length before 100

  options.version = 0;
  const auto bare = WriteMura(image, options);
  EXPECT_EQ(LoadInt32(bare.data()), 1);  // no magic: the frame count comes first
}

TEST(MuraWriter, RowMode_ScrambledRowsFollowTheGeneratorDraws) {
  // Seed 1 over 4 rows draws 1, 0, 3, 2: stored row k is row draw(k).
  MuraImageSource image;
  MuraFrameSource frame = Frame(4, 4, 8);
  for (int y = 0; y < 4; ++y) std::fill_n(frame.layers[0].pixels.begin() + y * 4, 4, y + 10);
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.randomized = true;
  options.identification_code = 1;
  options.block_width = 0;
  const std::vector<uint8_t> expected_rows = {11, 10, 13, 12};

  for (const int32_t version : {102, 107}) {
    options.version = version;
    options.comp_type = version == 102 ? MuraCompType::kZlib : MuraCompType::kNone;
    Cursor c(WriteMura(image, options));
    c.Text(7);
    if (version == 102) {
      c.Bytes(4 + 1 + 4);
    } else {
      c.Bytes(4 + 40);
    }
    SkipToFirstPayload(c);
    const auto rows = c.Payload();
    ASSERT_EQ(rows.size(), 16u) << version;  // old mode: raw rows whatever CompType says
    for (int k = 0; k < 4; ++k) EXPECT_EQ(rows[k * 4], expected_rows[k]) << version;
  }
}

std::vector<uint8_t> FirstPayload(const MuraImageSource& image, const MuraWriteOptions& o) {
  const auto bytes = WriteMura(image, o);
  Cursor c(bytes);
  c.Bytes(7 + 4 + 40);
  SkipToFirstPayload(c);
  return c.Payload();
}

struct Reference {
  int32_t source;
  int32_t index;
  bool operator==(const Reference&) const = default;
};

std::vector<Reference> References(const std::vector<uint8_t>& payload, size_t count) {
  std::vector<Reference> refs;
  for (size_t i = 0; i < count; ++i) {
    refs.push_back({LoadInt32(&payload[i * 8]), LoadInt32(&payload[i * 8 + 4])});
  }
  return refs;
}

TEST(MuraWriter, BlockMode_RepeatedBlocksBecomeReferencesAndEdgesStaySmall) {
  // 10 x 4 at 8 bits, 4 x 4 blocks: two full blocks alike, then an edge block 2 wide.
  MuraImageSource image;
  MuraFrameSource frame = Frame(10, 4, 8);
  auto& px = frame.layers[0].pixels;  // stride 12
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 10; ++x) px[y * 12 + x] = static_cast<uint8_t>(x < 8 ? (x % 4) + y : 99);
  }
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.block_width = 4;
  options.block_height = 4;

  const auto payload = Inflate(FirstPayload(image, options));
  ASSERT_EQ(payload.size(), 3 * 8 + 16 + 8u);
  EXPECT_EQ(References(payload, 3), (std::vector<Reference>{{-1, 0}, {-2, 0}, {-1, 0}}));
  EXPECT_EQ(payload[24 + 4], 1);       // second row of the first block
  EXPECT_EQ(payload[24 + 16], 99);     // the edge block: rows of 2 bytes
  EXPECT_EQ(payload.size() - 40, 8u);  // 4 rows x 2 bytes

  options.reuse_blocks_in_plane = false;
  options.comp_type = MuraCompType::kNone;
  EXPECT_EQ(References(FirstPayload(image, options), 3),
            (std::vector<Reference>{{-1, 0}, {-1, 0}, {-1, 0}}));
}

TEST(MuraWriter, BlockMode_LaterLayersAndFramesReferToEarlierRectangles) {
  MuraImageSource image;
  MuraFrameSource frame = Frame(8, 4, 24, 2);
  frame.layers[1].pixels = frame.layers[0].pixels;
  frame.layers[1].pixels[0] ^= 1;  // first block differs, second alike
  frame.layers[0].alpha_plane.assign(32, 7);
  frame.layers[1].alpha_plane.assign(32, 7);
  image.frames.push_back(frame);
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.block_width = 4;
  options.block_height = 4;
  options.comp_type = MuraCompType::kNone;

  const auto bytes = WriteMura(image, options);
  Cursor c(bytes);
  c.Bytes(7 + 4 + 40);
  std::vector<std::vector<Reference>> color, alpha;
  for (int f = 0; f < 2; ++f) {
    SkipToFirstPayload(c);
    for (int l = 0; l < 2; ++l) {
      if (l == 1) {
        c.Bytes(8 + 1 + 4 + 4 + 1);
        c.Text(static_cast<size_t>(c.Int()));
      }
      color.push_back(References(c.Payload(), 2));
      alpha.push_back(References(c.Payload(), 2));
    }
    c.Int();
    c.Int();
  }
  EXPECT_TRUE(c.AtEnd());
  using R = std::vector<Reference>;
  EXPECT_EQ(color[0], (R{{-1, 0}, {-1, 0}}));
  EXPECT_EQ(color[1], (R{{-1, 0}, {0, 0}}));  // frame 0, layer 0
  EXPECT_EQ(color[2], (R{{0, 0}, {0, 0}}));
  EXPECT_EQ(color[3], (R{{0, 1}, {0, 0}}));
  EXPECT_EQ(alpha[0], (R{{-1, 0}, {-2, 0}}));  // alpha planes refer only to alpha planes
  EXPECT_EQ(alpha[1], (R{{0, 0}, {0, 0}}));
}

TEST(MuraWriter, BlockMode_PaletteFramesReferOnlyToTheirOwnLayers) {
  MuraImageSource image;
  MuraFrameSource frame = Frame(8, 4, 8, 2);
  frame.layers[1].pixels = frame.layers[0].pixels;
  image.frames = {frame, frame};
  MuraWriteOptions options;
  options.block_width = 4;
  options.block_height = 4;
  options.comp_type = MuraCompType::kNone;
  const auto bytes = WriteMura(image, options);
  Cursor c(bytes);
  c.Bytes(7 + 4 + 40);
  std::vector<std::vector<Reference>> color;
  for (int f = 0; f < 2; ++f) {
    SkipToFirstPayload(c);
    for (int l = 0; l < 2; ++l) {
      if (l == 1) {
        c.Bytes(8 + 1 + 4 + 4 + 1);
        c.Text(static_cast<size_t>(c.Int()));
      }
      color.push_back(References(c.Payload(), 2));
      EXPECT_EQ(c.Int(), 0);  // no alpha plane
    }
    c.Int();
    c.Int();
  }
  using R = std::vector<Reference>;
  EXPECT_EQ(color[1], (R{{0, 0}, {0, 0}}));    // frame 0 layer 1: its frame's layer 0
  EXPECT_EQ(color[2], (R{{-1, 0}, {-1, 0}}));  // frame 1 starts afresh
  EXPECT_EQ(color[3], (R{{1, 0}, {1, 0}}));
}

TEST(MuraWriter, BlockMode_RandomizedReferencesAreStoredInDrawOrder) {
  MuraImageSource image;
  MuraFrameSource frame = Frame(16, 1, 8);
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.block_width = 4;
  options.block_height = 1;
  options.comp_type = MuraCompType::kNone;
  options.randomized = true;
  options.identification_code = 1;
  // Slot 2 repeats slot 0, so its reference shows where each stored reference went.
  std::copy_n(frame.layers[0].pixels.begin(), 4, image.frames[0].layers[0].pixels.begin() + 8);
  const auto payload = FirstPayload(image, options);
  // Draws 1, 0, 3, 2: stored reference k belongs to slot draw(k).
  EXPECT_EQ(References(payload, 4), (std::vector<Reference>{{-1, 0}, {-1, 0}, {-1, 0}, {-2, 0}}));
  // Literals stay in slot order: slots 0, 1, 3.
  EXPECT_EQ(payload[32], frame.layers[0].pixels[0]);
  EXPECT_EQ(payload[36], frame.layers[0].pixels[4]);
  EXPECT_EQ(payload[40], frame.layers[0].pixels[12]);
}

TEST(MuraWriter, Xml_HeaderDocumentAndLayerRecords) {
  MuraImageSource image;
  MuraFrameSource frame = Frame(2, 1, 4);
  frame.name = "a<b>&\"c\"\n";
  frame.colors[0] = 0x00FF0000;  // red
  frame.colors[1] = 0x000000FF;  // blue
  frame.layers[0].alpha_plane.assign(4, 255);
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.variant = MuraVariant::kXml;
  options.version = 200;

  const auto bytes = WriteMura(image, options);
  Cursor c(bytes);
  EXPECT_EQ(c.Text(8), "MuraX200");
  const auto header = Inflate(c.Bytes(static_cast<uint32_t>(c.Int())));
  const std::string xml(header.begin(), header.end());
  EXPECT_NE(xml.find("Version=\"200\""), std::string::npos);
  EXPECT_NE(xml.find("Name=\"a&lt;b&gt;&amp;&quot;c&quot;&#10;\""), std::string::npos);
  EXPECT_NE(xml.find("<RGB>0000FFFF0000000000"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<Layers Count=\"1\" Width=\"2\" Height=\"1\" Bpp=\"4\">"), std::string::npos);
  EXPECT_EQ(Inflate(c.Payload()).size(), 8u + 1u);  // one reference, one row of 2 pixels
  EXPECT_EQ(Inflate(c.Payload()).size(), 8u + 2u);
  EXPECT_TRUE(c.AtEnd());
}

TEST(MuraWriter, Jpeg_ColourPlanesAreJpegAlphaPlanesZlibRows) {
  MuraImageSource image;
  MuraFrameSource frame = Frame(8, 8, 24);
  frame.layers[0].alpha_plane.assign(64, 9);
  image.frames.push_back(frame);
  MuraWriteOptions options;
  options.comp_type = MuraCompType::kJpeg;
  options.randomized = true;
  options.identification_code = 5;
  const auto bytes = WriteMura(image, options);
  Cursor c(bytes);
  c.Bytes(7 + 4 + 40);
  SkipToFirstPayload(c);
  const auto jpeg = c.Payload();
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(Inflate(c.Payload()), frame.layers[0].alpha_plane);
}

void ExpectRefused(const MuraImageSource& image, const MuraWriteOptions& options) {
  EXPECT_THROW(WriteMura(image, options), KoruError);
}

TEST(MuraWriter, SourcesTheOptionsCannotHoldAreRefused) {
  MuraImageSource image;
  image.frames.push_back(Frame(3, 3, 4));
  MuraWriteOptions options;
  options.block_width = 3;  // 3 x 4 bits does not end on a byte
  ExpectRefused(image, options);
  options.block_width = 2;
  EXPECT_NO_THROW(WriteMura(image, options));

  MuraImageSource wrong_size = image;
  wrong_size.frames[0].layers[0].pixels.pop_back();
  ExpectRefused(wrong_size, options);

  MuraImageSource with_alpha = image;
  with_alpha.frames[0].layers[0].alpha_plane.assign(12, 1);
  options.version = 99;
  ExpectRefused(with_alpha, options);

  options.version = 104;
  MuraImageSource not_fill = image;
  not_fill.not_fill_bg = true;
  ExpectRefused(not_fill, options);

  options = MuraWriteOptions{};
  options.comp_type = MuraCompType::kJpeg;
  ExpectRefused(image, options);  // JPEG needs 24 bits
  options = MuraWriteOptions{};
  options.version = 108;
  ExpectRefused(image, options);
  options.version = 107;
  options.header_length = 16;  // Count would be cut off
  ExpectRefused(image, options);
  options = MuraWriteOptions{};
  options.variant = MuraVariant::kXml;
  options.version = 200;
  options.xml_magic = "MuraX300";
  ExpectRefused(image, options);
}

}  // namespace
}  // namespace koru
