#pragma once

// The game's background picture, drawn into a launcher window's picture box from the
// current archive: centred, stretched or tiled, as the install settings say.

#include <vector>

#include "launcher/dx_paint_box.h"
#include "settings/install_set.h"
#include "storage/vrfiles.h"

namespace koru {

struct TilePosition {
  int x = 0;
  int y = 0;
  bool operator==(const TilePosition&) const = default;
};

// The top-left corners of the tiles that cover a box of box_width x box_height with a
// picture of tile_width x tile_height, row by row; tiles at the right and bottom edges
// are cut by the box. None for an empty picture.
std::vector<TilePosition> TilePositions(int tile_width, int tile_height, int box_width,
                                        int box_height);

// Paints the settings' BackImage into box: nothing when BackImage is empty. Otherwise
// the entry is decoded (first frame only, with ImageSeed as identification code) and, by
// BackImageLayout: 0 the bitmap takes the picture's size and the box centres it; 1 the
// same, stretched to the box; 2 the bitmap takes the box's size and is tiled from its
// top left corner; any other layout draws nothing. Throws the archive's or the image
// reader's error for a missing entry, a damaged picture or a wrong identification code.
void PaintBackImage(const TKoruInstallSet& settings, TVrFileCollection& archive, TDXPaintBox& box);

}  // namespace koru
