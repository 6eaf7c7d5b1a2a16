#pragma once

// A portable device-independent bitmap: 1, 4, 8, 16 (5-6-5 or 5-5-5), 24 or 32 bits per
// pixel, rows top-down in one block of memory, each row padded to a multiple of 4 bytes
// (the Windows DIB row length, so a BITMAPINFO with a negative height can describe the
// same memory), and a 256-entry colour table in BGRA order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace koru {

// A colour table entry, in the byte order of the DIB format.
struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
};

// Bit masks of the red, green and blue fields of 16- and 32-bit pixels.
struct TDIBPixelFormat {
  uint32_t RBitMask = 0xFF0000;
  uint32_t GBitMask = 0x00FF00;
  uint32_t BBitMask = 0x0000FF;
  bool operator==(const TDIBPixelFormat&) const = default;
};

inline constexpr TDIBPixelFormat kPixelFormat555{0x7C00, 0x03E0, 0x001F};
inline constexpr TDIBPixelFormat kPixelFormat565{0xF800, 0x07E0, 0x001F};
inline constexpr TDIBPixelFormat kPixelFormat888{0xFF0000, 0x00FF00, 0x0000FF};

// Limits on a picture, so that a damaged file can never ask for an unbounded allocation.
inline constexpr int kMaxDIBDimension = 16384;
inline constexpr int64_t kMaxDIBPixels = int64_t{1} << 26;

// Message of a picture size or bit count that cannot be.
inline constexpr const char* kDIBSizeError = "ファイルが破壊されています";

// True iff bit_count is 1, 4, 8, 16, 24 or 32.
bool IsValidDIBBitCount(int bit_count);
// True iff a picture of that size fits the limits above (0 x 0 is valid).
bool IsValidDIBSize(int width, int height);
// Bytes of one row: width x bit_count bits rounded up to a multiple of 4 bytes.
// REQUIRES: IsValidDIBSize(width, 1) and IsValidDIBBitCount(bit_count).
size_t DIBRowLength(int width, int bit_count);

// A Windows colour value: red in the low byte, then green, then blue.
inline constexpr uint32_t MakeWindowsColor(uint32_t r, uint32_t g, uint32_t b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// Raw pixel value of pixel x of a row at a bit count (1, 4, 8, 16, 24, 32), as Pixels[]
// reads and writes it; no range check.
inline uint32_t ReadRowPixel(const uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8:
      return row[x];
    case 16:
      return row[x * 2] | (row[x * 2 + 1] << 8);
    case 24:
      return row[x * 3] | (row[x * 3 + 1] << 8) | (static_cast<uint32_t>(row[x * 3 + 2]) << 16);
    default:
      return row[x * 4] | (row[x * 4 + 1] << 8) | (static_cast<uint32_t>(row[x * 4 + 2]) << 16) |
             (static_cast<uint32_t>(row[x * 4 + 3]) << 24);
  }
}

inline void WriteRowPixel(uint8_t* row, int x, int bits, uint32_t v) {
  switch (bits) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = (v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      uint8_t& byte = row[x >> 1];
      byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (v & 0x0F))
                     : static_cast<uint8_t>((byte & 0x0F) | ((v & 0x0F) << 4));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(v);
      break;
    case 16:
      row[x * 2] = static_cast<uint8_t>(v);
      row[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
      break;
    case 24:
      row[x * 3] = static_cast<uint8_t>(v);
      row[x * 3 + 1] = static_cast<uint8_t>(v >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(v >> 16);
      break;
    default:
      for (int i = 0; i < 4; ++i) row[x * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
      break;
  }
}

class TDIB;

// Allocator of pixel memory: elements are default-initialised, so that memory every byte
// of which is written anyway is neither zero-filled nor touched before it is written.
template <typename T>
struct TDIBAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = TDIBAllocator<U>;
  };
  TDIBAllocator() = default;
  template <typename U>
  TDIBAllocator(const TDIBAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Writes every pixel of from into to (same size), through its colour: to's RgbToPixel,
// with the nearest-palette searches of a palette target cached by colour so that a large
// picture of few colours converts in linear time.
// REQUIRES: to.Width() == from.Width() and to.Height() == from.Height().
void ConvertDIBPixels(const TDIB& from, TDIB& to);

class TDIB {
 public:
  TDIB();
  virtual ~TDIB();
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;
  TDIB(TDIB&&) noexcept = default;
  TDIB& operator=(TDIB&&) noexcept = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitCount() const { return bit_count_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  // Allocates a picture of that size (pixels zeroed) with the current pixel format;
  // bit_count 15 means 16 with 5-5-5 masks. Throws KoruError(kDIBSizeError) for a bit count other
  // than 1, 4, 8, 16, 24, 32 or a size outside the limits; the picture is then unchanged.
  virtual void SetSize(int width, int height, int bit_count);
  // SetSize without zeroing the pixels, for callers that write every pixel before anything
  // reads one: the pixel bytes are unspecified; only what follows a row's last whole byte of
  // pixels (a partly used byte and the padding) is zeroed. Not virtual: the pixel format is
  // the current one.
  void SetSizeForOverwrite(int width, int height, int bit_count);
  // Empties the picture (0 x 0, bit count kept).
  virtual void Clear();
  // Change one dimension, keeping the bit count and masks (8 bits when the picture is
  // 0 x 0); the pixels are reallocated (zeroed).
  void SetWidth(int width);
  void SetHeight(int height);

  // Masks used by the next SetSize of a 16- or 32-bit picture.
  const TDIBPixelFormat& PixelFormat() const { return format_; }
  void SetPixelFormat(const TDIBPixelFormat& format) { format_ = format; }

  // Row y (0 = top). REQUIRES: 0 <= y < Height().
  uint8_t* ScanLine(int y) { return bits_.data() + static_cast<size_t>(y) * row_length_; }
  const uint8_t* ScanLine(int y) const {
    return bits_.data() + static_cast<size_t>(y) * row_length_;
  }
  // Signed step from one row to the next (rows are stored top-down).
  ptrdiff_t RowStep() const { return static_cast<ptrdiff_t>(row_length_); }
  size_t RowLength() const { return row_length_; }
  uint8_t* Bits() { return bits_.data(); }
  const uint8_t* Bits() const { return bits_.data(); }
  size_t ImageSize() const { return bits_.size(); }

  std::array<TRGBQuad, 256>& ColorTable() { return color_table_; }
  const std::array<TRGBQuad, 256>& ColorTable() const { return color_table_; }
  // Tells the picture that the colour table changed. In memory the table is the
  // palette; the counter lets a device-side view know when to rebuild its own.
  void UpdatePalette() { ++palette_revision_; }
  uint32_t PaletteRevision() const { return palette_revision_; }

  // Raw pixel value (palette index; 16-bit word; 0xRRGGBB at 24 bits; 32-bit word).
  // Coordinates outside the picture read 0 and write nothing; values are masked to the
  // pixel width on writing.
  uint32_t GetPixel(int x, int y) const;
  void SetPixel(int x, int y, uint32_t value);

  // The Windows colour of a pixel value: the colour-table entry at 8 bits and below, the
  // 5- or 6-bit fields scaled to 0..255 at 16 bits, 0xRRGGBB reordered at 24 and 32.
  uint32_t PixelToColor(uint32_t pixel) const;
  // The pixel value for 8-bit components: nearest colour-table entry at 8 bits and below
  // (first of equally near ones, over the 2^BitCount entries), components scaled to the
  // field widths with rounding at 16 bits (c * max / 255), R*65536 + G*256 + B at 24/32.
  uint32_t RgbToPixel(uint8_t r, uint8_t g, uint8_t b) const;
  // Index of the colour-table entry nearest to (r, g, b) among the first count entries.
  int NearestPaletteIndex(uint8_t r, uint8_t g, uint8_t b, int count) const;

  // Changes the bit count keeping the picture (15 means 16 with 5-5-5 masks, 16 means
  // 5-6-5). Targets of 8 bits and below map every colour to the nearest entry of the
  // current colour table.
  void ChangeBitCount(int bit_count);

  // Becomes a copy of other (pixels, format, colour table).
  void Assign(const TDIB& other);
  // Exchanges the pixel memory with other, nothing else.
  // REQUIRES: both have the same width, height, bit count and pixel format.
  void SwapPixels(TDIB& other) noexcept { bits_.swap(other.bits_); }

 private:
  int SizingBitCount() const;
  void Allocate(int width, int height, int bit_count, bool zero);

  int width_ = 0;
  int height_ = 0;
  int bit_count_ = 8;
  size_t row_length_ = 0;
  TDIBPixelFormat format_;
  std::vector<uint8_t, TDIBAllocator<uint8_t>> bits_;
  std::array<TRGBQuad, 256> color_table_{};
  uint32_t palette_revision_ = 0;
};

}  // namespace koru
