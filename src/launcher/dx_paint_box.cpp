#include "launcher/dx_paint_box.h"

#include <algorithm>
#include <cmath>

namespace koru {

void TDXPaintBox::SetClientSize(int width, int height) {
  if (width == client_width_ && height == client_height_) return;
  client_width_ = std::max(width, 0);
  client_height_ = std::max(height, 0);
  Invalidate();
}

void TDXPaintBox::SetCenter(bool value) { Set(center_, value); }
void TDXPaintBox::SetStretch(bool value) { Set(stretch_, value); }
void TDXPaintBox::SetKeepAspect(bool value) { Set(keep_aspect_, value); }

void TDXPaintBox::Set(bool& field, bool value) {
  if (field == value) return;
  field = value;
  Invalidate();
}

void TDXPaintBox::Invalidate() {
  if (OnInvalidate) OnInvalidate();
}

std::optional<TDXPaintBox::Placement> TDXPaintBox::ComputePlacement() const {
  if (dib_.Empty()) return std::nullopt;
  const int bitmap_width = dib_.Width();
  const int bitmap_height = dib_.Height();
  Placement place;
  place.width = bitmap_width;
  place.height = bitmap_height;
  if (stretch_ && !keep_aspect_) {
    place.width = client_width_;
    place.height = client_height_;
  } else if (stretch_) {
    const double ratio = std::min(static_cast<double>(client_width_) / bitmap_width,
                                  static_cast<double>(client_height_) / bitmap_height);
    place.width = static_cast<int>(std::nearbyint(bitmap_width * ratio));
    place.height = static_cast<int>(std::nearbyint(bitmap_height * ratio));
  }
  if (center_) {
    // C++ division truncates toward zero, as the placement asks.
    place.x = (client_width_ - place.width) / 2;
    place.y = (client_height_ - place.height) / 2;
  }
  place.scaled = place.width != bitmap_width || place.height != bitmap_height;
  return place;
}

}  // namespace koru
