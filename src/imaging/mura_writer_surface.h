#pragma once

// Between the reader's pictures and the encoder's plain input: a decoded image can be
// re-encoded with other options, and a composed frame handed to PNG output.

#include "imaging/dib_surface.h"
#include "imaging/mura.h"
#include "imaging/mura_writer.h"

namespace koru {

// The surface's rows and, when it has one, its alpha plane (alpha_on set then).
MuraLayerSource LayerSourceFromSurface(const TDIBSurface& surface);

// A frame of the surface's size and bit count (PixelBitCount: 15 for 5-5-5) and colour
// table, without layers.
MuraFrameSource FrameShapeFromSurface(const TDIBSurface& surface);

// The image in a loaded list: frames with their layers when the list was loaded with
// keep_layers, otherwise each composed frame as its one layer.
MuraImageSource ImageSourceFromFrameList(const TMuraFrameList& list);

// Fills a surface from a frame's shape and one of its layers (pixels and alpha plane).
void SurfaceFromLayerSource(const MuraFrameSource& frame, const MuraLayerSource& layer,
                            TDIBSurface* surface);

}  // namespace koru
