#include "imaging/mura_writer_surface.h"

#include <cstring>

namespace koru {
namespace {

std::vector<uint8_t> Rows(const TDIB& dib) {
  return std::vector<uint8_t>(dib.Bits(), dib.Bits() + dib.ImageSize());
}

}  // namespace

MuraLayerSource LayerSourceFromSurface(const TDIBSurface& surface) {
  MuraLayerSource layer;
  layer.pixels = Rows(surface);
  if (const TDIBSurface* alpha = surface.Alpha()) {
    layer.alpha_plane = Rows(*alpha);
    layer.alpha_on = true;
  }
  return layer;
}

MuraFrameSource FrameShapeFromSurface(const TDIBSurface& surface) {
  MuraFrameSource frame;
  frame.width = surface.Width();
  frame.height = surface.Height();
  frame.bit_count = surface.PixelBitCount();
  for (size_t i = 0; i < frame.colors.size(); ++i) {
    const TRGBQuad& q = surface.ColorTable()[i];
    frame.colors[i] = q.Blue | (q.Green << 8) | (static_cast<uint32_t>(q.Red) << 16) |
                      (static_cast<uint32_t>(q.Reserved) << 24);
  }
  return frame;
}

MuraImageSource ImageSourceFromFrameList(const TMuraFrameList& list) {
  MuraImageSource image;
  image.bg_color = list.BGColor;
  image.not_fill_bg = list.NotFillBG;
  for (int f = 0; f < list.Count(); ++f) {
    const TMuraFrame& frame = list.GetFrame(f);
    MuraFrameSource source = FrameShapeFromSurface(frame.Surface);
    source.name = frame.Name;
    source.trans_color = frame.TransColor;
    source.delay = frame.Delay;
    source.disposal = frame.Disposal;
    source.aux_records1 = frame.AuxRecords1;
    source.aux_records2 = frame.AuxRecords2;
    if (frame.LayerCount() == 0) {
      source.layers.push_back(LayerSourceFromSurface(frame.Surface));
    }
    for (int l = 0; l < frame.LayerCount(); ++l) {
      const TMuraLayer& layer = frame.GetLayer(l);
      MuraLayerSource layer_source = LayerSourceFromSurface(layer.Surface);
      layer_source.name = layer.Name;
      layer_source.visible = layer.Visible;
      layer_source.trans_color = layer.TransColor;
      layer_source.alpha = layer.Alpha;
      layer_source.alpha_on = layer.AlphaOn;
      source.layers.push_back(std::move(layer_source));
    }
    image.frames.push_back(std::move(source));
  }
  return image;
}

void SurfaceFromLayerSource(const MuraFrameSource& frame, const MuraLayerSource& layer,
                            TDIBSurface* surface) {
  surface->SetSize(frame.width, frame.height, frame.bit_count);
  for (size_t i = 0; i < frame.colors.size(); ++i) {
    const uint32_t c = frame.colors[i];
    surface->ColorTable()[i] =
        TRGBQuad{static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                 static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 24)};
  }
  surface->UpdatePalette();
  std::memcpy(surface->Bits(), layer.pixels.data(),
              std::min(surface->ImageSize(), layer.pixels.size()));
  if (layer.alpha_plane.empty()) {
    surface->FreeAlpha();
    return;
  }
  surface->CreateAlpha();
  TDIBSurface* alpha = surface->Alpha();
  std::memcpy(alpha->Bits(), layer.alpha_plane.data(),
              std::min(alpha->ImageSize(), layer.alpha_plane.size()));
}

}  // namespace koru
