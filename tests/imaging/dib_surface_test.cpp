#include "imaging/dib_surface.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

// A surface of one colour at every pixel.
void Fill(TDIBSurface& s, uint32_t value) { s.FillRect(s.BoundsRect(), value); }

TDIBSurface Make(int w, int h, int bits, uint32_t value) {
  TDIBSurface s;
  s.SetSize(w, h, bits);
  Fill(s, value);
  return s;
}

void SetGreyPalette(TDIB& dib) {
  for (int i = 0; i < 256; ++i) {
    dib.ColorTable()[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                                static_cast<uint8_t>(i), 0};
  }
}

TEST(TDIBSurfaceTest, SizesFormatsAndRowLength) {
  TDIBSurface s;
  s.SetSize(3, 2, 15);
  EXPECT_EQ(s.BitCount(), 16);
  EXPECT_EQ(s.PixelBitCount(), 15);
  EXPECT_EQ(s.RowLength(), 8u);
  s.SetSize(3, 2, 16);
  EXPECT_EQ(s.PixelBitCount(), 16);
  EXPECT_EQ(s.PixelFormat(), kPixelFormat565);
  s.SetSize(5, 2, 24);
  EXPECT_EQ(s.RowLength(), 16u);
  s.SetSize(33, 1, 1);
  EXPECT_EQ(s.RowLength(), 8u);
  s.SetSize(9, 1, 4);
  EXPECT_EQ(s.RowLength(), 8u);

  s.SetSize(2, 2, 15);
  s.SetWidth(5);
  EXPECT_EQ(s.PixelBitCount(), 15);
  EXPECT_EQ(s.Width(), 5);
  s.Clear();
  s.SetHeight(3);
  EXPECT_EQ(s.BitCount(), 8);

  s.CreateAlpha();
  s.SetSize(7, 6, 32);
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ(s.Alpha()->Width(), 7);
  EXPECT_EQ(s.Alpha()->Height(), 6);
  EXPECT_EQ(s.Alpha()->BitCount(), 8);
  s.Clear();
  EXPECT_EQ(s.Alpha(), nullptr);
  EXPECT_EQ(s.Width(), 0);
}

TEST(TDIBSurfaceTest, ImpossibleSizesAreRefused) {
  TDIBSurface s;
  s.SetSize(2, 2, 8);
  EXPECT_THROW(s.SetSize(-1, 2, 8), KoruError);
  EXPECT_THROW(s.SetSize(2, 2, 12), KoruError);
  EXPECT_THROW(s.SetSize(kMaxDIBDimension + 1, 1, 8), KoruError);
  EXPECT_THROW(s.SetSize(kMaxDIBDimension, kMaxDIBDimension, 8), KoruError);
  EXPECT_EQ(s.Width(), 2);  // unchanged after a refusal
  s.SetSize(0, 0, 24);
  EXPECT_TRUE(s.Empty());
}

TEST(TDIBSurfaceTest, PixelsAtEveryBitCountIgnoreOutsideCoordinates) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    TDIBSurface s;
    s.SetSize(9, 3, bits);
    const uint32_t value = bits == 1    ? 1
                           : bits == 4  ? 0xA
                           : bits == 8  ? 0xC3
                           : bits <= 16 ? 0x1234
                           : bits == 24 ? 0x123456
                                        : 0x89ABCDEF;
    s.SetPixel(8, 2, value);
    s.SetPixel(-1, 0, value);
    s.SetPixel(9, 0, value);
    s.SetPixel(0, 3, value);
    EXPECT_EQ(s.GetPixel(8, 2), value) << bits;
    EXPECT_EQ(s.GetPixel(7, 2), 0u) << bits;
    EXPECT_EQ(s.GetPixel(9, 2), 0u) << bits;
    size_t nonzero = 0;
    for (size_t i = 0; i < s.ImageSize(); ++i) nonzero += s.Bits()[i] != 0;
    EXPECT_GE(nonzero, 1u);
    EXPECT_LE(nonzero, 4u) << bits;  // only the one pixel was written
  }
  TDIBSurface s;
  s.SetSize(2, 1, 24);
  s.SetPixel(0, 0, 0x112233);
  EXPECT_EQ(s.ScanLine(0)[0], 0x33);  // blue first
  EXPECT_EQ(s.ScanLine(0)[2], 0x11);
  s.SetSize(2, 1, 4);
  s.SetPixel(0, 0, 0xF);
  EXPECT_EQ(s.ScanLine(0)[0], 0xF0);  // even pixel in the high nibble
  s.SetSize(9, 1, 1);
  s.SetPixel(0, 0, 1);
  EXPECT_EQ(s.ScanLine(0)[0], 0x80);
}

TEST(TDIBSurfaceTest, ColorToPixelAtEveryBitCount) {
  TDIBSurface s;
  s.SetSize(1, 1, 8);
  s.ColorTable()[0] = {0, 0, 0, 0};
  s.ColorTable()[1] = {0, 0, 255, 0};  // red
  s.ColorTable()[2] = {255, 0, 0, 0};  // blue
  s.ColorTable()[3] = {0, 0, 255, 0};  // red again: the first one wins
  for (int i = 4; i < 256; ++i) s.ColorTable()[static_cast<size_t>(i)] = {255, 255, 255, 0};
  EXPECT_EQ(s.ColorToPixel(250, 10, 0), 1u);
  EXPECT_EQ(s.ColorToPixel(0, 0, 200), 2u);
  s.SetSize(1, 1, 1);  // only the first 2 entries count
  EXPECT_EQ(s.ColorToPixel(0, 0, 255), 0u);

  s.SetSize(1, 1, 24);
  EXPECT_EQ(s.ColorToPixel(0x12, 0x34, 0x56), 0x123456u);
  EXPECT_EQ(s.ColorToPixel(0x112, 0x134, -1), 0x1234FFu);
  s.SetSize(1, 1, 32);
  EXPECT_EQ(s.ColorToPixel(255, 0, 1), 0xFF0001u);

  // 8-bit components are scaled to the fields, rounded.
  s.SetSize(1, 1, 15);
  EXPECT_EQ(s.ColorToPixel(255, 255, 255), 0x7FFFu);
  EXPECT_EQ(s.ColorToPixel(255, 0, 0), 0x7C00u);
  EXPECT_EQ(s.ColorToPixel(128, 0, 0), 16u << 10);  // 128 * 31 / 255 = 15.56
  EXPECT_EQ(s.ColorToPixel(4, 0, 0), 0u);
  EXPECT_EQ(s.PixelToColor(0x7C00), 0x0000FFu);
  s.SetSize(1, 1, 16);
  EXPECT_EQ(s.ColorToPixel(0, 255, 0), 0x07E0u);
  EXPECT_EQ(s.ColorToPixel(0, 0, 255), 0x001Fu);
  for (uint32_t p : {0u, 0x1234u, 0xFFFFu, 0x8001u}) {
    const uint32_t c = s.PixelToColor(p);
    EXPECT_EQ(s.ColorToPixel(c & 0xFF, (c >> 8) & 0xFF, c >> 16), p);
  }
}

TEST(TDIBSurfaceTest, FillRectClipsToSurfaceNotClipRectAndMasks) {
  TDIBSurface s = Make(10, 4, 8, 0);
  s.ClipRect = {0, 0, 1, 1};
  s.FillRect({-5, 2, 3, 99}, 0x1FF);
  EXPECT_EQ(s.GetPixel(0, 3), 0xFFu);
  EXPECT_EQ(s.GetPixel(2, 2), 0xFFu);
  EXPECT_EQ(s.GetPixel(3, 2), 0u);
  EXPECT_EQ(s.GetPixel(0, 1), 0u);

  for (int bits : {1, 4}) {
    TDIBSurface b = Make(21, 1, bits, 0);
    b.FillRect({3, 0, 19, 1}, 0xFF);
    for (int x = 0; x < 21; ++x) {
      EXPECT_EQ(b.GetPixel(x, 0), (x >= 3 && x < 19) ? (bits == 1 ? 1u : 0xFu) : 0u) << bits;
    }
  }
  TDIBSurface w = Make(2, 1, 15, 0xFFFF);
  EXPECT_EQ(w.GetPixel(0, 0), 0x7FFFu);
  TDIBSurface t = Make(2, 1, 24, 0x010203);
  EXPECT_EQ(t.ScanLine(0)[3], 3);
}

TEST(TDIBSurfaceTest, CopyRectClipsAndKeepsSubBytePositions) {
  TDIBSurface src = Make(4, 4, 8, 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) src.SetPixel(x, y, static_cast<uint32_t>(y * 4 + x + 1));
  }
  TDIBSurface dst = Make(4, 4, 8, 0);
  dst.CopyRect(-1, 2, {0, 0, 4, 4}, src);  // left column and lower rows clipped
  EXPECT_EQ(dst.GetPixel(0, 2), 2u);
  EXPECT_EQ(dst.GetPixel(2, 3), 8u);
  EXPECT_EQ(dst.GetPixel(3, 3), 0u);
  EXPECT_EQ(dst.GetPixel(0, 1), 0u);

  dst = Make(4, 4, 8, 0);
  dst.CopyRect(0, 0, {-2, -1, 2, 2}, src);  // source intersected: moves the destination
  EXPECT_EQ(dst.GetPixel(2, 1), 1u);
  EXPECT_EQ(dst.GetPixel(3, 2), 6u);
  EXPECT_EQ(dst.GetPixel(1, 1), 0u);

  dst = Make(4, 4, 8, 0);
  dst.ClipRect = {1, 1, 3, 3};
  dst.CopyImage(0, 0, src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
  EXPECT_EQ(dst.GetPixel(1, 1), 6u);
  EXPECT_EQ(dst.GetPixel(2, 2), 11u);
  EXPECT_EQ(dst.GetPixel(3, 3), 0u);

  for (int bits : {1, 4}) {
    TDIBSurface a = Make(12, 1, bits, 0);
    for (int x = 0; x < 12; x += 3) a.SetPixel(x, 0, bits == 1 ? 1 : static_cast<uint32_t>(x + 1));
    TDIBSurface b = Make(12, 1, bits, 0);
    b.CopyRect(5, 0, {0, 0, 7, 1}, a);
    for (int x = 0; x < 7; ++x) EXPECT_EQ(b.GetPixel(5 + x, 0), a.GetPixel(x, 0)) << bits;
    EXPECT_EQ(b.GetPixel(4, 0), 0u);
  }

  TDIBSurface other = Make(4, 4, 24, 0x808080);
  dst = Make(4, 4, 8, 7);
  dst.CopyImage(0, 0, other);  // another format: nothing happens
  EXPECT_EQ(dst.GetPixel(0, 0), 7u);
}

TEST(TDIBSurfaceTest, DrawTransparentSkipsOnlyTheColour) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    const uint32_t key = bits == 1 ? 1 : 3;
    TDIBSurface src = Make(2, 1, bits, 0);
    src.SetPixel(0, 0, key);
    src.SetPixel(1, 0, key ^ 1);
    TDIBSurface dst = Make(2, 1, bits, 0);
    dst.SetPixel(0, 0, 0);
    dst.SetPixel(1, 0, 0);
    dst.FillRect(dst.BoundsRect(), bits == 1 ? 0 : 9);
    dst.DrawTransparent(0, 0, static_cast<int32_t>(key), src.BoundsRect(), src);
    EXPECT_EQ(dst.GetPixel(0, 0), bits == 1 ? 0u : 9u) << bits;
    EXPECT_EQ(dst.GetPixel(1, 0), key ^ 1) << bits;
  }
  // A 32-bit pixel with all bits set is not "no colour".
  TDIBSurface src = Make(1, 1, 32, 0xFFFFFFFF);
  TDIBSurface dst = Make(1, 1, 32, 0);
  dst.DrawTransparent(0, 0, -1, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFFFFFFFFu);
  dst = Make(1, 1, 32, 0);
  dst.DrawBlend(0, 0, 255, -1, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFFFFFFFFu);
}

TEST(TDIBSurfaceTest, DrawBlendFormulas) {
  TDIBSurface src24 = Make(1, 1, 24, 0xFFFFFF);
  TDIBSurface dst = Make(1, 1, 24, 0);
  dst.DrawBlend(0, 0, 0, -1, src24.BoundsRect(), src24);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
  dst.DrawBlend(0, 0, 128, -1, src24.BoundsRect(), src24);
  EXPECT_EQ(dst.GetPixel(0, 0), 0x808080u);
  dst = Make(1, 1, 24, 0x0000FF);
  dst.DrawBlend(0, 0, 100, 0xFFFFFF, src24.BoundsRect(), src24);  // skipped colour
  EXPECT_EQ(dst.GetPixel(0, 0), 0x0000FFu);

  // 15 bits: per field ((255 - a) * d + a * s) div 255.
  TDIBSurface s15 = Make(1, 1, 15, 0x7FFF);
  TDIBSurface d15 = Make(1, 1, 15, 0);
  d15.DrawBlend(0, 0, 128, -1, s15.BoundsRect(), s15);
  const uint32_t expect15 = ((128 * 0x7C00u / 255) & 0x7C00) | ((128 * 0x3E0u / 255) & 0x3E0) |
                            ((128 * 0x1Fu / 255) & 0x1F);
  EXPECT_EQ(d15.GetPixel(0, 0), expect15);
  TDIBSurface s16 = Make(1, 1, 16, 0xFFFF);
  TDIBSurface d16 = Make(1, 1, 16, 0);
  d16.DrawBlend(0, 0, 200, -1, s16.BoundsRect(), s16);
  EXPECT_EQ(d16.GetPixel(0, 0), ((200 * 0xF800u / 255) & 0xF800) | ((200 * 0x7E0u / 255) & 0x7E0) |
                                    ((200 * 0x1Fu / 255) & 0x1F));

  // 32 bits: red and blue together, shift by 8, top byte cleared.
  TDIBSurface s32 = Make(1, 1, 32, 0xFFFFFFFF);
  TDIBSurface d32 = Make(1, 1, 32, 0xFF102030);
  d32.DrawBlend(0, 0, 128, -1, s32.BoundsRect(), s32);
  const uint32_t d = 0x102030, s = 0xFFFFFFFF, a = 128;
  const uint32_t expect32 = ((((255 - a) * (d & 0xFF00FF) + a * (s & 0xFF00FF)) >> 8) & 0xFF00FF) |
                            ((((255 - a) * (d & 0xFF00) + a * (s & 0xFF00)) >> 8) & 0xFF00);
  EXPECT_EQ(d32.GetPixel(0, 0), expect32);
}

TEST(TDIBSurfaceTest, DrawBlendDithersPalettePictures) {
  for (int bits : {1, 4, 8}) {
    TDIBSurface src = Make(8, 8, bits, 1);
    TDIBSurface dst = Make(8, 8, bits, 0);
    dst.DrawBlend(0, 0, 16, -1, src.BoundsRect(), src);  // level 1: cells holding 0 or 1
    int copied = 0;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool expected = (x % 4 == 0 && y % 4 == 0) || (x % 4 == 2 && y % 4 == 2);
        EXPECT_EQ(dst.GetPixel(x, y), expected ? 1u : 0u) << bits << " " << x << "," << y;
        copied += dst.GetPixel(x, y) != 0;
      }
    }
    EXPECT_EQ(copied, 8);

    // The cell is chosen by the destination position.
    TDIBSurface shifted = Make(8, 8, bits, 0);
    shifted.DrawBlend(1, 0, 15, -1, {0, 0, 4, 4}, src);  // level 0: only the 0 cell
    EXPECT_EQ(shifted.GetPixel(0, 0), 0u);
    EXPECT_EQ(shifted.GetPixel(4, 0), 1u);

    // 240 is level 15: a plain transparent draw.
    TDIBSurface full = Make(8, 8, bits, 0);
    full.DrawBlend(0, 0, 240, -1, src.BoundsRect(), src);
    EXPECT_EQ(full.GetPixel(3, 1), 1u);
    TDIBSurface almost = Make(8, 8, bits, 0);
    almost.DrawBlend(0, 0, 239, -1, src.BoundsRect(), src);  // level 14: 15 of 16
    EXPECT_EQ(almost.GetPixel(0, 3), 0u);                    // the cell holding 15
    EXPECT_EQ(almost.GetPixel(2, 1), 1u);                    // the cell holding 14
  }
}

TEST(TDIBSurfaceTest, DrawAlphaBlendFormulas) {
  TDIBSurface src = Make(2, 1, 24, 0xFFFFFF);
  src.CreateAlpha();
  src.Alpha()->SetPixel(0, 0, 128);
  src.Alpha()->SetPixel(1, 0, 0);
  TDIBSurface dst = Make(2, 1, 24, 0);
  dst.DrawAlphaBlend(0, 0, 255, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0x7F7F7Fu);  // divided by 256
  EXPECT_EQ(dst.GetPixel(1, 0), 0u);
  dst = Make(2, 1, 24, 0);
  dst.DrawAlphaBlend(0, 0, 128, src.BoundsRect(), src);  // e = 128 * 128 >> 8 = 64
  EXPECT_EQ(dst.GetPixel(0, 0), 0x3F3F3Fu);
  src.Alpha()->SetPixel(0, 0, 255);
  dst = Make(2, 1, 24, 0);
  dst.DrawAlphaBlend(0, 0, 255, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFFFFFFu);
  dst = Make(2, 1, 24, 0);
  dst.DrawAlphaBlend(0, 0, 254, src.BoundsRect(), src);  // never a plain copy below 255
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFCFCFCu);

  for (int bits : {1, 4, 8}) {
    TDIBSurface p = Make(2, 1, bits, 1);
    p.CreateAlpha();
    p.Alpha()->SetPixel(0, 0, 127);
    p.Alpha()->SetPixel(1, 0, 128);
    TDIBSurface q = Make(2, 1, bits, 0);
    q.DrawAlphaBlend(0, 0, 0, p.BoundsRect(), p);  // opacity unused
    EXPECT_EQ(q.GetPixel(0, 0), 0u) << bits;
    EXPECT_EQ(q.GetPixel(1, 0), 1u) << bits;
  }

  TDIBSurface s16 = Make(1, 1, 16, 0xFFFF);
  s16.CreateAlpha();
  s16.Alpha()->SetPixel(0, 0, 100);
  TDIBSurface d16 = Make(1, 1, 16, 0);
  d16.DrawAlphaBlend(0, 0, 0, s16.BoundsRect(), s16);
  EXPECT_EQ(d16.GetPixel(0, 0), ((100 * 0xF800u >> 8) & 0xF800) | ((100 * 0x7E0u >> 8) & 0x7E0) |
                                    ((100 * 0x1Fu >> 8) & 0x1F));

  TDIBSurface s32 = Make(1, 1, 32, 0x00FFFFFF);
  s32.CreateAlpha();
  s32.Alpha()->SetPixel(0, 0, 128);
  TDIBSurface d32 = Make(1, 1, 32, 0);
  d32.DrawAlphaBlend(0, 0, 0, s32.BoundsRect(), s32);
  EXPECT_EQ(d32.GetPixel(0, 0), 0x7F7F7Fu);

  // Without an alpha plane: a constant-opacity blend.
  TDIBSurface plain = Make(1, 1, 24, 0xFFFFFF);
  TDIBSurface target = Make(1, 1, 24, 0);
  target.DrawAlphaBlend(0, 0, 128, plain.BoundsRect(), plain);
  EXPECT_EQ(target.GetPixel(0, 0), 0x808080u);
}

TEST(TDIBSurfaceTest, DrawOperationsClipAgainstClipRect) {
  TDIBSurface src = Make(4, 4, 24, 0xFFFFFF);
  src.CreateAlpha();
  src.FillAlpha();
  for (int op = 0; op < 3; ++op) {
    TDIBSurface dst = Make(6, 6, 24, 0);
    dst.ClipRect = {2, 2, 4, 5};
    if (op == 0) dst.DrawTransparent(1, 1, 5, src.BoundsRect(), src);
    if (op == 1) dst.DrawBlend(1, 1, 128, -1, src.BoundsRect(), src);
    if (op == 2) dst.DrawAlphaBlend(1, 1, 255, src.BoundsRect(), src);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 6; ++x) {
        const bool inside = x >= 2 && x < 4 && y >= 2 && y < 5;
        EXPECT_EQ(dst.GetPixel(x, y) != 0, inside) << op << " " << x << "," << y;
      }
    }
  }
  TDIBSurface dst = Make(6, 6, 24, 0);
  dst.DrawBlend(100, 100, 128, -1, src.BoundsRect(), src);  // entirely outside
  dst.DrawBlend(-100, 0, 128, -1, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
}

TEST(TDIBSurfaceTest, AlphaPlaneOperations) {
  TDIBSurface s = Make(3, 2, 24, 0);
  s.FillAlpha();  // nothing without a plane
  EXPECT_EQ(s.Alpha(), nullptr);
  TDIBSurface plane = Make(3, 2, 8, 0);
  plane.SetPixel(2, 1, 77);
  s.CopyAlpha(plane);
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ(s.Alpha()->GetPixel(2, 1), 77u);
  s.FillAlpha();
  EXPECT_EQ(s.Alpha()->GetPixel(0, 0), 255u);
  s.FreeAlpha();
  EXPECT_EQ(s.Alpha(), nullptr);
}

TEST(TDIBSurfaceTest, BitCountChangesKeepThePicture) {
  TDIBSurface s = Make(2, 1, 8, 0);
  SetGreyPalette(s);
  s.SetPixel(1, 0, 200);
  s.ChangeBitCount(24);
  EXPECT_EQ(s.BitCount(), 24);
  EXPECT_EQ(s.GetPixel(1, 0), 0xC8C8C8u);
  s.ChangeBitCount(8);  // back through the kept colour table
  EXPECT_EQ(s.GetPixel(1, 0), 200u);

  TDIBSurface t = Make(1, 1, 24, 0xFF8000);
  t.ReduceColors(0, 15, false, 0);
  EXPECT_EQ(t.PixelBitCount(), 15);
  EXPECT_EQ(t.GetPixel(0, 0), (31u << 10) | (16u << 5));
  t.ReduceColors(0, 32, false, 0);
  EXPECT_EQ(t.GetPixel(0, 0), 0xFF8400u);  // 5-bit fields scaled back
  t.ReduceColors(0, 8, false, 256);
  EXPECT_EQ(t.BitCount(), 8);
  EXPECT_EQ(t.PixelToColor(t.GetPixel(0, 0)), MakeWindowsColor(255, 153, 0));
  t.ReduceColors(0, 1, false, 2);
  EXPECT_EQ(t.GetPixel(0, 0), 1u);  // nearer to white than to black
}

}  // namespace
}  // namespace koru
