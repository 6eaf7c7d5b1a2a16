#include "imaging/grad_box.h"

#include <cmath>
#include <cstdlib>

namespace koru {
namespace {

// Component i (0 red, 1 green, 2 blue) of a Windows colour value.
int Component(uint32_t color, int i) { return static_cast<int>((color >> (8 * i)) & 0xFF); }

// c1 + round((c2 - c1) / divisor * step), rounding half to even, modulo 256.
int Blend(int c1, int c2, int divisor, int step) {
  const double value = static_cast<double>(c2 - c1) / divisor * step;
  return (c1 + static_cast<int>(std::nearbyint(value))) & 0xFF;
}

}  // namespace

void TGradBox::SetColor(int index, uint32_t color) {
  (index == 1 ? start_color_ : end_color_) = color;
  Changed();
}

void TGradBox::SetGradStep(uint8_t steps) {
  grad_step_ = steps;
  Changed();
}

void TGradBox::SetDirection(TGradDirection direction) {
  if (direction == direction_) return;
  direction_ = direction;
  Changed();
}

void TGradBox::Changed() {
  if (OnInvalidate) OnInvalidate();
  if (OnChange) OnChange();
}

std::vector<TGradBand> TGradBox::Bands(int width, int height,
                                       const std::function<uint32_t(uint32_t)>& nearest) const {
  const uint32_t start = nearest ? nearest(start_color_) : start_color_;
  const uint32_t end = nearest ? nearest(end_color_) : end_color_;
  const bool vertical = direction_ == gdVertical;
  const int size = vertical ? height : width;
  const int steps = grad_step_;
  int thickness = static_cast<int>(std::nearbyint(static_cast<double>(size) / (steps + 1)));
  if (thickness == 0) thickness = 1;

  std::vector<TGradBand> bands;
  bands.reserve(static_cast<size_t>(steps) + 3);
  int x = 0;
  int y = 0;
  uint32_t color = start;
  for (int i = 0; i <= steps + 1; ++i) {
    int divisor = steps + 1;
    int step = i;
    if (direction_ == gdHorzCenter) {
      divisor = steps / 2 + 1;
      step = std::abs(steps / 2 - i);
    }
    color = 0;
    for (int c = 0; c < 3; ++c) {
      color |= static_cast<uint32_t>(Blend(Component(start, c), Component(end, c), divisor, step))
               << (8 * c);
    }
    if (vertical) {
      bands.push_back({x, y, width, y + thickness, color});
      y += thickness;
    } else {
      bands.push_back({x, y, x + thickness, height, color});
      x += thickness;
    }
  }
  // The rounded thickness may leave a strip uncovered; it takes the last colour.
  if (vertical && y + thickness < height) {
    bands.push_back({x, y, width, height, color});
  } else if (direction_ == gdHorizontal && x + thickness < width) {
    bands.push_back({x, y, width, height, color});
  }
  return bands;
}

}  // namespace koru
