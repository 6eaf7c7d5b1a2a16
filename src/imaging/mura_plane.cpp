#include "imaging/mura_plane.h"

#include <cstring>
#include <memory>
#include <span>

#include "base/binary_io.h"
#include "base/error.h"
#include "imaging/jpeg_plane.h"
#include "storage/compression.h"
#include "storage/rands.h"

namespace koru {
namespace {

[[noreturn]] void Corrupt() { throw KoruError(kMuraCorrupt); }

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// Bytes of a row segment of width pixels.
int64_t SegmentBytes(int64_t width, int bits) { return CeilDiv(width * bits, 8); }

int64_t RawPlaneSize(const TDIBSurface& plane) {
  return static_cast<int64_t>(plane.RowLength()) * plane.Height();
}

bool BlockMode(const TMuraHeader& header) {
  return header.BlockWidth > 0 && header.BlockHeight > 0 && header.CompType != kMuraCompJpeg;
}

// Inflates payload into the scratch memory, grown to max_output when smaller and never
// zeroed: only the bytes zlib wrote, which the result spans, are ever read.
std::span<const uint8_t> Inflate(const std::vector<uint8_t>& payload, int64_t max_output,
                                 TMuraPlaneScratch& scratch) {
  const size_t capacity = static_cast<size_t>(max_output);
  if (scratch.Capacity < capacity) {
    scratch.Buffer.reset();  // the old block goes before the new one is asked for
    scratch.Capacity = 0;
    scratch.Buffer = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    scratch.Capacity = capacity;
  }
  const size_t size = InflateInto(payload.data(), payload.size(), scratch.Buffer.get(), capacity);
  return {scratch.Buffer.get(), size};
}

// Where block decoding takes its bytes from: the stored payload, or a zlib stream
// inflated piece by piece straight into the plane's blocks.
class PayloadSource {
 public:
  virtual ~PayloadSource() = default;
  // The next n bytes, or nullptr when the payload holds fewer.
  virtual const uint8_t* Take(size_t n) = 0;
};

class StoredPayload : public PayloadSource {
 public:
  explicit StoredPayload(std::span<const uint8_t> data) : data_(data) {}
  const uint8_t* Take(size_t n) override {
    if (data_.size() - cursor_ < n) return nullptr;
    const uint8_t* piece = data_.data() + cursor_;
    cursor_ += n;
    return piece;
  }

 private:
  std::span<const uint8_t> data_;
  size_t cursor_ = 0;
};

class InflatedPayload : public PayloadSource {
 public:
  explicit InflatedPayload(InflateReader& reader) : reader_(reader) {}
  const uint8_t* Take(size_t n) override { return reader_.Take(n); }

 private:
  InflateReader& reader_;
};

// Copies the rows of data (row length each, stored order) into the plane, either top row
// first or in the scrambled order of the identification code.
void CopyRows(std::span<const uint8_t> data, TDIBSurface& plane, bool scrambled, int32_t code) {
  const size_t row_length = plane.RowLength();
  const int height = plane.Height();
  if (static_cast<int64_t>(data.size()) < RawPlaneSize(plane)) Corrupt();
  if (row_length == 0) return;  // a plane 0 pixels wide has rows of no bytes, and no memory
  if (!scrambled) {
    for (int y = 0; y < height; ++y) {
      std::memcpy(plane.ScanLine(y), data.data() + static_cast<size_t>(y) * row_length, row_length);
    }
    return;
  }
  TKwRandom random(static_cast<uint32_t>(code));
  random.InitPool(static_cast<uint32_t>(height));
  for (int k = 0; k < height; ++k) {
    const uint32_t row = random.NextFromPool();
    std::memcpy(plane.ScanLine(static_cast<int>(row)),
                data.data() + static_cast<size_t>(k) * row_length, row_length);
  }
}

void DecodeOldRowMode(const TMuraPlaneContext& context, std::vector<uint8_t> payload,
                      TDIBSurface& plane) {
  const int64_t raw_size = RawPlaneSize(plane);
  if (static_cast<int64_t>(payload.size()) != raw_size) {
    CopyRows(Inflate(payload, raw_size, context.Scratch), plane, /*scrambled=*/false, 0);
    return;
  }
  if (context.IdentificationCode == 0 && context.Header.Randomized) {
    throw KoruError("識別コードを設定してください");
  }
  CopyRows(payload, plane, /*scrambled=*/true, context.IdentificationCode);
}

// The plane a block reference of Source >= 0 copies from; refused unless it has this
// plane's geometry, so that rectangles at the same place lie inside it.
const TDIBSurface& ReferencedPlane(const TMuraPlaneContext& context, const TMuraBlockRef& ref,
                                   const TDIBSurface& plane) {
  const TMuraFrame& frame = context.List.GetFrame(ref.Source);
  if (ref.Index < 0 || ref.Index >= frame.LayerCount()) Corrupt();
  const TDIBSurface& colour = frame.GetLayer(ref.Index).Surface;
  const TDIBSurface* source = context.AlphaPlane ? colour.Alpha() : &colour;
  if (source == nullptr || source->Width() != plane.Width() || source->Height() != plane.Height() ||
      source->BitCount() != plane.BitCount() || source->RowLength() != plane.RowLength()) {
    Corrupt();
  }
  return *source;
}

void ZeroPixels(TDIBSurface& plane) {
  if (plane.ImageSize() > 0) std::memset(plane.Bits(), 0, plane.ImageSize());
}

// True when a block copies from a block not decoded yet: a later (or the same) block of
// the plane, or the plane itself named by frame and layer. Such a copy reads what the
// plane held before decoding, which must then be zeros.
bool ReadsUndecoded(const TMuraPlaneContext& context, const std::vector<TMuraBlockRef>& refs,
                    const TDIBSurface& plane) {
  for (size_t k = 0; k < refs.size(); ++k) {
    const TMuraBlockRef& ref = refs[k];
    if (ref.Source == kMuraBlockSamePlane && ref.Index >= 0 &&
        static_cast<size_t>(ref.Index) >= k) {
      return true;
    }
    if (ref.Source >= 0 && ref.Source < context.List.Count()) {
      const TMuraFrame& frame = context.List.GetFrame(ref.Source);
      if (ref.Index < 0 || ref.Index >= frame.LayerCount()) continue;
      const TDIBSurface& colour = frame.GetLayer(ref.Index).Surface;
      if ((context.AlphaPlane ? colour.Alpha() : &colour) == &plane) return true;
    }
  }
  return false;
}

void DecodeBlocksInto(const TMuraPlaneContext& context, PayloadSource& data, TDIBSurface& plane,
                      int64_t* fail_y, int64_t* fail_h, int64_t* fail_offset) {
  const TMuraHeader& header = context.Header;
  const int64_t width = plane.Width(), height = plane.Height();
  const int bits = plane.BitCount();
  const int64_t block_w = header.BlockWidth, block_h = header.BlockHeight;
  const int64_t bx = CeilDiv(width, block_w), by = CeilDiv(height, block_h);
  const int64_t n = bx * by;
  // The references are read before anything is allocated for them, so a plane of more
  // blocks than the payload holds references for is refused without a large allocation.
  std::vector<uint8_t> stored_refs;
  for (int64_t k = 0; k < n; ++k) {
    const uint8_t* ref = data.Take(8);
    if (ref == nullptr) Corrupt();
    stored_refs.insert(stored_refs.end(), ref, ref + 8);
  }
  std::vector<TMuraBlockRef> refs(static_cast<size_t>(n));
  TKwRandom random(static_cast<uint32_t>(context.IdentificationCode));
  if (header.Randomized) random.InitPool(static_cast<uint32_t>(n));
  for (int64_t k = 0; k < n; ++k) {
    const size_t slot = header.Randomized ? random.NextFromPool() : static_cast<size_t>(k);
    refs[slot] = {LoadInt32(&stored_refs[static_cast<size_t>(k * 8)]),
                  LoadInt32(&stored_refs[static_cast<size_t>(k * 8 + 4)])};
  }

  if (ReadsUndecoded(context, refs, plane)) ZeroPixels(plane);

  const int64_t stride = static_cast<int64_t>(plane.RowLength());
  const int64_t block_step = SegmentBytes(block_w, bits);
  for (int64_t row_block = 0; row_block < by; ++row_block) {
    const int64_t y = row_block * block_h;
    const int64_t bh = std::min(block_h, height - y);
    for (int64_t column = 0; column < bx; ++column) {
      const int64_t x = column * block_w;
      const int64_t bw = std::min(block_w, width - x);
      const int64_t length = SegmentBytes(bw, bits);
      const int64_t dest_offset = column * block_step;
      *fail_y = y, *fail_h = bh, *fail_offset = dest_offset;
      if (dest_offset + length > stride) Corrupt();
      const TMuraBlockRef& ref = refs[static_cast<size_t>(row_block * bx + column)];

      if (ref.Source == kMuraBlockLiteral) {
        for (int64_t r = 0; r < bh; ++r) {
          const uint8_t* row = data.Take(static_cast<size_t>(length));
          if (row == nullptr) Corrupt();
          std::memcpy(plane.ScanLine(static_cast<int>(y + r)) + dest_offset, row,
                      static_cast<size_t>(length));
        }
        continue;
      }
      const TDIBSurface* source = &plane;
      int64_t src_x = x, src_y = y;
      if (ref.Source == kMuraBlockSamePlane) {
        if (ref.Index < 0 || ref.Index >= n) Corrupt();
        src_x = (ref.Index % bx) * block_w;
        src_y = (ref.Index / bx) * block_h;
      } else if (ref.Source >= 0) {
        source = &ReferencedPlane(context, ref, plane);
      } else {
        Corrupt();
      }
      const int64_t src_offset = (src_x * bits) / 8;
      if (src_offset + length > stride || src_y + bh > height) Corrupt();
      for (int64_t r = 0; r < bh; ++r) {
        std::memmove(plane.ScanLine(static_cast<int>(y + r)) + dest_offset,
                     source->ScanLine(static_cast<int>(src_y + r)) + src_offset,
                     static_cast<size_t>(length));
      }
    }
  }
}

// The plane may come with unspecified pixels: every block is written, and on failure the
// blocks not written yet are zeroed.
void DecodeBlocks(const TMuraPlaneContext& context, PayloadSource& data, TDIBSurface& plane) {
  const int64_t height = plane.Height();
  const int64_t stride = static_cast<int64_t>(plane.RowLength());
  // The block being decoded: rows fail_y .. fail_y + fail_h from byte fail_offset on, and
  // every row below, are not written yet.
  int64_t fail_y = 0, fail_h = 0, fail_offset = 0;
  try {
    DecodeBlocksInto(context, data, plane, &fail_y, &fail_h, &fail_offset);
  } catch (...) {
    for (int64_t y = fail_y; y < height; ++y) {
      const int64_t from = y < fail_y + fail_h ? std::min(fail_offset, stride) : 0;
      std::memset(plane.ScanLine(static_cast<int>(y)) + from, 0,
                  static_cast<size_t>(stride - from));
    }
    throw;
  }
}

void DecodeJpeg(const std::vector<uint8_t>& payload, TDIBSurface& plane) {
  // The decoded picture must be the plane's: anything else would be drawn with another
  // geometry. Its colours are converted to the plane's bit count.
  TDIB decoded;
  decoded.ColorTable() = plane.ColorTable();
  DecodeJpegTo24Bits(payload.data(), payload.size(), plane.Width(), plane.Height(), &decoded);
  decoded.ChangeBitCount(plane.PixelBitCount());
  static_cast<TDIB&>(plane) = std::move(decoded);  // the alpha plane, if any, stays
}

}  // namespace

int64_t MuraPlaneMaxPayload(const TMuraHeader& header, const TDIBSurface& plane) {
  if (header.Version < 103 || !BlockMode(header)) return RawPlaneSize(plane);
  const int64_t width = plane.Width(), height = plane.Height();
  const int bits = plane.BitCount();
  const int64_t bx = CeilDiv(width, header.BlockWidth);
  const int64_t by = CeilDiv(height, header.BlockHeight);
  // Every block literal: each block column supplies its segment on every row.
  int64_t literal = 0;
  for (int64_t column = 0; column < bx; ++column) {
    const int64_t bw = std::min<int64_t>(header.BlockWidth, width - column * header.BlockWidth);
    literal += SegmentBytes(bw, bits) * height;
  }
  return bx * by * 8 + literal;
}

namespace {

void DecodePlane(const TMuraPlaneContext& context, std::vector<uint8_t> payload, TDIBSurface& plane,
                 bool* in_blocks) {
  const TMuraHeader& header = context.Header;
  if (header.Version < 103) {
    DecodeOldRowMode(context, std::move(payload), plane);
    return;
  }
  if (header.CompType == kMuraCompJpeg && !context.AlphaPlane) {
    DecodeJpeg(payload, plane);
    return;
  }
  const bool compressed = header.CompType == kMuraCompZlib || header.CompType == kMuraCompJpeg;
  if (BlockMode(header)) {
    *in_blocks = true;
    if (!compressed) {
      StoredPayload stored(payload);
      DecodeBlocks(context, stored, plane);
      return;
    }
    // Literal blocks go from the inflater straight into the plane: no buffer of the whole
    // payload. What follows the last block is still inflated, to check the data and bound.
    InflateReader reader(payload.data(), payload.size(),
                         static_cast<size_t>(MuraPlaneMaxPayload(header, plane)));
    InflatedPayload inflated(reader);
    DecodeBlocks(context, inflated, plane);
    reader.Finish();
    return;
  }
  std::span<const uint8_t> data(payload);
  if (compressed) data = Inflate(payload, MuraPlaneMaxPayload(header, plane), context.Scratch);
  const bool scrambled = header.Randomized && header.CompType != kMuraCompJpeg;
  CopyRows(data, plane, scrambled, context.IdentificationCode);
}

}  // namespace

void DecodeMuraPlane(const TMuraPlaneContext& context, std::vector<uint8_t> payload,
                     TDIBSurface& plane) {
  // The plane may come with unspecified pixels. Every way but block decoding fails before
  // writing a pixel; block decoding zeroes on failure what it did not write.
  bool in_blocks = false;
  try {
    DecodePlane(context, std::move(payload), plane, &in_blocks);
  } catch (...) {
    if (!in_blocks) ZeroPixels(plane);
    throw;
  }
}

}  // namespace koru
