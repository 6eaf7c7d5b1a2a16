#include "imaging/dib_surface.h"

#include <algorithm>
#include <cstring>

namespace koru {
namespace {

constexpr uint8_t kDitherMatrix[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

inline bool Skips(uint32_t pixel, int32_t trans_color) {
  return trans_color >= 0 && pixel == static_cast<uint32_t>(trans_color);
}

inline uint32_t Blend16(uint32_t d, uint32_t s, uint32_t a, const TDIBPixelFormat& f) {
  uint32_t result = 0;
  for (uint32_t m : {f.RBitMask, f.GBitMask, f.BBitMask}) {
    result |= (((255 - a) * (d & m) + a * (s & m)) / 255) & m;
  }
  return result;
}

inline uint32_t AlphaBlend16(uint32_t d, uint32_t s, uint32_t a, const TDIBPixelFormat& f) {
  uint32_t result = 0;
  for (uint32_t m : {f.RBitMask, f.GBitMask, f.BBitMask}) {
    result |= (((255 - a) * (d & m) + a * (s & m)) >> 8) & m;
  }
  return result;
}

// Red and blue blended together, green apart; the top byte becomes 0.
inline uint32_t Blend32(uint32_t d, uint32_t s, uint32_t a) {
  return ((((255 - a) * (d & 0xFF00FF) + a * (s & 0xFF00FF)) >> 8) & 0xFF00FF) |
         ((((255 - a) * (d & 0xFF00) + a * (s & 0xFF00)) >> 8) & 0xFF00);
}

uint32_t PixelMask(int pixel_bit_count) {
  switch (pixel_bit_count) {
    case 1:
      return 0x1;
    case 4:
      return 0xF;
    case 8:
      return 0xFF;
    case 15:
      return 0x7FFF;
    case 16:
      return 0xFFFF;
    case 24:
      return 0xFFFFFF;
    default:
      return 0xFFFFFFFF;
  }
}

void BuildFixedPalette(std::array<TRGBQuad, 256>& table, int bit_count) {
  table.fill(TRGBQuad{});
  auto set = [&](int i, int r, int g, int b) {
    table[static_cast<size_t>(i)] = {static_cast<uint8_t>(b), static_cast<uint8_t>(g),
                                     static_cast<uint8_t>(r), 0};
  };
  if (bit_count == 1) {
    set(1, 255, 255, 255);
  } else if (bit_count == 4) {
    static constexpr uint8_t kStandard[16][3] = {
        {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 16; ++i) set(i, kStandard[i][0], kStandard[i][1], kStandard[i][2]);
  } else {
    int i = 0;
    for (int r = 0; r < 6; ++r) {
      for (int g = 0; g < 6; ++g) {
        for (int b = 0; b < 6; ++b) set(i++, r * 51, g * 51, b * 51);
      }
    }
    for (int k = 0; k < 40; ++k) {
      const int level = (k + 1) * 255 / 41;
      set(i++, level, level, level);
    }
  }
}

}  // namespace

TDIBSurface::TDIBSurface() = default;
TDIBSurface::~TDIBSurface() = default;

namespace {

// The masks a surface takes for a bit count (15: 16 bits 5-5-5).
TDIBPixelFormat SurfaceFormat(int bit_count) {
  if (bit_count == 15) return kPixelFormat555;
  if (bit_count == 16) return kPixelFormat565;
  return kPixelFormat888;
}

}  // namespace

void TDIBSurface::SetSize(int width, int height, int bit_count) {
  SetPixelFormat(SurfaceFormat(bit_count));
  TDIB::SetSize(width, height, bit_count == 15 ? 16 : bit_count);
  if (alpha_ != nullptr) alpha_->SetSize(width, height, 8);
}

void TDIBSurface::SetSizeForOverwrite(int width, int height, int bit_count) {
  SetPixelFormat(SurfaceFormat(bit_count));
  TDIB::SetSizeForOverwrite(width, height, bit_count == 15 ? 16 : bit_count);
  if (alpha_ != nullptr) alpha_->SetSize(width, height, 8);
}

void TDIBSurface::Clear() {
  TDIB::Clear();
  FreeAlpha();
}

int TDIBSurface::PixelBitCount() const {
  return (BitCount() == 16 && PixelFormat().GBitMask == 0x3E0) ? 15 : BitCount();
}

uint32_t TDIBSurface::ColorToPixel(int r, int g, int b) const {
  return RgbToPixel(static_cast<uint8_t>(r & 0xFF), static_cast<uint8_t>(g & 0xFF),
                    static_cast<uint8_t>(b & 0xFF));
}

bool TDIBSurface::Compatible(const TDIBSurface& source) const {
  return source.BitCount() == BitCount() &&
         (BitCount() <= 8 || source.PixelFormat() == PixelFormat());
}

bool TDIBSurface::ClipDraw(int& x, int& y, TRect& src, const TDIBSurface& source) const {
  // 64-bit arithmetic: callers may pass any 32-bit values.
  int64_t sl = src.left, st = src.top, sr = src.right, sb = src.bottom;
  int64_t dx = x, dy = y;
  if (sl < 0) dx -= sl, sl = 0;
  if (st < 0) dy -= st, st = 0;
  sr = std::min<int64_t>(sr, source.Width());
  sb = std::min<int64_t>(sb, source.Height());

  TRect clip = BoundsRect();
  if (!ClipRect.IsEmpty()) {
    clip.left = std::max(clip.left, ClipRect.left);
    clip.top = std::max(clip.top, ClipRect.top);
    clip.right = std::min(clip.right, ClipRect.right);
    clip.bottom = std::min(clip.bottom, ClipRect.bottom);
  }
  if (dx < clip.left) sl += clip.left - dx, dx = clip.left;
  if (dy < clip.top) st += clip.top - dy, dy = clip.top;
  if (dx + (sr - sl) > clip.right) sr = sl + (clip.right - dx);
  if (dy + (sb - st) > clip.bottom) sb = st + (clip.bottom - dy);
  if (sr <= sl || sb <= st) return false;
  x = static_cast<int>(dx);
  y = static_cast<int>(dy);
  src = {static_cast<int32_t>(sl), static_cast<int32_t>(st), static_cast<int32_t>(sr),
         static_cast<int32_t>(sb)};
  return true;
}

void TDIBSurface::FillRect(const TRect& rect, uint32_t value) {
  const int left = std::max(rect.left, 0), top = std::max(rect.top, 0);
  const int right = std::min(rect.right, Width()), bottom = std::min(rect.bottom, Height());
  if (right <= left || bottom <= top) return;
  value &= PixelMask(PixelBitCount());
  const int bits = BitCount();
  for (int y = top; y < bottom; ++y) {
    uint8_t* row = ScanLine(y);
    switch (bits) {
      case 8:
        std::memset(row + left, static_cast<int>(value), static_cast<size_t>(right - left));
        break;
      case 1:
      case 4: {
        // Partial bytes at both ends pixel by pixel, whole bytes between.
        const int per_byte = 8 / bits;
        int x = left;
        for (; x < right && x % per_byte != 0; ++x) WriteRowPixel(row, x, bits, value);
        const int whole_end = right - right % per_byte;
        if (x < whole_end) {
          const uint8_t byte =
              bits == 1 ? (value ? 0xFF : 0x00) : static_cast<uint8_t>(value | (value << 4));
          std::memset(row + x / per_byte, byte, static_cast<size_t>((whole_end - x) / per_byte));
          x = whole_end;
        }
        for (; x < right; ++x) WriteRowPixel(row, x, bits, value);
        break;
      }
      default:
        for (int x = left; x < right; ++x) WriteRowPixel(row, x, bits, value);
        break;
    }
  }
}

void TDIBSurface::CopyRect(int x, int y, const TRect& src_rect, const TDIBSurface& source) {
  if (!Compatible(source)) return;
  TRect src = src_rect;
  if (!ClipDraw(x, y, src, source)) return;
  const int bits = BitCount();
  const int w = src.right - src.left;
  for (int row = 0; row < src.bottom - src.top; ++row) {
    const uint8_t* s = source.ScanLine(src.top + row);
    uint8_t* d = ScanLine(y + row);
    if (bits >= 8) {
      const size_t bpp = static_cast<size_t>(bits / 8);
      std::memmove(d + static_cast<size_t>(x) * bpp, s + static_cast<size_t>(src.left) * bpp,
                   static_cast<size_t>(w) * bpp);
    } else {
      // Source and destination bit positions can differ.
      for (int i = 0; i < w; ++i)
        WriteRowPixel(d, x + i, bits, ReadRowPixel(s, src.left + i, bits));
    }
  }
}

void TDIBSurface::CopyImage(int x, int y, const TDIBSurface& source) {
  CopyRect(x, y, source.BoundsRect(), source);
}

void TDIBSurface::DrawTransparent(int x, int y, int32_t trans_color, const TRect& src_rect,
                                  const TDIBSurface& source) {
  if (trans_color < 0) {
    CopyRect(x, y, src_rect, source);
    return;
  }
  if (!Compatible(source)) return;
  TRect src = src_rect;
  if (!ClipDraw(x, y, src, source)) return;
  const int bits = BitCount();
  for (int row = 0; row < src.bottom - src.top; ++row) {
    const uint8_t* s = source.ScanLine(src.top + row);
    uint8_t* d = ScanLine(y + row);
    for (int i = 0; i < src.right - src.left; ++i) {
      const uint32_t pixel = ReadRowPixel(s, src.left + i, bits);
      if (!Skips(pixel, trans_color)) WriteRowPixel(d, x + i, bits, pixel);
    }
  }
}

void TDIBSurface::DrawBlend(int x, int y, int opacity, int32_t trans_color, const TRect& src_rect,
                            const TDIBSurface& source) {
  if (opacity == 0) return;
  const int bits = BitCount();
  const int level = opacity / 16;
  if (opacity > 254 || opacity < 0 || (bits <= 8 && level > 14)) {
    DrawTransparent(x, y, trans_color, src_rect, source);
    return;
  }
  if (!Compatible(source)) return;
  TRect src = src_rect;
  if (!ClipDraw(x, y, src, source)) return;
  const uint32_t a = static_cast<uint32_t>(opacity);
  const TDIBPixelFormat& format = PixelFormat();
  const int w = src.right - src.left;
  // One loop per format, so that the per-pixel work has no format decisions in it.
  for (int row = 0; row < src.bottom - src.top; ++row) {
    const uint8_t* s = source.ScanLine(src.top + row);
    uint8_t* d = ScanLine(y + row);
    switch (bits) {
      case 1:
      case 4:
      case 8: {
        const uint8_t* matrix_row = kDitherMatrix[(y + row) % 4];
        for (int i = 0; i < w; ++i) {
          const uint32_t sp = ReadRowPixel(s, src.left + i, bits);
          if (!Skips(sp, trans_color) && matrix_row[(x + i) % 4] <= level) {
            WriteRowPixel(d, x + i, bits, sp);
          }
        }
        break;
      }
      case 16:
        for (int i = 0; i < w; ++i) {
          const uint32_t sp = ReadRowPixel(s, src.left + i, 16);
          if (Skips(sp, trans_color)) continue;
          WriteRowPixel(d, x + i, 16, Blend16(ReadRowPixel(d, x + i, 16), sp, a, format));
        }
        break;
      case 24: {
        uint8_t* dp = d + static_cast<size_t>(x) * 3;
        const uint8_t* sp = s + static_cast<size_t>(src.left) * 3;
        for (int i = 0; i < w; ++i, dp += 3, sp += 3) {
          if (trans_color >= 0 && (sp[0] | (sp[1] << 8) | (static_cast<uint32_t>(sp[2]) << 16)) ==
                                      static_cast<uint32_t>(trans_color)) {
            continue;
          }
          for (int c = 0; c < 3; ++c) {
            dp[c] = static_cast<uint8_t>(((255 - a) * dp[c] + a * sp[c]) / 255);
          }
        }
        break;
      }
      default:
        for (int i = 0; i < w; ++i) {
          const uint32_t sp = ReadRowPixel(s, src.left + i, 32);
          if (Skips(sp, trans_color)) continue;
          WriteRowPixel(d, x + i, 32, Blend32(ReadRowPixel(d, x + i, 32), sp, a));
        }
        break;
    }
  }
}

namespace {

// Blend of one 24-bit row through its alpha bytes.
void AlphaBlendRow24(uint8_t* dp, const uint8_t* sp, const uint8_t* as, int w, int opacity) {
  if (opacity >= 255) {
    for (int i = 0; i < w; ++i, dp += 3, sp += 3) {
      const uint32_t a = as[i];
      if (a == 0) continue;
      if (a == 255) {
        std::memcpy(dp, sp, 3);
        continue;
      }
      for (int c = 0; c < 3; ++c)
        dp[c] = static_cast<uint8_t>((a * sp[c] + (255 - a) * dp[c]) >> 8);
    }
    return;
  }
  const uint32_t o = static_cast<uint32_t>(std::max(opacity, 0));
  for (int i = 0; i < w; ++i, dp += 3, sp += 3) {
    const uint32_t e = (as[i] * o) >> 8;
    if (e == 0) continue;
    for (int c = 0; c < 3; ++c) dp[c] = static_cast<uint8_t>((e * sp[c] + (255 - e) * dp[c]) >> 8);
  }
}

}  // namespace

void TDIBSurface::DrawAlphaBlend(int x, int y, int opacity, const TRect& src_rect,
                                 const TDIBSurface& source) {
  const TDIBSurface* alpha = source.Alpha();
  if (alpha == nullptr || alpha->Width() != source.Width() || alpha->Height() != source.Height() ||
      alpha->BitCount() != 8) {
    DrawBlend(x, y, opacity, -1, src_rect, source);
    return;
  }
  if (!Compatible(source)) return;
  TRect src = src_rect;
  if (!ClipDraw(x, y, src, source)) return;
  const int bits = BitCount();
  const TDIBPixelFormat& format = PixelFormat();
  const int w = src.right - src.left;
  for (int row = 0; row < src.bottom - src.top; ++row) {
    const uint8_t* s = source.ScanLine(src.top + row);
    const uint8_t* as = alpha->ScanLine(src.top + row) + src.left;
    uint8_t* d = ScanLine(y + row);
    switch (bits) {
      case 1:
      case 4:
      case 8:
        for (int i = 0; i < w; ++i) {
          if (as[i] >= 128) WriteRowPixel(d, x + i, bits, ReadRowPixel(s, src.left + i, bits));
        }
        break;
      case 16:
        for (int i = 0; i < w; ++i) {
          const uint32_t a = as[i];
          if (a == 0) continue;
          const uint32_t sp = ReadRowPixel(s, src.left + i, 16);
          WriteRowPixel(d, x + i, 16,
                        a == 255 ? sp : AlphaBlend16(ReadRowPixel(d, x + i, 16), sp, a, format));
        }
        break;
      case 24:
        AlphaBlendRow24(d + static_cast<size_t>(x) * 3, s + static_cast<size_t>(src.left) * 3, as,
                        w, opacity);
        break;
      default:
        for (int i = 0; i < w; ++i) {
          const uint32_t a = as[i];
          if (a == 0) continue;
          const uint32_t sp = ReadRowPixel(s, src.left + i, 32);
          WriteRowPixel(d, x + i, 32, a == 255 ? sp : Blend32(ReadRowPixel(d, x + i, 32), sp, a));
        }
        break;
    }
  }
}

void TDIBSurface::CreateAlpha() {
  if (alpha_ == nullptr) alpha_ = std::make_unique<TDIBSurface>();
  if (alpha_->Width() != Width() || alpha_->Height() != Height() || alpha_->BitCount() != 8) {
    alpha_->SetSize(Width(), Height(), 8);
  }
}

void TDIBSurface::FreeAlpha() { alpha_.reset(); }

void TDIBSurface::FillAlpha() {
  if (alpha_ != nullptr && alpha_->ImageSize() > 0) {
    std::memset(alpha_->Bits(), 255, alpha_->ImageSize());
  }
}

void TDIBSurface::CopyAlpha(const TDIBSurface& plane) {
  CreateAlpha();
  if (plane.BitCount() != 8) return;
  const int rows = std::min(plane.Height(), alpha_->Height());
  const size_t bytes = static_cast<size_t>(std::min(plane.Width(), alpha_->Width()));
  if (bytes == 0) return;
  for (int y = 0; y < rows; ++y) std::memcpy(alpha_->ScanLine(y), plane.ScanLine(y), bytes);
}

void TDIBSurface::ReduceColors(int method, int bit_count, bool dither, int colors) {
  const int target_bits = bit_count == 15 ? 16 : bit_count;
  if (target_bits <= 8 && !(BitCount() <= 8 && BitCount() <= target_bits)) {
    // A fresh palette for the target; the conversion maps every colour to it.
    TDIBSurface converted;
    converted.SetSize(Width(), Height(), bit_count);
    BuildFixedPalette(converted.ColorTable(), target_bits);
    ConvertDIBPixels(*this, converted);
    static_cast<TDIB&>(*this) = std::move(static_cast<TDIB&>(converted));
    UpdatePalette();
    return;
  }
  ChangeBitCount(bit_count);
  UpdatePalette();
}

}  // namespace koru
