#include "imaging/mura_writer_planes.h"

#include <cstring>
#include <unordered_map>

#include "base/binary_io.h"
#include "storage/compression.h"
#include "storage/rands.h"

namespace koru::mura_internal {
namespace {

constexpr size_t kBlockReferenceBytes = 8;
constexpr int32_t kLiteralBlock = -1;
constexpr int32_t kSamePlaneBlock = -2;

struct BlockGrid {
  int32_t block_width;
  int32_t block_height;
  int32_t columns;
  int32_t rows;
  int32_t Count() const { return columns * rows; }
};

// One block of a plane: where its rows start and how many bytes each carries.
struct BlockSpan {
  const uint8_t* first;
  int64_t stride;
  size_t row_bytes;
  int32_t rows;
  int32_t width;  // in pixels, to tell edge blocks apart

  bool operator==(const BlockSpan& other) const {
    if (row_bytes != other.row_bytes || rows != other.rows || width != other.width) return false;
    for (int32_t r = 0; r < rows; ++r) {
      if (std::memcmp(first + r * stride, other.first + r * other.stride, row_bytes) != 0) {
        return false;
      }
    }
    return true;
  }
};

BlockSpan SpanOf(const PlaneView& plane, const BlockGrid& grid, int32_t slot) {
  const int bits = MuraStorageBits(plane.bit_count);
  const int32_t x = (slot % grid.columns) * grid.block_width;
  const int32_t y = (slot / grid.columns) * grid.block_height;
  const int32_t width = std::min(grid.block_width, plane.width - x);
  const int32_t height = std::min(grid.block_height, plane.height - y);
  BlockSpan span;
  span.first = plane.data + y * plane.stride + static_cast<int64_t>(x) * bits / 8;
  span.stride = plane.stride;
  span.row_bytes = static_cast<size_t>((static_cast<int64_t>(width) * bits + 7) / 8);
  span.rows = height;
  span.width = width;
  return span;
}

// A 64-bit mix of a block's bytes and shape; equal blocks always hash alike.
uint64_t HashSpan(const BlockSpan& span) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(span.width) << 32) ^
               static_cast<uint64_t>(span.rows);
  for (int32_t r = 0; r < span.rows; ++r) {
    const uint8_t* p = span.first + r * span.stride;
    size_t n = span.row_bytes;
    while (n >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      h = (h ^ word) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 29;
      p += 8;
      n -= 8;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p, n);
    h = (h ^ tail ^ (static_cast<uint64_t>(n) << 56)) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 32;
  }
  return h;
}

void AppendReference(std::vector<uint8_t>* out, int32_t source, int32_t index) {
  uint8_t bytes[kBlockReferenceBytes];
  StoreUInt32(bytes, static_cast<uint32_t>(source));
  StoreUInt32(bytes + 4, static_cast<uint32_t>(index));
  out->insert(out->end(), bytes, bytes + kBlockReferenceBytes);
}

}  // namespace

std::vector<uint32_t> ScrambledOrder(uint32_t code, uint32_t count) {
  TKwRandom random(code);
  random.InitPool(count);
  std::vector<uint32_t> order(count);
  for (uint32_t k = 0; k < count; ++k) order[k] = random.NextFromPool();
  return order;
}

PlaneEncoder::PlaneEncoder(const MuraWriteOptions& options) : options_(options) {}

void PlaneEncoder::Compress(std::vector<uint8_t>* bytes) const {
  MemoryStream stream(std::move(*bytes));
  CompressStream(stream, options_.comp_level);
  *bytes = stream.Release();
}

std::vector<uint8_t> PlaneEncoder::Encode(const PlaneView& plane, PlaneKind kind, int32_t frame,
                                          int32_t layer) {
  if (options_.version < 103) return EncodeOldRows(plane);
  if (options_.comp_type == MuraCompType::kJpeg && kind == PlaneKind::kColor) {
    return EncodeMuraJpeg(plane.data, plane.width, plane.height, options_.jpeg_quality);
  }
  const bool block_mode = options_.block_width > 0 && options_.block_height > 0 &&
                          options_.comp_type != MuraCompType::kJpeg;
  if (block_mode) return EncodeBlocks(plane, kind, frame, layer);
  return EncodeRows(plane, kind);
}

std::vector<uint8_t> PlaneEncoder::EncodeOldRows(const PlaneView& plane) const {
  const size_t stride = static_cast<size_t>(plane.stride);
  const size_t raw_size = stride * static_cast<size_t>(plane.height);
  std::vector<uint8_t> out;
  if (options_.randomized || options_.comp_type == MuraCompType::kNone) {
    // The reader takes a payload of exactly the plane's size as uncompressed rows in the
    // order of its identification code.
    const auto order =
        ScrambledOrder(options_.identification_code, static_cast<uint32_t>(plane.height));
    out.resize(raw_size);
    for (size_t k = 0; k < order.size(); ++k) {
      std::memcpy(out.data() + k * stride, plane.data + order[k] * stride, stride);
    }
    return out;
  }
  out.assign(plane.data, plane.data + raw_size);
  Compress(&out);
  // A zlib stream exactly as long as the raw plane would be taken for raw rows; the
  // reader ignores bytes behind the zlib stream, so one more byte settles it.
  if (out.size() == raw_size) out.push_back(0);
  return out;
}

std::vector<uint8_t> PlaneEncoder::EncodeRows(const PlaneView& plane, PlaneKind kind) const {
  const size_t stride = static_cast<size_t>(plane.stride);
  std::vector<uint8_t> out(stride * static_cast<size_t>(plane.height));
  const bool scrambled = options_.randomized && options_.comp_type != MuraCompType::kJpeg;
  if (scrambled) {
    const auto order =
        ScrambledOrder(options_.identification_code, static_cast<uint32_t>(plane.height));
    for (size_t k = 0; k < order.size(); ++k) {
      std::memcpy(out.data() + k * stride, plane.data + order[k] * stride, stride);
    }
  } else if (!out.empty()) {
    std::memcpy(out.data(), plane.data, out.size());
  }
  const bool compressed = options_.comp_type == MuraCompType::kZlib ||
                          (options_.comp_type == MuraCompType::kJpeg && kind == PlaneKind::kAlpha);
  if (compressed) Compress(&out);
  return out;
}

std::vector<uint8_t> PlaneEncoder::EncodeBlocks(const PlaneView& plane, PlaneKind kind,
                                                int32_t frame, int32_t layer) {
  BlockGrid grid;
  grid.block_width = options_.block_width;
  grid.block_height = options_.block_height;
  grid.columns = (plane.width + grid.block_width - 1) / grid.block_width;
  grid.rows = (plane.height + grid.block_height - 1) / grid.block_height;
  const int32_t count = grid.Count();

  EarlierPlane record{plane, kind, frame, layer, {}};
  record.block_hashes.resize(static_cast<size_t>(count));

  // Candidates: earlier planes of the same kind and the same geometry.
  std::vector<const EarlierPlane*> candidates;
  if (options_.reuse_blocks_across_layers) {
    for (const EarlierPlane& earlier : earlier_) {
      // A reader that finishes frames while keeping layers turns the layers of palette
      // frames into 24-bit pictures before the next frame is read; such planes can then
      // no longer be referred to, so palette frames refer only to their own layers.
      const bool palette_elsewhere = plane.bit_count <= 8 && earlier.frame != frame;
      if (earlier.kind == kind && earlier.view.width == plane.width &&
          earlier.view.height == plane.height && earlier.view.bit_count == plane.bit_count &&
          !palette_elsewhere) {
        candidates.push_back(&earlier);
      }
    }
  }

  std::vector<uint8_t> references;
  references.reserve(static_cast<size_t>(count) * kBlockReferenceBytes);
  std::vector<uint8_t> literals;
  std::unordered_multimap<uint64_t, int32_t> seen;  // hash -> earlier slot of this plane
  for (int32_t slot = 0; slot < count; ++slot) {
    const BlockSpan span = SpanOf(plane, grid, slot);
    const uint64_t hash = HashSpan(span);
    record.block_hashes[static_cast<size_t>(slot)] = hash;

    bool referenced = false;
    for (const EarlierPlane* earlier : candidates) {
      if (earlier->block_hashes[static_cast<size_t>(slot)] == hash &&
          SpanOf(earlier->view, grid, slot) == span) {
        AppendReference(&references, earlier->frame, earlier->layer);
        referenced = true;
        break;
      }
    }
    if (!referenced && options_.reuse_blocks_in_plane) {
      const auto [first, last] = seen.equal_range(hash);
      for (auto it = first; it != last; ++it) {
        if (SpanOf(plane, grid, it->second) == span) {
          AppendReference(&references, kSamePlaneBlock, it->second);
          referenced = true;
          break;
        }
      }
      if (!referenced) seen.emplace(hash, slot);
    }
    if (referenced) continue;
    AppendReference(&references, kLiteralBlock, 0);
    for (int32_t r = 0; r < span.rows; ++r) {
      const uint8_t* row = span.first + r * span.stride;
      literals.insert(literals.end(), row, row + span.row_bytes);
    }
  }

  std::vector<uint8_t> out;
  out.reserve(references.size() + literals.size());
  if (options_.randomized) {
    const auto order = ScrambledOrder(options_.identification_code, static_cast<uint32_t>(count));
    for (uint32_t k = 0; k < order.size(); ++k) {
      const uint8_t* reference = references.data() + order[k] * kBlockReferenceBytes;
      out.insert(out.end(), reference, reference + kBlockReferenceBytes);
    }
  } else {
    out = std::move(references);
  }
  out.insert(out.end(), literals.begin(), literals.end());
  if (options_.comp_type == MuraCompType::kZlib) Compress(&out);
  earlier_.push_back(std::move(record));
  return out;
}

}  // namespace koru::mura_internal
