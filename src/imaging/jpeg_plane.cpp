#include "imaging/jpeg_plane.h"

#include <csetjmp>
#include <cstdio>
#include <string>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "base/error.h"

namespace koru {
namespace {

// Progressive streams can carry any number of scans; a damaged one must not keep the
// decoder busy without end.
constexpr int kMaxScans = 500;
// Warnings (corrupt data the decoder works around) are tolerated up to this count.
constexpr int kMaxWarnings = 1000;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  int warnings;
  bool size_mismatch;
};

void OnError(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level >= 0) return;  // trace messages
  if (++manager->warnings > kMaxWarnings) {
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
  }
}

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(manager->message, sizeof(manager->message), "Too many JPEG scans");
    std::longjmp(manager->jump, 1);
  }
}

// Everything the decoder touches lives in the caller's frame, so that a longjmp out of
// libjpeg skips no C++ destructor.
struct DecodeState {
  jpeg_decompress_struct cinfo;
  ErrorManager error;
  jpeg_progress_mgr progress;
  const uint8_t* data;
  size_t size;
  int expected_width;
  int expected_height;
  TDIB* out;
};

// Returns false after a libjpeg error (message in state->error.message).
bool Decode(DecodeState* state) {
  jpeg_decompress_struct& cinfo = state->cinfo;
  if (setjmp(state->error.jump)) return false;
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(state->data),
               static_cast<unsigned long>(state->size));
  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<int64_t>(cinfo.image_width) != state->expected_width ||
      static_cast<int64_t>(cinfo.image_height) != state->expected_height) {
    state->error.size_mismatch = true;
    return false;
  }
  cinfo.out_color_space = JCS_EXT_BGR;  // the byte order of a 24-bit DIB row
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = TRUE;
  cinfo.do_block_smoothing = TRUE;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3) {
    state->error.size_mismatch = true;
    return false;
  }
  // SetSize cannot throw here: the size was checked against the plane's, which is valid.
  state->out->SetSize(state->expected_width, state->expected_height, 24);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = state->out->ScanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

void DecodeJpegTo24Bits(const uint8_t* data, size_t size, int expected_width, int expected_height,
                        TDIB* out) {
  DecodeState state{};
  state.data = data;
  state.size = size;
  state.expected_width = expected_width;
  state.expected_height = expected_height;
  state.out = out;
  state.cinfo.err = jpeg_std_error(&state.error.base);
  state.error.base.error_exit = OnError;
  state.error.base.emit_message = OnMessage;
  jpeg_create_decompress(&state.cinfo);
  state.progress.progress_monitor = OnProgress;
  state.cinfo.progress = &state.progress;
  // libjpeg's own working memory (coefficient buffers of progressive streams) is bounded.
  state.cinfo.mem->max_memory_to_use = 256L * 1024 * 1024;
  bool ok = false;
  try {
    ok = size > 0 && Decode(&state);
  } catch (...) {  // an allocation failure of the picture
    jpeg_destroy_decompress(&state.cinfo);
    throw;
  }
  jpeg_destroy_decompress(&state.cinfo);
  if (ok) return;
  if (size == 0 || state.error.size_mismatch) throw KoruError("ファイルが破壊されています");
  throw KoruError(state.error.message);
}

}  // namespace koru
