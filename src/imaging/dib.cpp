#include "imaging/dib.h"

#include <bit>
#include <cstring>

#include "base/error.h"

namespace koru {
namespace {

// Value of a mask's field scaled to 0..255, rounded.
uint32_t FieldTo8Bits(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  const uint32_t value = (pixel & mask) >> shift;
  return (value * 255 + max / 2) / max;
}

uint32_t FieldFrom8Bits(uint32_t component, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  return ((component * max + 127) / 255) << shift;
}

}  // namespace

bool IsValidDIBBitCount(int bit_count) {
  switch (bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

bool IsValidDIBSize(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxDIBDimension || height > kMaxDIBDimension) {
    return false;
  }
  return int64_t{width} * height <= kMaxDIBPixels;
}

size_t DIBRowLength(int width, int bit_count) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bit_count) + 31) / 32) * 4;
}

TDIB::TDIB() = default;
TDIB::~TDIB() = default;

void TDIB::SetSize(int width, int height, int bit_count) {
  Allocate(width, height, bit_count, /*zero=*/true);
}

void TDIB::SetSizeForOverwrite(int width, int height, int bit_count) {
  Allocate(width, height, bit_count, /*zero=*/false);
}

void TDIB::Allocate(int width, int height, int bit_count, bool zero) {
  const bool five_five_five = bit_count == 15;
  if (five_five_five) bit_count = 16;
  if (!IsValidDIBBitCount(bit_count) || !IsValidDIBSize(width, height)) {
    throw KoruError(kDIBSizeError);
  }
  if (five_five_five) format_ = kPixelFormat555;
  const size_t row_length = DIBRowLength(width, bit_count);
  decltype(bits_) bits;
  if (zero) {
    bits.assign(row_length * static_cast<size_t>(height), 0);
  } else {
    bits.resize(row_length * static_cast<size_t>(height));
    // Bytes no pixel write reaches, so that they never show uninitialised memory.
    const size_t whole = static_cast<size_t>(width) * static_cast<size_t>(bit_count) / 8;
    if (whole < row_length) {
      for (int y = 0; y < height; ++y) {
        std::memset(bits.data() + static_cast<size_t>(y) * row_length + whole, 0,
                    row_length - whole);
      }
    }
  }
  bits_ = std::move(bits);
  width_ = width;
  height_ = height;
  bit_count_ = bit_count;
  row_length_ = row_length;
}

void TDIB::Clear() {
  bits_.clear();
  bits_.shrink_to_fit();
  width_ = 0;
  height_ = 0;
  row_length_ = 0;
}

int TDIB::SizingBitCount() const {
  if (width_ == 0 && height_ == 0) return 8;
  // 15 keeps a 5-5-5 picture 5-5-5 through a surface's SetSize, which sets masks by it.
  return (bit_count_ == 16 && format_ == kPixelFormat555) ? 15 : bit_count_;
}

void TDIB::SetWidth(int width) { SetSize(width, height_, SizingBitCount()); }
void TDIB::SetHeight(int height) { SetSize(width_, height, SizingBitCount()); }

uint32_t TDIB::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return ReadRowPixel(ScanLine(y), x, bit_count_);
}

void TDIB::SetPixel(int x, int y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  WriteRowPixel(ScanLine(y), x, bit_count_, value);
}

uint32_t TDIB::PixelToColor(uint32_t pixel) const {
  switch (bit_count_) {
    case 1:
    case 4:
    case 8: {
      const TRGBQuad& entry = color_table_[pixel & 0xFF];
      return MakeWindowsColor(entry.Red, entry.Green, entry.Blue);
    }
    case 16:
      return MakeWindowsColor(FieldTo8Bits(pixel, format_.RBitMask),
                              FieldTo8Bits(pixel, format_.GBitMask),
                              FieldTo8Bits(pixel, format_.BBitMask));
    default:
      return MakeWindowsColor(pixel >> 16, pixel >> 8, pixel);
  }
}

int TDIB::NearestPaletteIndex(uint8_t r, uint8_t g, uint8_t b, int count) const {
  int best = 0;
  int best_distance = INT32_MAX;
  for (int i = 0; i < count && i < 256; ++i) {
    const TRGBQuad& e = color_table_[static_cast<size_t>(i)];
    const int dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

uint32_t TDIB::RgbToPixel(uint8_t r, uint8_t g, uint8_t b) const {
  switch (bit_count_) {
    case 1:
    case 4:
    case 8:
      return static_cast<uint32_t>(NearestPaletteIndex(r, g, b, 1 << bit_count_));
    case 16:
      return FieldFrom8Bits(r, format_.RBitMask) | FieldFrom8Bits(g, format_.GBitMask) |
             FieldFrom8Bits(b, format_.BBitMask);
    default:
      return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
  }
}

void TDIB::ChangeBitCount(int bit_count) {
  TDIBPixelFormat format = kPixelFormat888;
  if (bit_count == 15) {
    format = kPixelFormat555;
    bit_count = 16;
  } else if (bit_count == 16) {
    format = kPixelFormat565;
  }
  if (!IsValidDIBBitCount(bit_count)) throw KoruError(kDIBSizeError);
  if (bit_count == bit_count_ && (bit_count <= 8 || format == format_)) return;

  TDIB converted;
  converted.color_table_ = color_table_;
  converted.SetPixelFormat(format);
  converted.SetSize(width_, height_, bit_count);
  ConvertDIBPixels(*this, converted);
  bits_ = std::move(converted.bits_);
  bit_count_ = bit_count;
  row_length_ = converted.row_length_;
  format_ = format;
}

void ConvertDIBPixels(const TDIB& from, TDIB& to) {
  const bool palette = to.BitCount() <= 8;
  // Direct-mapped: colours are 24-bit, so the all-ones key never matches.
  constexpr size_t kCacheSlots = 4096;
  std::vector<uint32_t> keys(palette ? kCacheSlots : 0, 0xFFFFFFFF);
  std::vector<uint32_t> values(palette ? kCacheSlots : 0);
  for (int y = 0; y < from.Height(); ++y) {
    for (int x = 0; x < from.Width(); ++x) {
      const uint32_t color = from.PixelToColor(from.GetPixel(x, y));
      const auto r = static_cast<uint8_t>(color), g = static_cast<uint8_t>(color >> 8),
                 b = static_cast<uint8_t>(color >> 16);
      if (!palette) {
        to.SetPixel(x, y, to.RgbToPixel(r, g, b));
        continue;
      }
      const size_t slot = ((color * 2654435761u) >> 20) & (kCacheSlots - 1);
      if (keys[slot] != color) {
        keys[slot] = color;
        values[slot] = to.RgbToPixel(r, g, b);
      }
      to.SetPixel(x, y, values[slot]);
    }
  }
}

void TDIB::Assign(const TDIB& other) {
  if (&other == this) return;
  width_ = other.width_;
  height_ = other.height_;
  bit_count_ = other.bit_count_;
  row_length_ = other.row_length_;
  format_ = other.format_;
  bits_ = other.bits_;
  color_table_ = other.color_table_;
  UpdatePalette();
}

}  // namespace koru
