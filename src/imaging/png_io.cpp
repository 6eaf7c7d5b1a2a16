#include "imaging/png_io.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/error.h"

namespace koru {
namespace {

// libpng reports fatal errors by calling back and expects the callback not to return:
// it jumps to the setjmp of the reading or writing function, which then throws. No C++
// object is created between that setjmp and the libpng calls it guards.
struct ErrorState {
  char message[256] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof(state->message), "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->position) png_error(png, "PNG ファイルが途中で終わっています");
  std::memcpy(out, reader->data + reader->position, count);
  reader->position += count;
}

// Called from libpng's C frames: an exception must not pass through them, so a failed
// allocation becomes libpng's own error (a longjmp once nothing of ours is alive here).
void WriteToMemory(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool grown = false;
  try {
    out->insert(out->end(), data, data + count);
    grown = true;
  } catch (...) {
  }
  if (!grown) png_error(png, "メモリが足りません");
}

void FlushMemory(png_structp) {}

// Owns the read structures.
class ReadHandles {
 public:
  explicit ReadHandles(ErrorState* errors) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, errors, OnPngError, OnPngWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
    if (png_ == nullptr || info_ == nullptr) throw KoruError("PNG: メモリが足りません");
  }
  ~ReadHandles() { png_destroy_read_struct(&png_, &info_, nullptr); }
  ReadHandles(const ReadHandles&) = delete;
  ReadHandles& operator=(const ReadHandles&) = delete;
  png_structp png() { return png_; }
  png_infop info() { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

class WriteHandles {
 public:
  explicit WriteHandles(ErrorState* errors) {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, errors, OnPngError, OnPngWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
    if (png_ == nullptr || info_ == nullptr) throw KoruError("PNG: メモリが足りません");
  }
  ~WriteHandles() { png_destroy_write_struct(&png_, &info_); }
  WriteHandles(const WriteHandles&) = delete;
  WriteHandles& operator=(const WriteHandles&) = delete;
  png_structp png() { return png_; }
  png_infop info() { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// What the decoded rows hold after libpng's transformations.
struct Decoded {
  uint32_t width = 0;
  uint32_t height = 0;
  int channels = 0;  // 1 (index or gray), 2 (gray, alpha), 3 (BGR), 4 (BGRA)
  bool indexed = false;
  bool has_alpha = false;
  size_t row_bytes = 0;
  std::vector<uint8_t> rows;
  MuraColorTable colors{};
  std::vector<uint8_t> index_alpha = std::vector<uint8_t>(256, 255);  // palette tRNS
};

// Decodes into `decoded`; returns false with errors->message set on a libpng failure.
bool DecodePng(ReadHandles& h, MemoryReader* reader, int32_t bit_count, Decoded* decoded,
               std::vector<png_bytep>* row_pointers, bool* wrong_kind) {
  png_structp png = h.png();
  png_infop info = h.info();
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_read_fn(png, reader, ReadFromMemory);
  png_set_user_limits(png, kMaxPngDimension, kMaxPngDimension);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (static_cast<int64_t>(width) * height > kMaxPngPixels) png_error(png, "PNG が大きすぎます");
  const int color_type = png_get_color_type(png, info);
  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const bool palette = color_type == PNG_COLOR_TYPE_PALETTE;
  const bool gray = (color_type & PNG_COLOR_MASK_COLOR) == 0;

  png_set_scale_16(png);
  if (bit_count == 8) {
    if (!palette && !gray) {
      *wrong_kind = true;
      return true;
    }
    png_set_packing(png);
    if (gray) {
      // Low-depth samples are expanded to span 0..255, so the table is a plain ramp.
      png_set_expand_gray_1_2_4_to_8(png);
      for (uint32_t i = 0; i < 256; ++i) decoded->colors[i] = i * 0x010101u;
      if (has_trns) png_set_tRNS_to_alpha(png);
    } else {
      decoded->indexed = true;
      png_colorp entries = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &entries, &count) != 0) {
        for (int i = 0; i < count && i < 256; ++i) {
          decoded->colors[i] = entries[i].blue | (entries[i].green << 8) |
                               (static_cast<uint32_t>(entries[i].red) << 16);
        }
      }
      if (has_trns) {
        png_bytep trans = nullptr;
        int trans_count = 0;
        png_get_tRNS(png, info, &trans, &trans_count, nullptr);
        for (int i = 0; i < trans_count && i < 256; ++i) decoded->index_alpha[i] = trans[i];
        decoded->has_alpha = true;
      }
    }
  } else {
    png_set_expand(png);  // palette to RGB, low-depth gray to 8 bits, tRNS to alpha
    if (gray) png_set_gray_to_rgb(png);
    png_set_bgr(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  decoded->width = width;
  decoded->height = height;
  decoded->channels = png_get_channels(png, info);
  if (decoded->channels == 2 || decoded->channels == 4) decoded->has_alpha = true;
  decoded->row_bytes = png_get_rowbytes(png, info);
  decoded->rows.resize(decoded->row_bytes * height);
  row_pointers->resize(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    (*row_pointers)[y] = decoded->rows.data() + y * decoded->row_bytes;
  }
  png_read_image(png, row_pointers->data());
  png_read_end(png, nullptr);
  return true;
}

PngPicture ToPicture(const Decoded& d, int32_t bit_count) {
  PngPicture picture;
  picture.width = static_cast<int32_t>(d.width);
  picture.height = static_cast<int32_t>(d.height);
  picture.bit_count = bit_count;
  picture.colors = d.colors;
  const size_t stride = static_cast<size_t>(MuraRowBytes(picture.width, bit_count));
  const size_t alpha_stride = static_cast<size_t>(MuraRowBytes(picture.width, 8));
  picture.pixels.assign(stride * d.height, 0);
  if (d.has_alpha) picture.alpha.assign(alpha_stride * d.height, 0);
  const int out_bytes = bit_count / 8;
  const int colour_channels = d.channels >= 3 ? 3 : 1;
  for (uint32_t y = 0; y < d.height; ++y) {
    const uint8_t* in = d.rows.data() + y * d.row_bytes;
    uint8_t* out = picture.pixels.data() + y * stride;
    uint8_t* alpha = d.has_alpha ? picture.alpha.data() + y * alpha_stride : nullptr;
    for (uint32_t x = 0; x < d.width; ++x, in += d.channels, out += out_bytes) {
      std::memcpy(out, in, static_cast<size_t>(colour_channels));
      if (bit_count == 32) out[3] = 0;
      if (alpha == nullptr) continue;
      alpha[x] = d.indexed ? d.index_alpha[in[0]] : in[colour_channels];
    }
  }
  return picture;
}

// One picture row as R, G, B(, A) samples.
void PackRow(const PngPicture& p, int32_t y, uint8_t* out) {
  const int64_t stride = MuraRowBytes(p.width, p.bit_count);
  const uint8_t* row = p.pixels.data() + y * stride;
  const uint8_t* alpha = p.alpha.empty() ? nullptr : p.alpha.data() + y * MuraRowBytes(p.width, 8);
  for (int32_t x = 0; x < p.width; ++x) {
    uint32_t r, g, b;
    switch (p.bit_count) {
      case 1:
      case 4:
      case 8: {
        const int bits = p.bit_count;
        const int bit = x * bits;
        const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        const uint32_t q = p.colors[index];
        r = (q >> 16) & 0xFF;
        g = (q >> 8) & 0xFF;
        b = q & 0xFF;
        break;
      }
      case 15:
      case 16: {
        const uint32_t v = row[x * 2] | (row[x * 2 + 1] << 8);
        if (p.bit_count == 15) {
          r = (v >> 10) & 31;
          g = (v >> 5) & 31;
          g = (g << 3) | (g >> 2);
        } else {
          r = (v >> 11) & 31;
          g = (v >> 5) & 63;
          g = (g << 2) | (g >> 4);
        }
        b = v & 31;
        r = (r << 3) | (r >> 2);
        b = (b << 3) | (b >> 2);
        break;
      }
      default: {
        const uint8_t* px = row + x * (p.bit_count / 8);
        b = px[0];
        g = px[1];
        r = px[2];
      }
    }
    *out++ = static_cast<uint8_t>(r);
    *out++ = static_cast<uint8_t>(g);
    *out++ = static_cast<uint8_t>(b);
    if (alpha != nullptr) *out++ = alpha[x];
  }
}

bool EncodePng(WriteHandles& h, const PngPicture& picture, int level, std::vector<uint8_t>* out,
               std::vector<uint8_t>* row) {
  png_structp png = h.png();
  png_infop info = h.info();
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_write_fn(png, out, WriteToMemory, FlushMemory);
  png_set_compression_level(png, level);
  // The Sub filter alone: on smooth pictures the files stay within a few per cent of
  // trying every filter on every row, in about three quarters of the time.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  const bool alpha = !picture.alpha.empty();
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < picture.height; ++y) {
    PackRow(picture, y, row->data());
    png_write_row(png, row->data());
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

PngPicture ReadPng(const uint8_t* data, size_t size, int32_t bit_count) {
  if (bit_count != 8 && bit_count != 24 && bit_count != 32) {
    throw KoruError(Format("PNG は %d ビットに読み込めません", bit_count));
  }
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) throw KoruError("PNG ファイルではありません");
  ErrorState errors;
  ReadHandles handles(&errors);
  MemoryReader reader{data, size, 0};
  Decoded decoded;
  std::vector<png_bytep> row_pointers;
  bool wrong_kind = false;
  if (!DecodePng(handles, &reader, bit_count, &decoded, &row_pointers, &wrong_kind)) {
    throw KoruError(std::string("PNG: ") + errors.message);
  }
  if (wrong_kind) throw KoruError("8 ビットで読み込めるのはパレットかグレーの PNG だけです");
  return ToPicture(decoded, bit_count);
}

std::vector<uint8_t> WritePng(const PngPicture& picture, int compression_level) {
  const int32_t bits = picture.bit_count;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) {
    throw KoruError(Format("%d ビットの画像は PNG にできません", bits));
  }
  if (picture.width < 1 || picture.height < 1 || picture.width > kMaxPngDimension ||
      picture.height > kMaxPngDimension) {
    throw KoruError(Format("%d x %d の画像は PNG にできません", picture.width, picture.height));
  }
  const int64_t stride = MuraRowBytes(picture.width, bits);
  const int64_t alpha_stride = MuraRowBytes(picture.width, 8);
  if (static_cast<int64_t>(picture.pixels.size()) != stride * picture.height ||
      (!picture.alpha.empty() &&
       static_cast<int64_t>(picture.alpha.size()) != alpha_stride * picture.height)) {
    throw KoruError("画像の大きさとプレーンの大きさが合いません");
  }
  ErrorState errors;
  WriteHandles handles(&errors);
  std::vector<uint8_t> out;
  std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 4);
  if (!EncodePng(handles, picture, compression_level, &out, &row)) {
    throw KoruError(std::string("PNG: ") + errors.message);
  }
  return out;
}

}  // namespace koru
