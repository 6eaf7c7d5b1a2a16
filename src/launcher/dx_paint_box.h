#pragma once

// The picture box of the launcher windows: one 24-bit bitmap and where the box shows it.
// Windowless: the window that holds it paints the bitmap at Placement() over whatever
// lies below (the background window's gradient, the start menu's face colour).

#include <functional>
#include <optional>

#include "imaging/dib_surface.h"

namespace koru {

class TDXPaintBox {
 public:
  // The shown rectangle of the bitmap in the box's client coordinates.
  struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    // True when the bitmap is drawn scaled into the rectangle, false when unscaled.
    bool scaled = false;

    bool operator==(const Placement&) const = default;
  };

  // The bitmap the picture is drawn on.
  TDIBSurface& DIB() { return dib_; }
  const TDIBSurface& DIB() const { return dib_; }

  // The box's size (it fills its window's client area).
  void SetClientSize(int width, int height);
  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }

  bool Center() const { return center_; }
  bool Stretch() const { return stretch_; }
  bool KeepAspect() const { return keep_aspect_; }
  // Each setter asks for a repaint when the value changes.
  void SetCenter(bool value);
  void SetStretch(bool value);
  void SetKeepAspect(bool value);

  // Called when the box needs painting again; may be empty.
  std::function<void()> OnInvalidate;
  void Invalidate();

  // Where the bitmap appears, or nullopt for an empty bitmap: its own size unless
  // stretched; stretched, the client size, or with KeepAspect the bitmap's size times
  // the smaller of the two ratios (rounded); placed at (0, 0) or centred (the division
  // truncating toward zero, so a picture larger than the box shows its middle).
  std::optional<Placement> ComputePlacement() const;

 private:
  void Set(bool& field, bool value);

  TDIBSurface dib_;
  int client_width_ = 0;
  int client_height_ = 0;
  bool center_ = false;
  bool stretch_ = false;
  bool keep_aspect_ = false;
};

}  // namespace koru
