#pragma once

// Plane payloads of the ".MUR" encoder: old row mode, row mode, block mode and JPEG.
// Internal to the encoder; the tests reach it through WriteMura.

#include <cstdint>
#include <vector>

#include "imaging/mura_writer.h"

namespace koru::mura_internal {

enum class PlaneKind { kColor, kAlpha };

// A plane of the source, rows top-down.
struct PlaneView {
  const uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bit_count = 8;  // the frame's bit count (15 allowed); 8 for alpha planes
  int64_t stride = 0;     // MuraRowBytes(width, bit_count)
};

// Encodes the planes of one image in file order. It remembers every block-mode plane so
// that later planes can refer to identical rectangles of earlier layers.
class PlaneEncoder {
 public:
  explicit PlaneEncoder(const MuraWriteOptions& options);

  // The payload of the next plane. frame and layer give its place in the image, for the
  // references of later planes. REQUIRES: the plane's bytes outlive the encoder.
  std::vector<uint8_t> Encode(const PlaneView& plane, PlaneKind kind, int32_t frame, int32_t layer);

 private:
  struct EarlierPlane {
    PlaneView view;
    PlaneKind kind;
    int32_t frame;
    int32_t layer;
    std::vector<uint64_t> block_hashes;  // by block slot
  };

  std::vector<uint8_t> EncodeOldRows(const PlaneView& plane) const;
  std::vector<uint8_t> EncodeRows(const PlaneView& plane, PlaneKind kind) const;
  std::vector<uint8_t> EncodeBlocks(const PlaneView& plane, PlaneKind kind, int32_t frame,
                                    int32_t layer);
  void Compress(std::vector<uint8_t>* bytes) const;

  const MuraWriteOptions& options_;
  std::vector<EarlierPlane> earlier_;
};

// Slots in the order the reader fills them: stored item k belongs to slot order[k].
std::vector<uint32_t> ScrambledOrder(uint32_t code, uint32_t count);

}  // namespace koru::mura_internal
