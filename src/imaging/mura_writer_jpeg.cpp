// JPEG colour planes of the ".MUR" encoder (CompType 2), through libjpeg's compressor.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

// clang-format off
#include <jpeglib.h>  // after <cstdio>: it uses FILE and size_t without including them
// clang-format on

#include "base/error.h"
#include "imaging/mura_writer.h"

namespace koru {
namespace {

// libjpeg reports fatal errors through a callback that must not return; it jumps back
// to EncodeMuraJpeg, which turns the message into a KoruError.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}

struct FreeDeleter {
  void operator()(unsigned char* p) const { std::free(p); }
};

}  // namespace

std::vector<uint8_t> EncodeMuraJpeg(const uint8_t* rows, int32_t width, int32_t height,
                                    int quality) {
  if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
    throw KoruError(Format("JPEG にできない大きさです: %d x %d", width, height));
  }
  const int64_t stride = MuraRowBytes(width, 24);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);

  // Everything the jump may skip over lives outside this frame or is plain data.
  jpeg_compress_struct info{};
  ErrorManager errors{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnJpegError;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    throw KoruError(std::string("JPEG: ") + errors.message);
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, /*force_baseline=*/TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    // Plane rows hold blue, green, red; the compressor takes red first.
    const uint8_t* source = rows + static_cast<int64_t>(info.next_scanline) * stride;
    for (int32_t x = 0; x < width; ++x) {
      rgb[x * 3] = source[x * 3 + 2];
      rgb[x * 3 + 1] = source[x * 3 + 1];
      rgb[x * 3 + 2] = source[x * 3];
    }
    JSAMPROW row = rgb.data();
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::unique_ptr<unsigned char, FreeDeleter> owned(buffer);
  return std::vector<uint8_t>(buffer, buffer + size);
}

}  // namespace koru
