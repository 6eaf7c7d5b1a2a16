#pragma once

// Hands a TDIB to GDI: a BITMAPINFO over the picture's own rows (no copy), for the
// launcher windows that paint the background picture. Win32 only.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "imaging/dib.h"

namespace koru {

// BITMAPINFO with room for 256 colour-table entries or the three bit-field masks.
struct TDIBBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];

  const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

// Describes dib's memory: top-down rows (negative height), its bit count, its colour
// table at 8 bits and below, its masks (BI_BITFIELDS) at 16 and 32 bits.
TDIBBitmapInfo MakeBitmapInfo(const TDIB& dib);

// Draws the whole picture stretched to (x, y, width, height) on dc. Returns true iff GDI
// drew the rows (false for an empty picture).
bool DrawDIBOnDC(HDC dc, int x, int y, int width, int height, const TDIB& dib);

// Draws the part (source_x, source_y, width, height) of the picture unscaled at (x, y),
// handing GDI only the rows of that part, so that a large picture of which a window shows
// a corner costs what the corner costs. REQUIRES: the part lies inside the picture.
bool DrawDIBPartOnDC(HDC dc, int x, int y, const TDIB& dib, int source_x, int source_y, int width,
                     int height);

}  // namespace koru
