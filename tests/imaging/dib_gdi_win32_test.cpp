#include "imaging/dib_gdi_win32.h"

#include <gtest/gtest.h>

#include "imaging/dib_surface.h"

namespace koru {
namespace {

// Draws src 1:1 into a 32-bit DIB section and returns the section's pixel at (x, y)
// as 0xRRGGBB.
class GdiTarget {
 public:
  GdiTarget(int w, int h) : width_(w) {
    dc_ = CreateCompatibleDC(/*hdc=*/nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, /*section=*/nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~GdiTarget() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  uint32_t Pixel(int x, int y) const {
    GdiFlush();
    return static_cast<const uint32_t*>(bits_)[y * width_ + x] & 0xFFFFFF;
  }

 private:
  int width_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  void* bits_ = nullptr;
};

TEST(DIBGdiTest, RowsAreTopDownInEveryFormat) {
  for (int bits : {4, 8, 15, 16, 24, 32}) {
    TDIBSurface s;
    s.SetSize(3, 2, bits);
    s.ColorTable()[1] = {0, 0, 255, 0};  // red
    s.ColorTable()[2] = {255, 0, 0, 0};  // blue
    s.FillRect(s.BoundsRect(), s.ColorToPixel(0, 0, 0));
    s.FillRect({0, 0, 3, 1}, s.ColorToPixel(255, 0, 0));
    s.SetPixel(2, 1, s.ColorToPixel(0, 0, 255));
    GdiTarget target(3, 2);
    ASSERT_TRUE(DrawDIBOnDC(target.dc(), 0, 0, 3, 2, s)) << bits;
    EXPECT_EQ(target.Pixel(0, 0), 0xFF0000u) << bits;
    EXPECT_EQ(target.Pixel(0, 1), 0u) << bits;
    EXPECT_EQ(target.Pixel(2, 1), 0x0000FFu) << bits;
  }
}

}  // namespace
}  // namespace koru
