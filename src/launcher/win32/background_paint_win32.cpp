#include "launcher/win32/background_paint_win32.h"

#include <algorithm>

#include "imaging/dib_gdi_win32.h"
#include "platform/win32/gdi_handles.h"

namespace koru {

void PaintGradient(HDC dc, const TGradBox& box, int width, int height) {
  const auto nearest = [dc](uint32_t color) {
    const COLORREF mapped = ::GetNearestColor(dc, color);
    return mapped == CLR_INVALID ? color : static_cast<uint32_t>(mapped);
  };
  for (const TGradBand& band : box.Bands(width, height, nearest)) {
    platform::win32::UniqueGdiObject brush(::CreateSolidBrush(band.color));
    const RECT rect = {band.left, band.top, band.right, band.bottom};
    ::FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
  }
}

void PaintPictureBox(HDC dc, const TDXPaintBox& box) {
  const std::optional<TDXPaintBox::Placement> place = box.ComputePlacement();
  if (!place) return;
  if (place->scaled) {
    DrawDIBOnDC(dc, place->x, place->y, place->width, place->height, box.DIB());
    return;
  }
  // Unscaled: only the part inside the box (a centred picture larger than the box shows
  // its middle).
  const int left = std::max(place->x, 0);
  const int top = std::max(place->y, 0);
  const int right = std::min(place->x + place->width, box.ClientWidth());
  const int bottom = std::min(place->y + place->height, box.ClientHeight());
  if (right <= left || bottom <= top) return;
  DrawDIBPartOnDC(dc, left, top, box.DIB(), left - place->x, top - place->y, right - left,
                  bottom - top);
}

}  // namespace koru
