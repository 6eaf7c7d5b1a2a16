#include "launcher/back_image.h"

#include "base/stream.h"
#include "imaging/mura.h"

namespace koru {
namespace {

enum BackImageLayout { kLayoutCentred = 0, kLayoutStretched = 1, kLayoutTiled = 2 };

// The box's bitmap is 24-bit; a frame of another format is converted once, so that every
// draw is the plain copy of rows.
const TDIBSurface& AsTrueColour(const TDIBSurface& picture, TDIBSurface& converted) {
  if (picture.BitCount() == 24) return picture;
  converted.SetSize(picture.Width(), picture.Height(), 24);
  ConvertDIBPixels(picture, converted);
  return converted;
}

}  // namespace

std::vector<TilePosition> TilePositions(int tile_width, int tile_height, int box_width,
                                        int box_height) {
  std::vector<TilePosition> tiles;
  // A picture without pixels would never advance.
  if (tile_width <= 0 || tile_height <= 0) return tiles;
  for (int y = 0; y < box_height; y += tile_height) {
    for (int x = 0; x < box_width; x += tile_width) tiles.push_back({x, y});
  }
  return tiles;
}

void PaintBackImage(const TKoruInstallSet& settings, TVrFileCollection& archive, TDXPaintBox& box) {
  if (settings.BackImage.empty()) return;
  TDIBSurface& bitmap = box.DIB();
  bitmap.SetPixelFormat(kPixelFormat888);

  MemoryStream stream;
  LoadEntry(archive, stream, settings.BackImage);
  TMuraFrameList frames(settings.ImageSeed);
  frames.LoadFromStream(stream, /*first_frame_only=*/true, /*keep_layers=*/false,
                        /*finish=*/false);
  TDIBSurface& frame = frames.GetFrame(0).Surface;
  TDIBSurface converted;
  const TDIBSurface& picture = AsTrueColour(frame, converted);

  switch (settings.BackImageLayout) {
    case kLayoutCentred:
    case kLayoutStretched:
      // The bitmap is the picture: a 24-bit frame is taken over rather than copied.
      if (&picture == &frame) {
        bitmap = std::move(frame);
        bitmap.FreeAlpha();
      } else {
        bitmap.SetSize(picture.Width(), picture.Height(), 24);
        bitmap.CopyImage(0, 0, picture);
      }
      if (settings.BackImageLayout == kLayoutStretched) {
        box.SetStretch(true);
      } else {
        box.SetCenter(true);
      }
      break;
    case kLayoutTiled:
      bitmap.SetSize(box.ClientWidth(), box.ClientHeight(), 24);
      for (const TilePosition& tile : TilePositions(picture.Width(), picture.Height(),
                                                    box.ClientWidth(), box.ClientHeight())) {
        bitmap.CopyImage(tile.x, tile.y, picture);
      }
      break;
    default:
      break;
  }
  box.Invalidate();
}

}  // namespace koru
