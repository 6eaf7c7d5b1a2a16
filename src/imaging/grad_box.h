#pragma once

// The gradient panel: fills its area with solid bands that step from a start colour to
// an end colour. The bands are computed here; a window fills them with solid brushes.

#include <cstdint>
#include <functional>
#include <vector>

namespace koru {

enum TGradDirection {
  gdHorizontal = 0,  // bands side by side, left to right
  gdVertical = 1,    // bands stacked, top to bottom
  gdHorzCenter = 2,  // side by side, coloured by their distance from the middle band
};

// One solid fill: right and bottom exclusive; colour as Windows keeps it (red in the low
// byte). Bands may reach past the panel; the canvas clips them.
struct TGradBand {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  uint32_t color = 0;
  bool operator==(const TGradBand&) const = default;
};

class TGradBox {
 public:
  uint32_t StartColor() const { return start_color_; }
  uint32_t EndColor() const { return end_color_; }
  uint8_t GradStep() const { return grad_step_; }
  TGradDirection Direction() const { return direction_; }

  // Index 1 sets StartColor, any other EndColor; then repaints and calls OnChange.
  void SetColor(int index, uint32_t color);
  // Stores, repaints and calls OnChange, even when the value is unchanged.
  void SetGradStep(uint8_t steps);
  // Does nothing when unchanged; otherwise stores, repaints and calls OnChange.
  void SetDirection(TGradDirection direction);

  // The bands for a panel of width x height: GradStep + 2 bands of the rounded thickness
  // size / (GradStep + 1) (at least 1), then for the vertical and horizontal directions
  // a fill of the rest with the last colour. nearest maps a colour to the nearest one the
  // canvas can show (identity when empty).
  std::vector<TGradBand> Bands(int width, int height,
                               const std::function<uint32_t(uint32_t)>& nearest = {}) const;

  // Called after a setter changed the appearance; may be empty.
  std::function<void()> OnChange;
  // Called when the panel needs painting again; may be empty.
  std::function<void()> OnInvalidate;

 private:
  void Changed();

  uint32_t start_color_ = 0xFFFFFF;
  uint32_t end_color_ = 0;
  uint8_t grad_step_ = 128;
  TGradDirection direction_ = gdVertical;
};

}  // namespace koru
