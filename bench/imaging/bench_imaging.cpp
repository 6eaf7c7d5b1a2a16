// Timed driver for the imaging layer, each case beside its baseline in one run:
//  1. decoding a 1920 x 1080 24-bit block-mode zlib image (TMuraFrameList) against a
//     plain zlib inflate of the same payload bytes;
//  2. "image to-png" (decode, then PNG encoding) against libpng decoding that PNG.
// Prints the best and median of several runs in milliseconds.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "base/binary_io.h"
#include "base/error.h"
#include "imaging/mura.h"
#include "imaging/mura_writer.h"
#include "imaging/mura_writer_surface.h"
#include "imaging/png_io.h"

namespace koru {
namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int kRuns = 15;

struct Timing {
  double best_ms;
  double median_ms;
};

// <chrono> cannot be compiled with the Shift-JIS execution character set (its "µs"
// literal has no Shift-JIS form), so the clock comes from <ctime>.
double NowMs() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

Timing Measure(const std::function<void()>& body) {
  body();  // warm-up: page in buffers and code
  std::vector<double> runs;
  for (int i = 0; i < kRuns; ++i) {
    const double start = NowMs();
    body();
    runs.push_back(NowMs() - start);
  }
  std::sort(runs.begin(), runs.end());
  return {runs.front(), runs[runs.size() / 2]};
}

// A picture that compresses like artwork: smooth gradients, flat shapes, a noisy band,
// and the occasional repeated block.
MuraImageSource MakePicture() {
  MuraFrameSource frame;
  frame.width = kWidth;
  frame.height = kHeight;
  frame.bit_count = 24;
  MuraLayerSource layer;
  const int64_t stride = MuraRowBytes(kWidth, 24);
  layer.pixels.assign(static_cast<size_t>(stride * kHeight), 0);
  uint32_t noise = 1;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = layer.pixels.data() + y * stride;
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t* px = row + x * 3;
      px[0] = static_cast<uint8_t>(120 + y * 100 / kHeight);
      px[1] = static_cast<uint8_t>(40 + (x + y) * 80 / (kWidth + kHeight));
      px[2] = static_cast<uint8_t>(200 - y * 150 / kHeight);
      const int dx = x - 1300;
      const int dy = y - 600;
      if (dx * dx + dy * dy < 200 * 200) px[0] = px[1] = px[2] = 240;
      if (y > 850) {
        noise = noise * 1664525u + 1013904223u;
        px[1] = static_cast<uint8_t>(60 + ((noise >> 24) & 15));
      }
    }
  }
  frame.layers.push_back(std::move(layer));
  MuraImageSource image;
  image.frames.push_back(std::move(frame));
  return image;
}

// The colour payload of a one-frame, one-layer version-107 file.
std::vector<uint8_t> FirstPayload(const std::vector<uint8_t>& file) {
  ReadOnlyMemoryStream s(file.data(), static_cast<int64_t>(file.size()));
  const auto skip = [&s](int64_t n) { s.SetPosition(s.GetPosition() + n); };
  skip(7);
  skip(ReadInt32(s));  // header record
  skip(ReadInt32(s));  // frame name
  skip(4 + 4 + 1 + 4 + 4 + 4 + 4 + 4);
  skip(8 + 1 + 4 + 4 + 1);
  skip(ReadInt32(s));  // layer name
  std::vector<uint8_t> payload(static_cast<size_t>(ReadInt32(s)));
  s.ReadExact(payload.data(), static_cast<int64_t>(payload.size()));
  return payload;
}

// Plain zlib: one inflate call into a buffer of the known size.
size_t Inflate(const std::vector<uint8_t>& in, uint8_t* out, size_t out_size) {
  z_stream z{};
  inflateInit(&z);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(out_size);
  const int code = inflate(&z, Z_FINISH);
  const size_t produced = out_size - z.avail_out;
  inflateEnd(&z);
  if (code != Z_STREAM_END) throw KoruError("inflate failed");
  return produced;
}

// The least a block-mode decoder must do: inflate, then move each block into a picture in
// new memory (references to earlier blocks of the plane copied from it). 24 bits, 32 x 32
// blocks, no scrambling.
void DecodeBlocksDirectly(const std::vector<uint8_t>& payload, std::vector<uint8_t>* scratch) {
  const size_t size = Inflate(payload, scratch->data(), scratch->size());
  const int64_t stride = MuraRowBytes(kWidth, 24);
  std::unique_ptr<uint8_t[]> picture(new uint8_t[static_cast<size_t>(stride * kHeight)]);
  const int32_t columns = (kWidth + 31) / 32;
  const int32_t rows = (kHeight + 31) / 32;
  const uint8_t* refs = scratch->data();
  size_t cursor = static_cast<size_t>(columns) * rows * 8;
  for (int32_t slot = 0; slot < columns * rows; ++slot) {
    const int32_t x = (slot % columns) * 32;
    const int32_t y = (slot / columns) * 32;
    const int32_t bw = std::min(32, kWidth - x);
    const int32_t bh = std::min(32, kHeight - y);
    const int32_t source = LoadInt32(refs + slot * 8);
    const int32_t index = LoadInt32(refs + slot * 8 + 4);
    for (int32_t r = 0; r < bh; ++r) {
      uint8_t* to = picture.get() + (y + r) * stride + x * 3;
      if (source == -1) {
        std::memcpy(to, scratch->data() + cursor, static_cast<size_t>(bw) * 3);
        cursor += static_cast<size_t>(bw) * 3;
      } else {
        const int32_t sx = (index % columns) * 32;
        const int32_t sy = (index / columns) * 32;
        std::memcpy(to, picture.get() + (sy + r) * stride + sx * 3, static_cast<size_t>(bw) * 3);
      }
    }
  }
  if (cursor > size) throw KoruError("payload too short");
}

PngPicture Decode(const std::vector<uint8_t>& file) {
  ReadOnlyMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  TMuraFrameList list(0);
  list.LoadFromStream(stream, /*first_frame_only=*/true, /*keep_layers=*/false,
                      /*finish=*/false);
  const TDIBSurface& surface = list.GetFrame(0).Surface;
  const MuraFrameSource shape = FrameShapeFromSurface(surface);
  PngPicture picture;
  picture.width = shape.width;
  picture.height = shape.height;
  picture.bit_count = shape.bit_count;
  picture.pixels = LayerSourceFromSurface(surface).pixels;
  return picture;
}

void Report(const char* name, const Timing& t) {
  std::printf("  %-46s best %8.2f ms   median %8.2f ms\n", name, t.best_ms, t.median_ms);
}

// "bench_imaging decode": only the decoding, many times over, for a profiler.
int RunDecodeOnly() {
  const std::vector<uint8_t> file = WriteMura(MakePicture(), MuraWriteOptions{});
  for (int i = 0; i < 100; ++i) {
    ReadOnlyMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
    TMuraFrameList list(0);
    list.LoadFromStream(stream, true, false, false);
  }
  return 0;
}

int Run() {
  const MuraImageSource image = MakePicture();
  MuraWriteOptions options;  // binary 107, 32 x 32 blocks, zlib
  const std::vector<uint8_t> file = WriteMura(image, options);
  const std::vector<uint8_t> payload = FirstPayload(file);
  std::vector<uint8_t> inflated(static_cast<size_t>(MuraRowBytes(kWidth, 24)) * kHeight * 2);
  const size_t raw_size = Inflate(payload, inflated.data(), inflated.size());
  std::printf("picture %dx%d 24 bits: file %zu bytes, colour payload %zu bytes, %zu inflated\n",
              kWidth, kHeight, file.size(), payload.size(), raw_size);

  // The decoded picture must be the source, or the timings mean nothing.
  if (Decode(file).pixels != image.frames[0].layers[0].pixels) {
    std::fprintf(stderr, "bench_imaging: the decoded picture differs from the source\n");
    return 1;
  }

  std::printf("1. block-mode zlib image\n");
  const Timing load = Measure([&] { Decode(file); });
  const Timing inflate = Measure([&] { Inflate(payload, inflated.data(), inflated.size()); });
  // The decoder must put its picture in new memory; the same inflate into a buffer the
  // system has not handed out before shows what first touching such memory costs here.
  const Timing inflate_fresh = Measure([&] {
    std::unique_ptr<uint8_t[]> fresh(new uint8_t[raw_size]);
    Inflate(payload, fresh.get(), raw_size);
  });
  const Timing direct = Measure([&] { DecodeBlocksDirectly(payload, &inflated); });
  Report("TMuraFrameList.LoadFromStream (+ copy out)", load);
  Report("inflate + blocks into a new picture (least)", direct);
  Report("zlib inflate of the payload, reused buffer", inflate);
  Report("zlib inflate of the payload, new buffer", inflate_fresh);
  std::printf("  ratio to inflate (best): %.2f reused buffer, %.2f new buffer (target <= 1.30)\n",
              load.best_ms / inflate.best_ms, load.best_ms / inflate_fresh.best_ms);

  std::printf("2. image to-png\n");
  std::vector<uint8_t> png;
  const Timing to_png = Measure([&] { png = WritePng(Decode(file)); });
  const Timing png_read = Measure([&] { ReadPng(png.data(), png.size(), 24); });
  std::vector<uint8_t> png_fast;
  const Timing to_png_fast = Measure([&] { png_fast = WritePng(Decode(file), 1); });
  Report("decode + PNG write (zlib default level)", to_png);
  Report("decode + PNG write (zlib level 1)", to_png_fast);
  std::printf("  PNG %zu bytes at level 1\n", png_fast.size());
  Report("libpng decoding that PNG", png_read);
  std::printf("  PNG %zu bytes; ratio (best): %.2f\n", png.size(),
              to_png.best_ms / png_read.best_ms);
  return 0;
}

}  // namespace
}  // namespace koru

int main(int argc, char** argv) {
  try {
    if (argc > 1 && std::strcmp(argv[1], "decode") == 0) return koru::RunDecodeOnly();
    return koru::Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_imaging: %s\n", e.what());
    return 1;
  }
}
