// TMuraFrameList::LoadFromStream: both header variants, frame and layer records,
// composition and the finishing step. Plane payloads are decoded in mura_plane.cpp.

#include <cstring>
#include <string>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/kw_int.h"
#include "imaging/kwxml.h"
#include "imaging/mura.h"
#include "imaging/mura_plane.h"
#include "storage/compression.h"

namespace koru {
namespace {

// The XML header of even a long animation is small (a few hundred bytes a frame). The
// bound also bounds the tokens and elements built from it, which take far more memory per
// byte than the text itself: 1 MiB of "<>" pairs is half a million tags.
constexpr size_t kMaxXmlHeaderBytes = 1u << 20;
// Smallest binary layer record (8 + 1 + 4 + 4 + 4 + 4 bytes): bounds a layer count
// against the bytes left.
constexpr int64_t kMinBinaryLayerRecord = 25;

[[noreturn]] void Corrupt() { throw KoruError(kMuraCorrupt); }

// Zeroes the bytes of each row behind its pixels. REQUIRES: 8 or more bits per pixel.
void ZeroRowPadding(TDIBSurface& surface) {
  const size_t used = static_cast<size_t>(surface.Width()) * (surface.BitCount() / 8);
  if (used >= surface.RowLength()) return;
  for (int y = 0; y < surface.Height(); ++y) {
    std::memset(surface.ScanLine(y) + used, 0, surface.RowLength() - used);
  }
}

bool IsFrameBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
         bits == 32;
}

class MuraReader {
 public:
  MuraReader(TMuraFrameList& list, Stream& stream, bool first_frame_only, bool keep_layers,
             bool finish)
      : list_(list),
        stream_(stream),
        first_frame_only_(first_frame_only),
        keep_layers_(keep_layers),
        finish_(finish) {}

  void Read() {
    try {
      ReadImage();
    } catch (...) {
      // The frames read so far stay; without keep_layers their layers go as on success.
      // Planes sized for overwriting and left unwritten get what they held before: the
      // frame zeros or its background, a layer zeros.
      FillFrame();
      if (unwritten_layer_ != nullptr) {
        TDIBSurface& plane = *unwritten_layer_;
        if (plane.ImageSize() > 0) std::memset(plane.Bits(), 0, plane.ImageSize());
      }
      FreeLayers();
      throw;
    }
    FreeLayers();
  }

 private:
  void FreeLayers() {
    if (keep_layers_) return;
    for (int i = 0; i < list_.Count(); ++i) list_.GetFrame(i).Clear();
  }

  void ReadImage() {
    const int64_t start = stream_.GetPosition();
    char magic[8] = {};
    const int64_t got = stream_.Read(magic, 8);
    if (got == 8 && std::memcmp(magic, "MuraX", 5) == 0) {
      const int digit = (magic[5] >= '0' && magic[5] <= '9') ? magic[5] - '0' : 0;
      if (digit > 2) throw KoruError("読み込めないファイル形式です");
      ReadXml();
    } else {
      stream_.SetPosition(start);
      ReadBinary();
    }
  }

  // ---- shared -------------------------------------------------------------------
  void CheckLength(int64_t length) {
    if (length < 0 || length > stream_.Remaining()) Corrupt();
  }

  std::vector<uint8_t> ReadBytes(int64_t length) {
    CheckLength(length);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    stream_.ReadExact(bytes.data(), length);
    return bytes;
  }

  std::string ReadName() {
    const std::vector<uint8_t> bytes = ReadBytes(ReadInt32(stream_));
    return std::string(bytes.begin(), bytes.end());
  }

  void Skip(int64_t count) {
    uint8_t buffer[64];
    while (count > 0) {
      const int64_t piece = std::min<int64_t>(count, sizeof(buffer));
      stream_.ReadExact(buffer, piece);
      count -= piece;
    }
  }

  // Books the pixel memory of a plane against the load's budget.
  void Charge(int width, int height, int bits) {
    const int real_bits = bits == 15 ? 16 : bits;
    if (!IsFrameBitCount(bits) || !IsValidDIBSize(width, height)) Corrupt();
    charged_ += static_cast<int64_t>(DIBRowLength(width, real_bits)) * height;
    if (charged_ > list_.MaxTotalBytes) Corrupt();
  }

  // Books what the finishing step adds when it widens a plane to bits per pixel.
  void ChargeWidening(const TDIBSurface& surface, int bits) {
    const int real_bits = bits == 15 ? 16 : bits;
    const int64_t now = static_cast<int64_t>(surface.RowLength()) * surface.Height();
    const int64_t after =
        static_cast<int64_t>(DIBRowLength(surface.Width(), real_bits)) * surface.Height();
    if (after > now) charged_ += after - now;
    if (charged_ > list_.MaxTotalBytes) Corrupt();
  }

  // Books the alpha planes that MakeAlphaFromTransColor is about to make.
  void ChargeAlphaFromTransColor(const TMuraFrame& frame) {
    const TDIBSurface& surface = frame.Surface;
    if (!frame.HasAlpha()) Charge(surface.Width(), surface.Height(), 8);
    if (!keep_layers_) return;
    for (int i = 0; i < frame.LayerCount(); ++i) {
      const TMuraLayer& layer = frame.GetLayer(i);
      if (layer.Surface.Alpha() == nullptr && (layer.TransColor >= 0 || frame.TransColor >= 0)) {
        Charge(layer.Surface.Width(), layer.Surface.Height(), 8);
      }
    }
  }

  // The conversions of the finishing step for frame and, with keep_layers, its layers.
  void ChargeFinishWidening(const TMuraFrame& frame, int bits) {
    ChargeWidening(frame.Surface, bits);
    if (!keep_layers_) return;
    for (int i = 0; i < frame.LayerCount(); ++i) ChargeWidening(frame.GetLayer(i).Surface, bits);
  }

  // The frame's pixels are written once: by the background fill, or by a first layer that
  // covers them all (then the fill is skipped).
  void SizeFrame(TMuraFrame& frame, int width, int height, int bits) {
    Charge(width, height, bits);
    frame.Surface.SetSizeForOverwrite(width, height, bits);
    unfilled_frame_ = &frame.Surface;
    unfilled_value_ = 0;
  }

  void FillFrame() {
    if (unfilled_frame_ == nullptr) return;
    unfilled_frame_->FillRect(unfilled_frame_->BoundsRect(), unfilled_value_);
    unfilled_frame_ = nullptr;
  }

  void SizeLayer(const TMuraFrame& frame, TMuraLayer& layer) {
    const TDIBSurface& surface = frame.Surface;
    Charge(surface.Width(), surface.Height(), surface.PixelBitCount());
    // Decoding writes every pixel of the colour plane.
    layer.Surface.SetSizeForOverwrite(surface.Width(), surface.Height(), surface.PixelBitCount());
    unwritten_layer_ = &layer.Surface;
    // The colour table first, so that a JPEG plane of a palette frame converts to it.
    layer.Surface.ColorTable() = surface.ColorTable();
  }

  void ReadPlane(TMuraLayer& layer, int64_t length, bool alpha_plane) {
    std::vector<uint8_t> payload = ReadBytes(length);
    if (alpha_plane) {
      Charge(layer.Surface.Width(), layer.Surface.Height(), 8);
      layer.Surface.CreateAlpha();
    } else {
      unwritten_layer_ = nullptr;  // the decoder zeroes what it leaves unwritten
    }
    const TMuraPlaneContext context{header_, list_.IdentificationCode, list_, alpha_plane,
                                    scratch_};
    DecodeMuraPlane(context, std::move(payload),
                    alpha_plane ? *layer.Surface.Alpha() : layer.Surface);
  }

  void PrepareFrame(TMuraFrame& frame) {
    TDIBSurface& surface = frame.Surface;
    if (frame.TransColor >= 0) {
      surface.SetPixel(0, 0, static_cast<uint32_t>(frame.TransColor));
      frame.TransRGB = static_cast<int32_t>(surface.PixelToColor(surface.GetPixel(0, 0)));
    } else {
      frame.TransRGB = -1;
    }
    const uint32_t bg = list_.BGColor;
    unfilled_value_ = surface.ColorToPixel(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF);
    drawn_ = false;
  }

  // final: the frame's last layer, in the load's last frame, so that no later plane can
  // copy blocks from it.
  void Compose(TMuraFrame& frame, TMuraLayer& layer, int position, bool final) {
    if (!layer.Visible) return;
    TDIBSurface& target = frame.Surface;
    const TDIBSurface* alpha = layer.Surface.Alpha();
    if (alpha != nullptr && !drawn_ && layer.AlphaOn) {
      if (target.Alpha() == nullptr) Charge(target.Width(), target.Height(), 8);
      target.CopyAlpha(*alpha);
    }
    const TRect bounds = layer.Surface.BoundsRect();
    const bool copy = !(alpha != nullptr && layer.AlphaOn && position > 0) &&
                      (layer.TransColor < 0 || (!drawn_ && list_.NotFillBG)) && layer.Alpha >= 255;
    const TDIBSurface& source = layer.Surface;
    const bool covers = copy && target.ClipRect.IsEmpty() && source.Width() == target.Width() &&
                        source.Height() == target.Height() &&
                        source.BitCount() == target.BitCount() &&
                        source.PixelFormat() == target.PixelFormat();
    if (!covers) FillFrame();
    const bool unwritten = unfilled_frame_ == &target;
    unfilled_frame_ = nullptr;
    if (covers && unwritten && final && !keep_layers_ && target.BitCount() >= 8) {
      // The copy would be the layer's pixels over all of an unwritten frame, and the layer
      // goes at the end of the load: hand its memory to the frame instead.
      target.SwapPixels(layer.Surface);
      ZeroRowPadding(target);
    } else if (alpha != nullptr && layer.AlphaOn && position > 0) {
      target.DrawAlphaBlend(0, 0, 255, bounds, layer.Surface);
    } else if (copy) {
      target.CopyImage(0, 0, layer.Surface);
    } else {
      target.DrawBlend(0, 0, layer.Alpha, layer.TransColor, bounds, layer.Surface);
    }
    drawn_ = true;
  }

  void FinishFrame(TMuraFrame& frame) {
    if (!finish_) return;
    // The budget covers what finishing makes: a palette frame of a few bits per pixel
    // becomes 24 bits and gains an alpha plane of 8.
    if (frame.TransRGB >= 0) {
      ChargeAlphaFromTransColor(frame);
      frame.MakeAlphaFromTransColor(keep_layers_);
    }
    if (list_.ConvertBitCount > 0) {
      if (frame.HasAlpha() || frame.TransRGB < 0) {
        ChargeFinishWidening(frame, list_.ConvertBitCount);
        frame.Surface.ReduceColors(0, list_.ConvertBitCount, false, 0);
        if (keep_layers_) {
          for (int i = 0; i < frame.LayerCount(); ++i) {
            frame.GetLayer(i).Surface.ReduceColors(0, list_.ConvertBitCount, false, 0);
          }
        }
      }
      return;
    }
    TDIBSurface& surface = frame.Surface;
    if (surface.BitCount() > 8) return;
    int found_x = -1, found_y = -1;
    if (frame.TransColor >= 0) {
      for (int y = 0; y < surface.Height() && found_x < 0; ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
          if (surface.GetPixel(x, y) == static_cast<uint32_t>(frame.TransColor)) {
            found_x = x, found_y = y;
            break;
          }
        }
      }
    }
    ChargeFinishWidening(frame, 24);
    surface.ChangeBitCount(24);
    if (found_x >= 0) frame.TransColor = static_cast<int32_t>(surface.GetPixel(found_x, found_y));
    if (keep_layers_) {
      for (int i = 0; i < frame.LayerCount(); ++i) frame.GetLayer(i).Surface.ChangeBitCount(24);
    }
  }

  // ---- XML variant --------------------------------------------------------------
  void ReadXml() {
    list_.Clear();
    const uint32_t length = ReadUInt32(stream_);
    const std::vector<uint8_t> compressed = ReadBytes(length);
    std::vector<uint8_t> text;
    InflateBytes(compressed.data(), compressed.size(), &text, kMaxXmlHeaderBytes);
    TKwXmlElement root;
    root.LoadFromText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));

    header_ = TMuraHeader::FromXml(root);
    list_.BGColor = header_.BGColor;
    list_.NotFillBG = header_.NotFillBG;

    for (int i = 0; i < header_.Count; ++i) {
      const TKwXmlElement* element = root.Child(i);
      if (element == nullptr || !element->NameIs("Frame")) {
        if (i == 0) Corrupt();
        break;
      }
      TMuraFrame& frame = list_.AddFrame();
      last_frame_ = i == header_.Count - 1;
      ReadXmlFrame(*element, frame);
      FillFrame();
      FinishFrame(frame);
    }
  }

  void ReadXmlFrame(const TKwXmlElement& element, TMuraFrame& frame) {
    frame.Name = element.ReadString("Name", "");
    frame.TransColor = element.ReadInteger("TransColor", -1);
    frame.Delay = element.ReadInteger("Delay", 0);
    frame.Disposal = static_cast<uint8_t>(element.ReadInteger("Disposal", 0));
    const TKwXmlElement* layers = element.FindChild("Layers");
    if (layers == nullptr) throw KoruError("レイヤーがありません");
    const int count = layers->ReadInteger("Count", 0);
    const int bpp = layers->ReadInteger("Bpp", 8);
    SizeFrame(frame, layers->ReadInteger("Width", 100), layers->ReadInteger("Height", 100), bpp);
    if (bpp <= 8) {
      const std::string table = layers->ReadChildText("RGB", "");
      const size_t entries = size_t{1} << bpp;
      if (table.size() < 6 * entries) throw KoruError("カラーテーブルがありません");
      for (size_t i = 0; i < entries; ++i) {
        std::string digits = "$";
        digits.append(table, i * 6, 6);
        const uint32_t value = static_cast<uint32_t>(KwStrToIntOrThrow(digits));
        frame.Surface.ColorTable()[i] = {static_cast<uint8_t>(value >> 16),
                                         static_cast<uint8_t>(value >> 8),
                                         static_cast<uint8_t>(value), 0};
      }
      frame.Surface.UpdatePalette();
    }
    PrepareFrame(frame);
    const int first = layers->IndexOfChild("Layer");
    for (int k = 0; k < count; ++k) {
      const TKwXmlElement* layer_element = first >= 0 ? layers->Child(first + k) : nullptr;
      if (layer_element == nullptr || !layer_element->NameIs("Layer")) Corrupt();
      TMuraLayer& layer = frame.AddLayer();
      ReadXmlLayer(*layer_element, frame, layer);
      Compose(frame, layer, k, last_frame_ && k == count - 1);
    }
  }

  void ReadXmlLayer(const TKwXmlElement& element, const TMuraFrame& frame, TMuraLayer& layer) {
    layer.Visible = element.ReadBool("Visible", true);
    layer.TransColor = element.ReadInteger("TransColor", -1);
    layer.Alpha = element.ReadInteger("Alpha", 255);
    layer.AlphaOn = element.ReadBool("AlphaOn", false);
    layer.Name = element.ReadString("Name", "");
    SizeLayer(frame, layer);
    ReadPlane(layer, ReadUInt32(stream_), /*alpha_plane=*/false);
    if (header_.Version >= 100) {
      const uint32_t alpha_length = ReadUInt32(stream_);
      if (alpha_length > 0) ReadPlane(layer, alpha_length, /*alpha_plane=*/true);
    }
    layer.Surface.ColorTable() = frame.Surface.ColorTable();
    layer.Surface.UpdatePalette();
  }

  // ---- binary variant -----------------------------------------------------------
  void ReadBinary() {
    list_.Clear();
    const int64_t start = stream_.GetPosition();
    char magic[7] = {};
    const int64_t got = stream_.Read(magic, 7);
    int32_t version = 0;
    if (got >= 4 && std::memcmp(magic, "Mura", 4) == 0) {
      if (got < 7) throw KoruError(kStreamReadError);
      version = KwStrToIntOrThrow(std::string_view(magic + 4, 3));
    } else {
      stream_.SetPosition(start);
    }
    list_.Version = version;

    header_ = TMuraHeader{};
    int32_t frame_count = 0;
    if (version < 103) {
      header_.Version = version;
      frame_count = ReadInt32(stream_);
      Skip(1);
      if (version >= 102) list_.BGColor = ReadUInt32(stream_);
    } else {
      const int32_t length = ReadInt32(stream_);
      CheckLength(length);
      std::array<uint8_t, TMuraHeader::kSize> record{};
      const int32_t kept = std::min<int32_t>(length, TMuraHeader::kSize);
      stream_.ReadExact(record.data(), kept);
      Skip(length - kept);  // a longer record from a later writer: its tail is unknown
      header_ = TMuraHeader::FromBytes(record);
      frame_count = header_.Count;
      list_.BGColor = header_.BGColor;
    }
    list_.NotFillBG = version >= 105 && header_.NotFillBG;
    if (first_frame_only_ && frame_count > 1) frame_count = 1;
    for (int32_t i = 0; i < frame_count; ++i) {
      last_frame_ = i == frame_count - 1;
      ReadBinaryFrame(list_.AddFrame());
    }
  }

  void ReadBinaryFrame(TMuraFrame& frame) {
    frame.Name = ReadName();
    frame.TransColor = ReadInt32(stream_);
    frame.Delay = ReadInt32(stream_);
    frame.Disposal = ReadUInt8(stream_);
    Skip(4);
    const int32_t layer_count = ReadInt32(stream_);
    const int32_t width = ReadInt32(stream_);
    const int32_t height = ReadInt32(stream_);
    const int32_t bits = ReadInt32(stream_);
    SizeFrame(frame, width, height, bits);
    if (bits <= 8) {
      const std::vector<uint8_t> table = ReadBytes(int64_t{4} << bits);
      std::memcpy(frame.Surface.ColorTable().data(), table.data(), table.size());
      frame.Surface.UpdatePalette();
    }
    PrepareFrame(frame);
    if (layer_count > 0 && layer_count > stream_.Remaining() / kMinBinaryLayerRecord) Corrupt();
    for (int32_t k = 0; k < layer_count; ++k) {
      TMuraLayer& layer = frame.AddLayer();
      ReadBinaryLayer(frame, layer);
      Compose(frame, layer, k, last_frame_ && k == layer_count - 1);
    }
    if (header_.Version >= 104) {
      ReadAuxRecords(&frame.AuxRecords1);
      ReadAuxRecords(&frame.AuxRecords2);
    }
    FillFrame();
    FinishFrame(frame);
  }

  void ReadAuxRecords(std::vector<std::array<uint8_t, 16>>* records) {
    const int32_t count = ReadInt32(stream_);
    if (count < 0) return;
    const std::vector<uint8_t> bytes = ReadBytes(int64_t{count} * 16);
    records->resize(static_cast<size_t>(count));
    if (count > 0) std::memcpy(records->data(), bytes.data(), bytes.size());
  }

  void ReadBinaryLayer(const TMuraFrame& frame, TMuraLayer& layer) {
    SizeLayer(frame, layer);
    Skip(8);
    layer.Visible = ReadUInt8(stream_) != 0;
    layer.TransColor = ReadInt32(stream_);
    layer.Alpha = ReadInt32(stream_);
    if (header_.Version >= 101) layer.AlphaOn = ReadUInt8(stream_) != 0;
    layer.Name = ReadName();
    ReadPlane(layer, ReadInt32(stream_), /*alpha_plane=*/false);
    if (header_.Version >= 100) {
      const int32_t alpha_length = ReadInt32(stream_);
      if (alpha_length < 0) Corrupt();
      if (alpha_length > 0) {
        if (layer.AlphaOn) layer.TransColor = -1;
        ReadPlane(layer, alpha_length, /*alpha_plane=*/true);
      }
    }
    if (keep_layers_ && frame.Surface.BitCount() <= 8) {
      layer.Surface.ColorTable() = frame.Surface.ColorTable();
      layer.Surface.UpdatePalette();
    }
  }

  TMuraFrameList& list_;
  Stream& stream_;
  bool first_frame_only_;
  bool keep_layers_;
  bool finish_;
  TMuraHeader header_;
  bool drawn_ = false;
  int64_t charged_ = 0;
  // A frame sized for overwriting whose fill is still to come, and its value.
  TDIBSurface* unfilled_frame_ = nullptr;
  uint32_t unfilled_value_ = 0;
  bool last_frame_ = false;
  TMuraPlaneScratch scratch_;
  // A layer sized for overwriting whose decoding has not begun.
  TDIBSurface* unwritten_layer_ = nullptr;
};

}  // namespace

void TMuraFrameList::LoadFromStream(Stream& stream, bool first_frame_only, bool keep_layers,
                                    bool finish) {
  MuraReader(*this, stream, first_frame_only, keep_layers, finish).Read();
}

}  // namespace koru
