#pragma once

// The reader of the authoring tool's layered image format (".MUR"): a list of frames,
// each a stack of layers composed onto the frame's picture while reading. Two header
// variants: "MuraX" + format digit (a zlib-compressed XML header) and "Mura" + three
// version digits (a binary header), the latter also read without any magic as version 0.
//
// Damaged input never makes the reader read or write outside a plane or allocate without
// bound: sizes, counts and lengths are checked against the limits and against what the
// stream still holds, and anything impossible raises "ファイルが破壊されています".

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "imaging/dib_surface.h"

namespace koru {

class TKwXmlElement;
class TMuraFrame;
class TMuraFrameList;

// The default bound on the pixel memory of one image load.
inline constexpr int64_t kMaxMuraPixelBytes =
    sizeof(void*) >= 8 ? int64_t{2} << 30 : int64_t{768} << 20;

// The 40-byte image-wide header record (binary variant 103 and later stores it as is).
struct TMuraHeader {
  static constexpr int kSize = 40;

  int32_t Version = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Bpp = 0;
  int32_t Count = 0;
  bool SyncPal = false;
  bool Randomized = false;
  // 0 zlib, 1 stored, 2 JPEG colour planes with zlib alpha planes.
  uint8_t CompType = 0;
  uint32_t BGColor = 0;  // Windows colour value
  int32_t BlockWidth = 0;
  int32_t BlockHeight = 0;
  bool NotFillBG = false;
  uint8_t CompLevel = 0;

  // Fields from the little-endian record (bytes beyond a short record are zero).
  static TMuraHeader FromBytes(const std::array<uint8_t, kSize>& bytes);
  // Fields from the attributes of the XML variant's root element, with its defaults.
  static TMuraHeader FromXml(const TKwXmlElement& root);
  std::array<uint8_t, kSize> ToBytes() const;
};

// Header CompType values.
inline constexpr uint8_t kMuraCompZlib = 0;
inline constexpr uint8_t kMuraCompStored = 1;
inline constexpr uint8_t kMuraCompJpeg = 2;

// Block mode: one record per block. Source -1: literal pixels follow; -2: copy of block
// Index of the same plane; 0 or more: the same rectangle of frame Source, layer Index.
struct TMuraBlockRef {
  int32_t Source = -1;
  int32_t Index = 0;
};
inline constexpr int32_t kMuraBlockLiteral = -1;
inline constexpr int32_t kMuraBlockSamePlane = -2;

class TMuraLayer {
 public:
  explicit TMuraLayer(TMuraFrame* owner) : Owner(owner) {}

  TMuraFrame* Owner;
  std::string Name;
  // Colour plane; its Alpha() is the layer's alpha plane.
  TDIBSurface Surface;
  bool Visible = true;
  int32_t TransColor = -1;  // pixel value of the frame's format; -1 none
  int32_t Alpha = 255;      // constant opacity 0..255
  bool AlphaOn = false;     // the alpha plane is in use
};

class TMuraFrame {
 public:
  explicit TMuraFrame(TMuraFrameList* owner) : Owner(owner) {}
  // Layers point at their frame: a frame stays where it was created.
  TMuraFrame(const TMuraFrame&) = delete;
  TMuraFrame& operator=(const TMuraFrame&) = delete;

  int LayerCount() const { return static_cast<int>(layers_.size()); }
  // Throws KoruError for an index outside the list.
  TMuraLayer& GetLayer(int index) const;
  TMuraLayer& AddLayer();
  // Frees every layer.
  void Clear() { layers_.clear(); }
  bool HasAlpha() const { return Surface.Alpha() != nullptr; }
  // Gives the frame (and, with include_layers, each layer) without an alpha plane one:
  // 255 everywhere, 0 where the pixel equals the transparent colour.
  void MakeAlphaFromTransColor(bool include_layers);

  int32_t Delay = 100;      // kept, not used
  TDIBSurface Surface;      // the composed picture
  int32_t TransColor = -1;  // pixel value of the frame's format; -1 none
  int32_t TransRGB = -1;    // TransColor as a Windows colour value; -1 none
  TMuraFrameList* Owner;
  std::string Name;
  std::vector<std::array<uint8_t, 16>> AuxRecords1;  // kept uninterpreted
  std::vector<std::array<uint8_t, 16>> AuxRecords2;
  uint8_t Disposal = 0;  // kept, not used

 private:
  std::vector<std::unique_ptr<TMuraLayer>> layers_;
};

class TMuraFrameList {
 public:
  // identification_code seeds the scrambled orders.
  explicit TMuraFrameList(int32_t identification_code) : IdentificationCode(identification_code) {}
  TMuraFrameList(const TMuraFrameList&) = delete;
  TMuraFrameList& operator=(const TMuraFrameList&) = delete;
  // Moving hands the frames over and points their Owner at the new list.
  TMuraFrameList(TMuraFrameList&& other) noexcept;
  TMuraFrameList& operator=(TMuraFrameList&& other) noexcept;

  // Replaces the contents with the image at the stream's position, reading forward.
  // first_frame_only: a binary image gives its first frame only. keep_layers: keep each
  // frame's layers (otherwise only the composed pictures remain). finish: run the
  // finishing step (alpha from the transparent colour, bit-count conversion). Throws
  // KoruError; frames read before a failure stay until the next load or Clear.
  void LoadFromStream(Stream& stream, bool first_frame_only, bool keep_layers, bool finish);

  int Count() const { return static_cast<int>(frames_.size()); }
  // Throws "Error:TMuraFrameList.GetFrame" for an index outside the list.
  TMuraFrame& GetFrame(int index) const;
  void Clear() { frames_.clear(); }
  TMuraFrame& AddFrame();

  uint32_t BGColor = 0;         // Windows colour value
  int32_t Version = 0;          // version of the binary magic (0 without one)
  int32_t ConvertBitCount = 0;  // finishing conversion target; 0 none
  int32_t IdentificationCode;
  bool NotFillBG = false;
  // Upper bound on the pixel memory of all planes of one load (frames, layers, alpha
  // planes), so that a damaged file cannot exhaust memory with many large layers.
  int64_t MaxTotalBytes = kMaxMuraPixelBytes;

 private:
  std::vector<std::unique_ptr<TMuraFrame>> frames_;
};

// The archive writer's test whether an image stores its planes uncompressed,
// IsUncompressedImage, lives with the writer (storage/vrfiles.h): storage cannot depend on
// this layer. It reads only the binary magic and TMuraHeader::CompType (offset 22).

// Messages of the reader.
inline constexpr const char* kMuraCorrupt = "ファイルが破壊されています";
inline constexpr const char* kMuraGetFrameError = "Error:TMuraFrameList.GetFrame";

}  // namespace koru
