#include "imaging/mura.h"
#include "imaging/mura_writer_surface.h"
#include "tools/image_info.h"

namespace koru::tools {

std::vector<PngPicture> DecodeMuraFrames(const std::vector<uint8_t>& file, uint32_t code,
                                         bool first_only) {
  ReadOnlyMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  TMuraFrameList list(static_cast<int32_t>(code));
  list.LoadFromStream(stream, first_only, /*keep_layers=*/false, /*finish=*/false);
  std::vector<PngPicture> pictures;
  for (int f = 0; f < list.Count() && !(first_only && f > 0); ++f) {
    const TDIBSurface& surface = list.GetFrame(f).Surface;
    const MuraFrameSource shape = FrameShapeFromSurface(surface);
    MuraLayerSource planes = LayerSourceFromSurface(surface);
    PngPicture picture;
    picture.width = shape.width;
    picture.height = shape.height;
    picture.bit_count = shape.bit_count;
    picture.colors = shape.colors;
    picture.pixels = std::move(planes.pixels);
    picture.alpha = std::move(planes.alpha_plane);
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

}  // namespace koru::tools
