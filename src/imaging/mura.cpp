#include "imaging/mura.h"

#include <cstring>

#include "base/binary_io.h"
#include "base/error.h"
#include "imaging/kwxml.h"

namespace koru {

TMuraHeader TMuraHeader::FromBytes(const std::array<uint8_t, kSize>& b) {
  TMuraHeader h;
  h.Version = LoadInt32(&b[0]);
  h.Width = LoadInt32(&b[4]);
  h.Height = LoadInt32(&b[8]);
  h.Bpp = LoadInt32(&b[12]);
  h.Count = LoadInt32(&b[16]);
  h.SyncPal = b[20] != 0;
  h.Randomized = b[21] != 0;
  h.CompType = b[22];
  h.BGColor = LoadUInt32(&b[24]);
  h.BlockWidth = LoadInt32(&b[28]);
  h.BlockHeight = LoadInt32(&b[32]);
  h.NotFillBG = b[36] != 0;
  h.CompLevel = b[37];
  return h;
}

TMuraHeader TMuraHeader::FromXml(const TKwXmlElement& root) {
  TMuraHeader h;
  h.Version = root.ReadInteger("Version", 200);
  h.Width = root.ReadInteger("Width", 100);
  h.Height = root.ReadInteger("Height", 100);
  h.Bpp = root.ReadInteger("Bpp", 8);
  h.Count = root.ReadInteger("Count", 0);
  h.SyncPal = root.ReadBool("SyncPal", false);
  h.Randomized = root.ReadBool("Randomized", false);
  h.CompType = static_cast<uint8_t>(root.ReadInteger("CompType", 0));
  h.CompLevel = static_cast<uint8_t>(root.ReadInteger("CompLevel", 0));
  h.BGColor = static_cast<uint32_t>(root.ReadInteger("BGColor", 0));
  h.BlockWidth = root.ReadInteger("BlockWidth", 32);
  h.BlockHeight = root.ReadInteger("BlockHeight", 32);
  h.NotFillBG = root.ReadBool("NotFillBG", true);
  return h;
}

std::array<uint8_t, TMuraHeader::kSize> TMuraHeader::ToBytes() const {
  std::array<uint8_t, kSize> b{};
  StoreUInt32(&b[0], static_cast<uint32_t>(Version));
  StoreUInt32(&b[4], static_cast<uint32_t>(Width));
  StoreUInt32(&b[8], static_cast<uint32_t>(Height));
  StoreUInt32(&b[12], static_cast<uint32_t>(Bpp));
  StoreUInt32(&b[16], static_cast<uint32_t>(Count));
  b[20] = SyncPal ? 1 : 0;
  b[21] = Randomized ? 1 : 0;
  b[22] = CompType;
  StoreUInt32(&b[24], BGColor);
  StoreUInt32(&b[28], static_cast<uint32_t>(BlockWidth));
  StoreUInt32(&b[32], static_cast<uint32_t>(BlockHeight));
  b[36] = NotFillBG ? 1 : 0;
  b[37] = CompLevel;
  return b;
}

TMuraLayer& TMuraFrame::GetLayer(int index) const {
  if (index < 0 || index >= LayerCount()) {
    throw KoruError(Format("リストのインデックスが範囲を超えています (%d)", index));
  }
  return *layers_[static_cast<size_t>(index)];
}

TMuraLayer& TMuraFrame::AddLayer() {
  layers_.push_back(std::make_unique<TMuraLayer>(this));
  return *layers_.back();
}

namespace {

// An alpha plane of 255, 0 where the surface's pixel equals trans_color (when >= 0).
void AlphaFromColor(TDIBSurface& surface, int32_t trans_color) {
  surface.CreateAlpha();
  surface.FillAlpha();
  if (trans_color < 0) return;
  TDIBSurface& alpha = *surface.Alpha();
  for (int y = 0; y < surface.Height(); ++y) {
    uint8_t* row = alpha.ScanLine(y);
    for (int x = 0; x < surface.Width(); ++x) {
      if (surface.GetPixel(x, y) == static_cast<uint32_t>(trans_color)) row[x] = 0;
    }
  }
}

}  // namespace

void TMuraFrame::MakeAlphaFromTransColor(bool include_layers) {
  if (Surface.Alpha() == nullptr) AlphaFromColor(Surface, TransColor);
  if (!include_layers) return;
  for (const auto& layer : layers_) {
    if (layer->Surface.Alpha() != nullptr) continue;
    const int32_t color = layer->TransColor >= 0 ? layer->TransColor : TransColor;
    if (color >= 0) AlphaFromColor(layer->Surface, color);
  }
}

TMuraFrameList::TMuraFrameList(TMuraFrameList&& other) noexcept
    : BGColor(other.BGColor),
      Version(other.Version),
      ConvertBitCount(other.ConvertBitCount),
      IdentificationCode(other.IdentificationCode),
      NotFillBG(other.NotFillBG),
      MaxTotalBytes(other.MaxTotalBytes),
      frames_(std::move(other.frames_)) {
  for (auto& frame : frames_) frame->Owner = this;
}

TMuraFrameList& TMuraFrameList::operator=(TMuraFrameList&& other) noexcept {
  if (this == &other) return *this;
  BGColor = other.BGColor;
  Version = other.Version;
  ConvertBitCount = other.ConvertBitCount;
  IdentificationCode = other.IdentificationCode;
  NotFillBG = other.NotFillBG;
  MaxTotalBytes = other.MaxTotalBytes;
  frames_ = std::move(other.frames_);
  for (auto& frame : frames_) frame->Owner = this;
  return *this;
}

TMuraFrame& TMuraFrameList::GetFrame(int index) const {
  if (index < 0 || index >= Count()) throw KoruError(kMuraGetFrameError);
  return *frames_[static_cast<size_t>(index)];
}

TMuraFrame& TMuraFrameList::AddFrame() {
  frames_.push_back(std::make_unique<TMuraFrame>(this));
  return *frames_.back();
}

}  // namespace koru
