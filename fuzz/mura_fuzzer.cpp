// ".MUR" images, both header variants: the whole image with its layers and the finishing
// step, then the first frame only with a bit-count conversion and the layers dropped.

#include <cstring>

#include "base/error.h"
#include "base/stream.h"
#include "fuzz_target.h"
#include "imaging/mura.h"

namespace {

// Enough for every seed; keeps a damaged size from spending the run on big planes.
constexpr int64_t kMaxPixelBytes = int64_t{4} << 20;

int64_t PlaneBytes(const koru::TDIBSurface& surface) {
  int64_t bytes = static_cast<int64_t>(surface.RowLength()) * surface.Height();
  if (const koru::TDIBSurface* alpha = surface.Alpha()) {
    bytes += static_cast<int64_t>(alpha->RowLength()) * alpha->Height();
  }
  return bytes;
}

void Load(const uint8_t* data, size_t size, bool first_frame_only, bool keep_layers,
          int convert_bits) {
  koru::MemoryStream stream(std::vector<uint8_t>(data, data + size));
  koru::TMuraFrameList list(0x2F41);
  list.MaxTotalBytes = kMaxPixelBytes;
  list.ConvertBitCount = convert_bits;
  try {
    list.LoadFromStream(stream, first_frame_only, keep_layers, /*finish=*/true);
  } catch (const koru::KoruError&) {
    return;
  }
  int64_t total = 0;
  for (int i = 0; i < list.Count(); ++i) {
    koru::TMuraFrame& frame = list.GetFrame(i);
    total += PlaneBytes(frame.Surface);
    for (int k = 0; k < frame.LayerCount(); ++k) total += PlaneBytes(frame.GetLayer(k).Surface);
    if (!keep_layers) KORU_FUZZ_CHECK(frame.LayerCount() == 0);
    // Touch the corners of every plane: a plane smaller than its stated size shows here.
    const koru::TDIBSurface& surface = frame.Surface;
    if (surface.Width() > 0 && surface.Height() > 0) {
      surface.GetPixel(0, 0);
      surface.GetPixel(surface.Width() - 1, surface.Height() - 1);
    }
  }
  // The budget covers every plane of the load, the finishing step included.
  KORU_FUZZ_CHECK(total <= kMaxPixelBytes);
  const bool xml = size >= 8 && std::memcmp(data, "MuraX", 5) == 0;
  if (first_frame_only && !xml) KORU_FUZZ_CHECK(list.Count() <= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > koru::fuzz::kMaxInputSize) return 0;
  Load(data, size, /*first_frame_only=*/false, /*keep_layers=*/true, /*convert_bits=*/0);
  Load(data, size, /*first_frame_only=*/true, /*keep_layers=*/false, /*convert_bits=*/16);
  return 0;
}
