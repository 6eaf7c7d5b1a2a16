#pragma once

// The in-memory picture the layered image reader composes frames on: a TDIB with an
// optional 8-bit alpha plane and the pixel operations of composition (fill, opaque and
// transparent copy, constant-opacity blend with ordered dithering below 16 bits, blend
// through an alpha plane). Every operation works row by row on memory and raises
// nothing: rectangles are clipped and empty results draw nothing.

#include <cstdint>
#include <memory>

#include "imaging/dib.h"

namespace koru {

// A rectangle; right and bottom are exclusive.
struct TRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const TRect&) const = default;
};

class TDIBSurface : public TDIB {
 public:
  TDIBSurface();
  ~TDIBSurface() override;
  TDIBSurface(TDIBSurface&&) noexcept = default;
  TDIBSurface& operator=(TDIBSurface&&) noexcept = default;

  // BitCount 15 gives 16-bit pixels with 5-5-5 masks, 16 gives 5-6-5, any other 8-8-8.
  // An alpha plane follows the new width and height. Throws like TDIB::SetSize.
  void SetSize(int width, int height, int bit_count) override;
  // The same without zeroing the pixels (see TDIB::SetSizeForOverwrite); an alpha plane is
  // still zeroed.
  void SetSizeForOverwrite(int width, int height, int bit_count);
  // Empties the picture and drops the alpha plane.
  void Clear() override;

  // 15 for a 16-bit picture with 5-5-5 masks, otherwise BitCount().
  int PixelBitCount() const;
  // Pixel value of a colour, components taken modulo 256. At 8 bits and below the nearest
  // colour-table entry; at 24 and 32 bits R * 65536 + G * 256 + B. At 15 and 16 bits the
  // 8-bit components are scaled to the 5- or 6-bit fields, rounded (c * 31 / 255,
  // c * 63 / 255): callers pass 8-bit components at every bit count.
  uint32_t ColorToPixel(int r, int g, int b) const;
  TRect BoundsRect() const { return {0, 0, Width(), Height()}; }

  // Destination clipping of CopyRect and the Draw operations; empty = the whole surface.
  TRect ClipRect;

  // Fills rect (clipped to the surface, not to ClipRect) with value masked to the pixel.
  void FillRect(const TRect& rect, uint32_t value);
  // Opaque copy of src_rect of source to (x, y).
  void CopyRect(int x, int y, const TRect& src_rect, const TDIBSurface& source);
  void CopyImage(int x, int y, const TDIBSurface& source);
  // Copy skipping source pixels equal to trans_color (a raw pixel value; < 0: none).
  void DrawTransparent(int x, int y, int32_t trans_color, const TRect& src_rect,
                       const TDIBSurface& source);
  // Draw at a constant opacity 0..255 skipping trans_color. At 8 bits and below the
  // opacity picks a 4 x 4 ordered-dither level (opacity / 16).
  void DrawBlend(int x, int y, int opacity, int32_t trans_color, const TRect& src_rect,
                 const TDIBSurface& source);
  // Draw through the source's alpha plane (DrawBlend without one). The opacity is used
  // only at 24 bits.
  void DrawAlphaBlend(int x, int y, int opacity, const TRect& src_rect, const TDIBSurface& source);

  // The alpha plane: 8 bits, the surface's size, 0 transparent .. 255 opaque.
  TDIBSurface* Alpha() const { return alpha_.get(); }
  // Gives the surface an alpha plane of its size (zeroed when new).
  void CreateAlpha();
  void FreeAlpha();
  // Sets every alpha byte to 255 (nothing without an alpha plane).
  void FillAlpha();
  // CreateAlpha, then copies an 8-bit plane of the same size into it (the overlapping
  // part when sizes differ).
  void CopyAlpha(const TDIBSurface& plane);

  // Changes the bit count keeping the picture. Method 0 (the only one provided; others
  // act as 0) is a plain bit-depth conversion; a target of 8 bits and below gets a fixed
  // palette (black and white, the 16 standard colours, or a 6x6x6 cube and 40 greys)
  // unless the surface already has that many or fewer bits. dither and colors are not
  // used by method 0.
  void ReduceColors(int method, int bit_count, bool dither, int colors);

 private:
  // Intersects src with the source bounds and clips against ClipRect (and the surface);
  // false when nothing is left.
  bool ClipDraw(int& x, int& y, TRect& src, const TDIBSurface& source) const;
  bool Compatible(const TDIBSurface& source) const;

  std::unique_ptr<TDIBSurface> alpha_;
};

}  // namespace koru
