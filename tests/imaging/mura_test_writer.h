#pragma once

// A small writer of layered-image bytes for the reader's tests: it lays out records
// exactly as told, including layouts no encoder would produce (bad references, odd header
// lengths), so the tests can damage any field.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/stream.h"
#include "imaging/dib_surface.h"
#include "imaging/mura.h"
#include "storage/compression.h"

namespace koru::testing {

class ByteWriter {
 public:
  ByteWriter& I32(int32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return *this;
  }
  ByteWriter& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  ByteWriter& Raw(const std::vector<uint8_t>& v) {
    bytes.insert(bytes.end(), v.begin(), v.end());
    return *this;
  }
  ByteWriter& Text(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& Name(const std::string& s) { return I32(static_cast<int32_t>(s.size())).Text(s); }
  ByteWriter& Payload(const std::vector<uint8_t>& v) {
    return I32(static_cast<int32_t>(v.size())).Raw(v);
  }
  std::vector<uint8_t> bytes;
};

inline std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) {
  MemoryStream stream(raw);
  CompressStream(stream, kCompressDefault);
  return stream.Bytes();
}

// The raw rows of a surface (the plane layout of the format).
inline std::vector<uint8_t> PlaneBytes(const TDIBSurface& s) {
  return std::vector<uint8_t>(s.Bits(), s.Bits() + s.ImageSize());
}

// A surface whose pixel at (x, y) is pixel(x, y).
template <typename F>
TDIBSurface MakePlane(int w, int h, int bits, F pixel) {
  TDIBSurface s;
  s.SetSize(w, h, bits);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s.SetPixel(x, y, pixel(x, y));
  }
  return s;
}

struct LayerRecord {
  bool visible = true;
  int32_t trans_color = -1;
  int32_t alpha = 255;
  bool alpha_on = false;
  std::string name = "layer";
  std::vector<uint8_t> colour;       // payload as stored
  std::vector<uint8_t> alpha_plane;  // payload as stored; empty: M = 0
};

struct FrameRecord {
  std::string name = "frame";
  int32_t trans_color = -1;
  int32_t width = 4;
  int32_t height = 4;
  int32_t bits = 24;
  std::vector<uint8_t> table;  // 4 * 2^bits bytes when bits <= 8 (zeros when empty)
  std::vector<LayerRecord> layers;
  int32_t aux1 = 0;  // counts of 16-byte records (version 104 and later)
  int32_t aux2 = 0;
};

// Binary variant. version < 0 writes no magic (version 0 layout).
inline std::vector<uint8_t> BinaryImage(int version, const TMuraHeader& header,
                                        const std::vector<FrameRecord>& frames,
                                        int header_length = TMuraHeader::kSize,
                                        uint32_t short_bg = 0) {
  ByteWriter w;
  const int layout_version = version < 0 ? 0 : version;
  if (version >= 0) {
    char magic[16];
    std::snprintf(magic, sizeof(magic), "Mura%03d", version % 1000);
    w.Text(std::string(magic, 7));
  }
  if (layout_version < 103) {
    w.I32(static_cast<int32_t>(frames.size())).U8(0);
    if (layout_version >= 102) w.I32(static_cast<int32_t>(short_bg));
  } else {
    TMuraHeader counted = header;
    if (counted.Count == 0) counted.Count = static_cast<int32_t>(frames.size());
    const auto record = counted.ToBytes();
    w.I32(header_length);
    for (int i = 0; i < header_length; ++i) w.U8(i < TMuraHeader::kSize ? record[i] : 0xEE);
  }
  const int record_version = layout_version < 103 ? layout_version : header.Version;
  for (const FrameRecord& f : frames) {
    w.Name(f.name).I32(f.trans_color).I32(100).U8(0).I32(0);
    w.I32(static_cast<int32_t>(f.layers.size())).I32(f.width).I32(f.height).I32(f.bits);
    if (f.bits <= 8) {
      std::vector<uint8_t> table = f.table;
      table.resize(size_t{4} << f.bits);
      w.Raw(table);
    }
    for (const LayerRecord& l : f.layers) {
      w.I32(0).I32(0).U8(l.visible ? 1 : 0).I32(l.trans_color).I32(l.alpha);
      if (record_version >= 101) w.U8(l.alpha_on ? 1 : 0);
      w.Name(l.name).Payload(l.colour);
      if (record_version >= 100) w.Payload(l.alpha_plane);
    }
    if (record_version >= 104) {
      w.I32(f.aux1);
      for (int i = 0; i < f.aux1 * 16; ++i) w.U8(static_cast<uint8_t>(i));
      w.I32(f.aux2);
      for (int i = 0; i < f.aux2 * 16; ++i) w.U8(static_cast<uint8_t>(i));
    }
  }
  return w.bytes;
}

// XML variant: the header text and the layer payloads in document order.
inline std::vector<uint8_t> XmlImage(const std::string& xml, const std::vector<LayerRecord>& layers,
                                     bool alpha_lengths = true, const char* magic = "MuraX200") {
  ByteWriter w;
  w.Text(magic);
  w.Payload(Zlib(std::vector<uint8_t>(xml.begin(), xml.end())));
  for (const LayerRecord& l : layers) {
    w.Payload(l.colour);
    if (alpha_lengths) w.Payload(l.alpha_plane);
  }
  return w.bytes;
}

inline TMuraHeader Header107(uint8_t comp_type = kMuraCompStored, int block = 0) {
  TMuraHeader h;
  h.Version = 107;
  h.CompType = comp_type;
  h.BlockWidth = block;
  h.BlockHeight = block;
  return h;
}

// Block references followed by literal rows, as a block-mode payload.
inline std::vector<uint8_t> BlockPayload(const std::vector<TMuraBlockRef>& refs,
                                         const std::vector<uint8_t>& literal) {
  ByteWriter w;
  for (const TMuraBlockRef& r : refs) w.I32(r.Source).I32(r.Index);
  w.Raw(literal);
  return w.bytes;
}

}  // namespace koru::testing
