#include "imaging/mura_writer.h"

#include <limits>

#include "base/binary_io.h"
#include "base/error.h"
#include "imaging/mura_writer_planes.h"
#include "storage/compression.h"

namespace koru {
namespace {

using mura_internal::PlaneEncoder;
using mura_internal::PlaneKind;
using mura_internal::PlaneView;

// The reader takes no picture wider or higher than this.
constexpr int32_t kMaxDimension = 16384;
constexpr size_t kHeaderRecordBytes = 40;

[[noreturn]] void Fail(const std::string& message) { throw KoruError(message); }

bool ValidBitCount(int32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
         bits == 32;
}

// What the chosen version can hold; a source that needs more is refused rather than
// written with parts silently dropped.
void CheckOptions(const MuraWriteOptions& o) {
  const bool xml = o.variant == MuraVariant::kXml;
  const int32_t max_version = xml ? kMuraXmlVersion : kMuraBinaryVersion;
  if (o.version < 0 || o.version > max_version) {
    Fail(Format("バージョン %d は書き込めません (0..%d)", o.version, max_version));
  }
  if (o.header_length < 0 || o.header_length > static_cast<int32_t>(kHeaderRecordBytes)) {
    Fail(Format("ヘッダーの長さ %d は書き込めません (0..40)", o.header_length));
  }
  if (o.block_width < 0 || o.block_height < 0) Fail("ブロックの大きさが正しくありません");
  if (static_cast<uint8_t>(o.comp_type) > 2) {
    Fail(Format("圧縮形式 %d は書き込めません", static_cast<int>(o.comp_type)));
  }
  if (o.comp_level < 0 || o.comp_level > 3) Fail("圧縮レベルは 0..3 です");
  if (o.jpeg_quality < 1 || o.jpeg_quality > 100) Fail("JPEG の品質は 1..100 です");
  const bool magic_ok = o.xml_magic.size() == 8 && o.xml_magic.compare(0, 5, "MuraX") == 0 &&
                        !(o.xml_magic[5] > '2' && o.xml_magic[5] <= '9');
  if (xml && !magic_ok) Fail("XML 形式のマジックは \"MuraX\" と 0..2 の数字で始まります");
  if (o.version < 103 && o.comp_type == MuraCompType::kJpeg) {
    Fail("JPEG 圧縮はバージョン 103 以降でのみ書き込めます");
  }
}

void CheckLayer(const MuraLayerSource& layer, const MuraFrameSource& frame,
                const MuraWriteOptions& o, size_t index) {
  const int64_t color_size = MuraRowBytes(frame.width, frame.bit_count) * frame.height;
  const int64_t alpha_size = MuraRowBytes(frame.width, 8) * frame.height;
  if (static_cast<int64_t>(layer.pixels.size()) != color_size) {
    Fail(Format("レイヤー %zu のカラープレーンの大きさが %lld バイトではありません", index,
                static_cast<long long>(color_size)));
  }
  if (!layer.alpha_plane.empty() && static_cast<int64_t>(layer.alpha_plane.size()) != alpha_size) {
    Fail(Format("レイヤー %zu のアルファプレーンの大きさが %lld バイトではありません", index,
                static_cast<long long>(alpha_size)));
  }
  if (!layer.alpha_plane.empty() && o.version < 100) {
    Fail("アルファプレーンはバージョン 100 以降でのみ書き込めます");
  }
  if (layer.alpha_on && o.variant == MuraVariant::kBinary && o.version < 101) {
    Fail("AlphaOn はバージョン 101 以降でのみ書き込めます");
  }
}

void CheckFrame(const MuraFrameSource& frame, const MuraWriteOptions& o) {
  if (!ValidBitCount(frame.bit_count))
    Fail(Format("ビット数 %d は書き込めません", frame.bit_count));
  if (frame.width < 1 || frame.height < 1 || frame.width > kMaxDimension ||
      frame.height > kMaxDimension) {
    Fail(Format("画像の大きさ %d x %d は書き込めません", frame.width, frame.height));
  }
  const bool block_mode = o.version >= 103 && o.block_width > 0 && o.block_height > 0 &&
                          o.comp_type != MuraCompType::kJpeg;
  if (block_mode && (static_cast<int64_t>(o.block_width) * MuraStorageBits(frame.bit_count)) % 8) {
    Fail(Format("ブロックの幅 %d は %d ビットの画像ではバイト境界になりません", o.block_width,
                frame.bit_count));
  }
  if (o.comp_type == MuraCompType::kJpeg && frame.bit_count != 24) {
    Fail("JPEG 圧縮は 24 ビットの画像でのみ書き込めます");
  }
  const bool has_aux = !frame.aux_records1.empty() || !frame.aux_records2.empty();
  if (has_aux && (o.variant == MuraVariant::kXml || o.version < 104)) {
    Fail("補助レコードはバイナリ形式のバージョン 104 以降でのみ書き込めます");
  }
  for (size_t i = 0; i < frame.layers.size(); ++i) CheckLayer(frame.layers[i], frame, o, i);
}

std::vector<uint8_t> HeaderRecord(const MuraImageSource& image, const MuraWriteOptions& o);

void CheckImage(const MuraImageSource& image, const MuraWriteOptions& o) {
  CheckOptions(o);
  if (o.variant == MuraVariant::kBinary) {
    if (o.version < 102 && image.bg_color != 0) {
      Fail("背景色はバージョン 102 以降でのみ書き込めます");
    }
    if (o.version < 105 && image.not_fill_bg) {
      Fail("NotFillBG はバージョン 105 以降でのみ書き込めます");
    }
    if (o.version >= 103) {
      // A shortened header record reads as zeros behind its end.
      const std::vector<uint8_t> record = HeaderRecord(image, o);
      for (size_t i = static_cast<size_t>(o.header_length); i < record.size(); ++i) {
        if (record[i] != 0) Fail("ヘッダーが短すぎて書き込めない項目があります");
      }
    }
  }
  for (const MuraFrameSource& frame : image.frames) CheckFrame(frame, o);
}

PlaneView ColorView(const MuraFrameSource& frame, const MuraLayerSource& layer) {
  return PlaneView{layer.pixels.data(), frame.width, frame.height, frame.bit_count,
                   MuraRowBytes(frame.width, frame.bit_count)};
}

PlaneView AlphaView(const MuraFrameSource& frame, const MuraLayerSource& layer) {
  return PlaneView{layer.alpha_plane.data(), frame.width, frame.height, 8,
                   MuraRowBytes(frame.width, 8)};
}

void WriteCount(Stream& out, size_t count) {
  if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    Fail("データが大きすぎます");
  }
  WriteInt32(out, static_cast<int32_t>(count));
}

void WriteBytes(Stream& out, const std::vector<uint8_t>& bytes) {
  WriteCount(out, bytes.size());
  if (!bytes.empty()) out.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void WriteString(Stream& out, const std::string& text) {
  WriteCount(out, text.size());
  if (!text.empty()) out.WriteExact(text.data(), static_cast<int64_t>(text.size()));
}

// The 40-byte header record, little-endian.
std::vector<uint8_t> HeaderRecord(const MuraImageSource& image, const MuraWriteOptions& o) {
  std::vector<uint8_t> record(kHeaderRecordBytes, 0);
  const MuraFrameSource* first = image.frames.empty() ? nullptr : &image.frames[0];
  StoreUInt32(&record[0], static_cast<uint32_t>(o.version));
  StoreUInt32(&record[4], static_cast<uint32_t>(first ? first->width : 0));
  StoreUInt32(&record[8], static_cast<uint32_t>(first ? first->height : 0));
  StoreUInt32(&record[12], static_cast<uint32_t>(first ? first->bit_count : 0));
  StoreUInt32(&record[16], static_cast<uint32_t>(image.frames.size()));
  record[20] = o.sync_pal ? 1 : 0;
  record[21] = o.randomized ? 1 : 0;
  record[22] = static_cast<uint8_t>(o.comp_type);
  StoreUInt32(&record[24], image.bg_color);
  StoreUInt32(&record[28], static_cast<uint32_t>(o.block_width));
  StoreUInt32(&record[32], static_cast<uint32_t>(o.block_height));
  record[36] = image.not_fill_bg ? 1 : 0;
  record[37] = static_cast<uint8_t>(o.comp_level);
  return record;
}

void WriteBinaryHeader(const MuraImageSource& image, const MuraWriteOptions& o, Stream& out) {
  if (o.version > 0) {
    const std::string magic = Format("Mura%03d", o.version);
    out.WriteExact(magic.data(), 7);
  }
  if (o.version < 103) {
    WriteCount(out, image.frames.size());
    WriteUInt8(out, 0);
    if (o.version >= 102) WriteUInt32(out, image.bg_color);
    return;
  }
  const std::vector<uint8_t> record = HeaderRecord(image, o);
  WriteInt32(out, o.header_length);
  out.WriteExact(record.data(), o.header_length);
}

void WriteBinaryLayer(const MuraFrameSource& frame, const MuraLayerSource& layer,
                      const MuraWriteOptions& o, PlaneEncoder& planes, int32_t frame_index,
                      int32_t layer_index, Stream& out) {
  const uint8_t unused[8] = {};
  out.WriteExact(unused, sizeof(unused));
  WriteUInt8(out, layer.visible ? 1 : 0);
  WriteInt32(out, layer.trans_color);
  WriteInt32(out, layer.alpha);
  if (o.version >= 101) WriteUInt8(out, layer.alpha_on ? 1 : 0);
  WriteString(out, layer.name);
  WriteBytes(out,
             planes.Encode(ColorView(frame, layer), PlaneKind::kColor, frame_index, layer_index));
  if (o.version < 100) return;
  if (layer.alpha_plane.empty()) {
    WriteInt32(out, 0);
    return;
  }
  WriteBytes(out,
             planes.Encode(AlphaView(frame, layer), PlaneKind::kAlpha, frame_index, layer_index));
}

void WriteAuxRecords(const std::vector<MuraAuxRecord>& records, Stream& out) {
  WriteCount(out, records.size());
  for (const MuraAuxRecord& record : records) out.WriteExact(record.data(), record.size());
}

void WriteBinary(const MuraImageSource& image, const MuraWriteOptions& o, Stream& out) {
  WriteBinaryHeader(image, o, out);
  PlaneEncoder planes(o);
  for (size_t f = 0; f < image.frames.size(); ++f) {
    const MuraFrameSource& frame = image.frames[f];
    WriteString(out, frame.name);
    WriteInt32(out, frame.trans_color);
    WriteInt32(out, frame.delay);
    WriteUInt8(out, frame.disposal);
    WriteInt32(out, 0);
    WriteCount(out, frame.layers.size());
    WriteInt32(out, frame.width);
    WriteInt32(out, frame.height);
    WriteInt32(out, frame.bit_count);
    if (frame.bit_count <= 8) {
      for (size_t i = 0; i < (size_t{1} << frame.bit_count); ++i) {
        WriteUInt32(out, frame.colors[i]);
      }
    }
    for (size_t l = 0; l < frame.layers.size(); ++l) {
      WriteBinaryLayer(frame, frame.layers[l], o, planes, static_cast<int32_t>(f),
                       static_cast<int32_t>(l), out);
    }
    // The header record's version decides the auxiliary lists; below 103 it is the
    // magic's version, as it is here.
    if (o.version >= 104) {
      WriteAuxRecords(frame.aux_records1, out);
      WriteAuxRecords(frame.aux_records2, out);
    }
  }
}

// Attribute text: markup characters as entities, line breaks as character references
// (the header is read line by line).
std::string XmlEscape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\0':
        Fail("名前に NUL 文字は書き込めません");
      default:
        out += c;
    }
  }
  return out;
}

std::string ColorTableText(const MuraFrameSource& frame) {
  std::string text;
  for (size_t i = 0; i < (size_t{1} << frame.bit_count); ++i) {
    const uint32_t q = frame.colors[i];
    // Each entry reads as the number $BBGGRR: blue digits first, red last.
    text += Format("%02X%02X%02X", q & 0xFF, (q >> 8) & 0xFF, (q >> 16) & 0xFF);
  }
  return text;
}

std::string XmlHeader(const MuraImageSource& image, const MuraWriteOptions& o) {
  const MuraFrameSource* first = image.frames.empty() ? nullptr : &image.frames[0];
  std::string xml = Format(
      "<Mura Version=\"%d\" Width=\"%d\" Height=\"%d\" Bpp=\"%d\" Count=\"%zu\" SyncPal=\"%d\" "
      "Randomized=\"%d\" CompType=\"%d\" CompLevel=\"%d\" BGColor=\"%d\" BlockWidth=\"%d\" "
      "BlockHeight=\"%d\" NotFillBG=\"%d\">\r\n",
      o.version, first ? first->width : 0, first ? first->height : 0, first ? first->bit_count : 0,
      image.frames.size(), o.sync_pal ? 1 : 0, o.randomized ? 1 : 0, static_cast<int>(o.comp_type),
      o.comp_level, static_cast<int32_t>(image.bg_color), o.block_width, o.block_height,
      image.not_fill_bg ? 1 : 0);
  for (const MuraFrameSource& frame : image.frames) {
    xml += Format("<Frame Name=\"%s\" TransColor=\"%d\" Delay=\"%d\" Disposal=\"%d\">\r\n",
                  XmlEscape(frame.name).c_str(), frame.trans_color, frame.delay, frame.disposal);
    xml += Format("<Layers Count=\"%zu\" Width=\"%d\" Height=\"%d\" Bpp=\"%d\">\r\n",
                  frame.layers.size(), frame.width, frame.height, frame.bit_count);
    // The reader keeps text only after a tag on the same line: the table stays on one.
    if (frame.bit_count <= 8) xml += "<RGB>" + ColorTableText(frame) + "</RGB>\r\n";
    for (const MuraLayerSource& layer : frame.layers) {
      xml += Format(
          "<Layer Visible=\"%d\" TransColor=\"%d\" Alpha=\"%d\" AlphaOn=\"%d\" Name=\"%s\"/>\r\n",
          layer.visible ? 1 : 0, layer.trans_color, layer.alpha, layer.alpha_on ? 1 : 0,
          XmlEscape(layer.name).c_str());
    }
    xml += "</Layers>\r\n</Frame>\r\n";
  }
  xml += "</Mura>\r\n";
  return xml;
}

void WriteXml(const MuraImageSource& image, const MuraWriteOptions& o, Stream& out) {
  out.WriteExact(o.xml_magic.data(), 8);
  const std::string xml = XmlHeader(image, o);
  MemoryStream header(std::vector<uint8_t>(xml.begin(), xml.end()));
  CompressStream(header, kCompressDefault);
  WriteUInt32(out, static_cast<uint32_t>(header.GetSize()));
  out.WriteExact(header.Data(), header.GetSize());

  PlaneEncoder planes(o);
  for (size_t f = 0; f < image.frames.size(); ++f) {
    const MuraFrameSource& frame = image.frames[f];
    for (size_t l = 0; l < frame.layers.size(); ++l) {
      const MuraLayerSource& layer = frame.layers[l];
      const auto frame_index = static_cast<int32_t>(f);
      const auto layer_index = static_cast<int32_t>(l);
      WriteBytes(
          out, planes.Encode(ColorView(frame, layer), PlaneKind::kColor, frame_index, layer_index));
      if (o.version < 100) continue;
      if (layer.alpha_plane.empty()) {
        WriteInt32(out, 0);
      } else {
        WriteBytes(out, planes.Encode(AlphaView(frame, layer), PlaneKind::kAlpha, frame_index,
                                      layer_index));
      }
    }
  }
}

}  // namespace

void WriteMura(const MuraImageSource& image, const MuraWriteOptions& options, Stream& out) {
  CheckImage(image, options);
  if (options.variant == MuraVariant::kXml) {
    WriteXml(image, options, out);
  } else {
    WriteBinary(image, options, out);
  }
}

std::vector<uint8_t> WriteMura(const MuraImageSource& image, const MuraWriteOptions& options) {
  MemoryStream out;
  WriteMura(image, options, out);
  return out.Release();
}

}  // namespace koru
