#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "base/error.h"
#include "imaging/mura.h"
#include "mura_test_writer.h"

namespace koru {
namespace {

using testing::BinaryImage;
using testing::BlockPayload;
using testing::FrameRecord;
using testing::LayerRecord;
using testing::MakePlane;
using testing::PlaneBytes;
using testing::XmlImage;
using testing::Zlib;

TMuraFrameList Load(const std::vector<uint8_t>& bytes, bool first_frame_only = false,
                    int32_t code = 0) {
  TMuraFrameList list(code);
  MemoryStream stream(bytes);
  list.LoadFromStream(stream, first_frame_only, /*keep_layers=*/false, /*finish=*/false);
  return list;
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
  try {
    Load(bytes);
  } catch (const KoruError& e) {
    return e.message();
  }
  return "";
}

// A colour table text: entry i from colours[i] written as BBGGRR, the rest 000000.
std::string RgbText(int entries, const std::vector<std::string>& colours) {
  std::string text;
  for (int i = 0; i < entries; ++i) {
    text += i < static_cast<int>(colours.size()) ? colours[static_cast<size_t>(i)] : "000000";
  }
  return text;
}

std::string FrameXml(int layers, int w, int h, int bpp, const std::string& rgb = "",
                     const std::string& layer_attrs = "") {
  std::string xml = "<Frame Name=\"f\">\n<Layers Count=\"" + std::to_string(layers) +
                    "\" Width=\"" + std::to_string(w) + "\" Height=\"" + std::to_string(h) +
                    "\" Bpp=\"" + std::to_string(bpp) + "\">\n";
  if (!rgb.empty()) xml += "<RGB>" + rgb + "</RGB>\n";
  for (int i = 0; i < layers; ++i) xml += "<Layer Name=\"l\"" + layer_attrs + "/>\n";
  return xml + "</Layers>\n</Frame>\n";
}

LayerRecord StoredLayer(const TDIBSurface& plane) {
  LayerRecord l;
  l.colour = PlaneBytes(plane);
  return l;
}

constexpr const char* kStoredRows = "CompType=\"1\" BlockWidth=\"0\" BlockHeight=\"0\"";

TEST(MuraXmlTest, PaletteFramesAndDefaults) {
  const TDIBSurface plane = MakePlane(2, 1, 8, [](int x, int) { return x; });
  const std::string xml = std::string("<Mura Count=\"1\" ") + kStoredRows + " BGColor=\"$FF\">\n" +
                          FrameXml(1, 2, 1, 8, RgbText(256, {"0000FF", "FF0000"}));
  TMuraFrameList list = Load(XmlImage(xml, {StoredLayer(plane)}));
  ASSERT_EQ(list.Count(), 1);
  const TDIBSurface& s = list.GetFrame(0).Surface;
  EXPECT_EQ(s.PixelToColor(0), MakeWindowsColor(255, 0, 0));  // 0000FF is pure red
  EXPECT_EQ(s.PixelToColor(1), MakeWindowsColor(0, 0, 255));  // FF0000 is pure blue
  EXPECT_EQ(s.GetPixel(1, 0), 1u);
  EXPECT_EQ(list.BGColor, 0xFFu);
  EXPECT_TRUE(list.NotFillBG);  // the XML default
  EXPECT_EQ(list.Version, 0);
}

TEST(MuraXmlTest, DefaultHeaderMeansZlibBlocksOf32) {
  // 40 x 2 at 24 bits: blocks 32 and 8 wide.
  const TDIBSurface plane =
      MakePlane(40, 2, 24, [](int x, int y) { return static_cast<uint32_t>(x * 3 + y * 1000); });
  std::vector<uint8_t> literal;
  for (int column = 0; column < 2; ++column) {
    for (int y = 0; y < 2; ++y) {
      const uint8_t* row = plane.ScanLine(y) + column * 96;
      literal.insert(literal.end(), row, row + (column == 0 ? 96 : 24));
    }
  }
  LayerRecord l;
  l.colour = Zlib(BlockPayload({{-1, 0}, {-1, 0}}, literal));
  TMuraFrameList list = Load(XmlImage("<Mura Count=\"1\">\n" + FrameXml(1, 40, 2, 24), {l}));
  const TDIBSurface& s = list.GetFrame(0).Surface;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 40; ++x) ASSERT_EQ(s.GetPixel(x, y), plane.GetPixel(x, y)) << x;
  }
}

TEST(MuraXmlTest, FrameListRules) {
  const TDIBSurface plane = MakePlane(1, 1, 24, [](int, int) { return 0xABCDEF; });
  const std::string frame = FrameXml(1, 1, 1, 24);
  const std::string head = std::string(" ") + kStoredRows + ">\n";
  // Count 3 with two frames: two frames, no error; FirstFrameOnly has no effect.
  const auto two = XmlImage("<Mura Count=\"3\"" + head + frame + frame,
                            {StoredLayer(plane), StoredLayer(plane)});
  EXPECT_EQ(Load(two).Count(), 2);
  EXPECT_EQ(Load(two, /*first_frame_only=*/true).Count(), 2);
  // Count 0: empty list.
  TMuraFrameList empty = Load(XmlImage("<Mura Count=\"0\"" + head + frame, {}));
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_THROW(
      {
        try {
          empty.GetFrame(0);
        } catch (const KoruError& e) {
          EXPECT_EQ(e.message(), kMuraGetFrameError);
          throw;
        }
      },
      KoruError);
  // The first child must be a frame.
  EXPECT_EQ(LoadError(XmlImage("<Mura Count=\"1\"" + head + "<Other/>\n" + frame, {})),
            kMuraCorrupt);
  // A frame without layers, a palette frame without its table, too few layers.
  EXPECT_EQ(LoadError(XmlImage("<Mura Count=\"1\"" + head + "<Frame/>\n", {})),
            "レイヤーがありません");
  EXPECT_EQ(LoadError(XmlImage("<Mura Count=\"1\"" + head + FrameXml(1, 1, 1, 8), {})),
            "カラーテーブルがありません");
  EXPECT_EQ(LoadError(XmlImage(
                "<Mura Count=\"1\"" + head + FrameXml(1, 1, 1, 4, RgbText(16, {}).substr(1)), {})),
            "カラーテーブルがありません");
  std::string missing_layer = FrameXml(1, 1, 1, 24);
  missing_layer.replace(missing_layer.find("Count=\"1\""), 9, "Count=\"2\"");
  EXPECT_EQ(LoadError(XmlImage("<Mura Count=\"1\"" + head + missing_layer,
                               {StoredLayer(plane), StoredLayer(plane)})),
            kMuraCorrupt);
  // Format digits: above 2 is refused, a non-digit counts as 0.
  EXPECT_EQ(LoadError(XmlImage("<Mura Count=\"1\"" + head + frame, {StoredLayer(plane)}, true,
                               "MuraX300")),
            "読み込めないファイル形式です");
  EXPECT_EQ(
      Load(XmlImage("<Mura Count=\"1\"" + head + frame, {StoredLayer(plane)}, true, "MuraXa00"))
          .Count(),
      1);
}

TEST(MuraXmlTest, OldVersionsHaveNoAlphaLengths) {
  const TDIBSurface plane = MakePlane(2, 2, 24, [](int x, int y) { return x * 10 + y; });
  LayerRecord l;
  l.colour = Zlib(PlaneBytes(plane));  // old row mode: not the raw length, so zlib
  TMuraFrameList list = Load(XmlImage("<Mura Version=\"99\" Count=\"1\">\n" + FrameXml(1, 2, 2, 24),
                                      {l}, /*alpha_lengths=*/false));
  EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(1, 1), 11u);
}

// ---- JPEG colour planes --------------------------------------------------------------

// Compresses 24-bit rows (blue, green, red) with libjpeg at the given quality.
std::vector<uint8_t> CompressJpeg(const TDIBSurface& plane, int quality, bool grey = false) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(plane.Width());
  cinfo.image_height = static_cast<JDIMENSION>(plane.Height());
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> grey_row(static_cast<size_t>(plane.Width()));
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t* row = plane.ScanLine(static_cast<int>(cinfo.next_scanline));
    if (grey) {
      for (int x = 0; x < plane.Width(); ++x) grey_row[static_cast<size_t>(x)] = row[x * 3 + 1];
      row = grey_row.data();
    }
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return bytes;
}

TDIBSurface SmoothPlane(int w, int h) {
  return MakePlane(w, h, 24, [](int x, int y) {
    return static_cast<uint32_t>((40 + x * 4) << 16 | (60 + y * 6) << 8 | 100);
  });
}

void ExpectClose(const TDIBSurface& actual, const TDIBSurface& expected, int tolerance) {
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  for (int y = 0; y < expected.Height(); ++y) {
    for (int x = 0; x < expected.Width(); ++x) {
      const uint32_t a = actual.GetPixel(x, y), e = expected.GetPixel(x, y);
      for (int shift : {0, 8, 16}) {
        EXPECT_NEAR(static_cast<int>((a >> shift) & 0xFF), static_cast<int>((e >> shift) & 0xFF),
                    tolerance)
            << x << "," << y;
      }
    }
  }
}

TEST(MuraJpegTest, ColourPlanesAreJpegAlphaPlanesZlibRowsInNaturalOrder) {
  const TDIBSurface colour = SmoothPlane(16, 8);
  const TDIBSurface alpha = MakePlane(16, 8, 8, [](int, int y) { return y * 30; });
  LayerRecord l;
  l.colour = CompressJpeg(colour, 100);
  l.alpha_plane = Zlib(PlaneBytes(alpha));
  l.alpha_on = true;
  // Randomized and block sizes are set, and neither applies.
  const std::string xml =
      "<Mura Count=\"1\" CompType=\"2\" Randomized=\"1\" BlockWidth=\"4\" BlockHeight=\"4\">\n" +
      FrameXml(1, 16, 8, 24, "", " AlphaOn=\"1\"");
  TMuraFrameList list = Load(XmlImage(xml, {l}), false, /*code=*/1);
  const TMuraFrame& frame = list.GetFrame(0);
  ExpectClose(frame.Surface, colour, 3);
  ASSERT_TRUE(frame.HasAlpha());
  for (int y = 0; y < 8; ++y) EXPECT_EQ(frame.Surface.Alpha()->GetPixel(5, y), y * 30u);
}

TEST(MuraJpegTest, BinaryJpegPlanesConvertToTheFrameFormat) {
  const TDIBSurface colour = SmoothPlane(8, 8);
  TMuraHeader header;
  header.Version = 107;
  header.CompType = kMuraCompJpeg;
  for (int bits : {32, 16, 15}) {
    FrameRecord f;
    f.width = 8, f.height = 8, f.bits = bits;
    LayerRecord l;
    l.colour = CompressJpeg(colour, 100);
    f.layers = {l};
    TMuraFrameList list = Load(BinaryImage(107, header, {f}));
    TDIBSurface& s = list.GetFrame(0).Surface;
    EXPECT_EQ(s.PixelBitCount(), bits);
    s.ChangeBitCount(24);
    ExpectClose(s, colour, bits == 32 ? 3 : 10);
  }
  // A greyscale JPEG on a palette frame: nearest entries of the frame's table.
  FrameRecord f;
  f.width = 8, f.height = 8, f.bits = 8;
  for (int i = 0; i < 256; ++i) {
    f.table.push_back(static_cast<uint8_t>(i));
    f.table.push_back(static_cast<uint8_t>(i));
    f.table.push_back(static_cast<uint8_t>(i));
    f.table.push_back(0);
  }
  LayerRecord l;
  l.colour = CompressJpeg(colour, 100, /*grey=*/true);
  f.layers = {l};
  TMuraFrameList list = Load(BinaryImage(107, header, {f}));
  const TDIBSurface& s = list.GetFrame(0).Surface;
  EXPECT_NEAR(static_cast<int>(s.GetPixel(0, 7)), 60 + 7 * 6, 3);
}

TEST(MuraJpegTest, MismatchedOrBrokenJpegIsRefused) {
  TMuraHeader header;
  header.Version = 107;
  header.CompType = kMuraCompJpeg;
  FrameRecord f;
  f.width = 8, f.height = 4, f.bits = 24;
  LayerRecord l;
  l.colour = CompressJpeg(SmoothPlane(8, 8), 90);  // 8 x 8 for an 8 x 4 frame
  f.layers = {l};
  EXPECT_EQ(LoadError(BinaryImage(107, header, {f})), kMuraCorrupt);
  f.layers[0].colour = {};  // an empty payload is no picture
  EXPECT_EQ(LoadError(BinaryImage(107, header, {f})), kMuraCorrupt);
  f.layers[0].colour = {0xFF, 0xD8, 0x00, 0x01, 0x02};
  const std::string message = LoadError(BinaryImage(107, header, {f}));
  EXPECT_NE(message, "");
  EXPECT_NE(message, kMuraCorrupt);  // the codec's own message
}

}  // namespace
}  // namespace koru
