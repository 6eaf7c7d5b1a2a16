#pragma once

// GDI drawing of the launcher windows' painted parts: the gradient bands and the picture
// box's bitmap.

#include <windows.h>

#include "imaging/grad_box.h"
#include "launcher/dx_paint_box.h"

namespace koru {

// Fills the bands with solid brushes, each colour the nearest the device shows.
void PaintGradient(HDC dc, const TGradBox& box, int width, int height);
// Draws the bitmap where the box shows it, scaled when the placement says so.
void PaintPictureBox(HDC dc, const TDXPaintBox& box);

}  // namespace koru
