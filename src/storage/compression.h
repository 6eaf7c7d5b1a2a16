#pragma once

// Whole-stream zlib compression in place, for archive entries and image payloads.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/stream.h"

namespace koru {

// Level indexes: 0 store, 1 fastest, 2 zlib's default, 3 best.
inline constexpr int kCompressStore = 0;
inline constexpr int kCompressFastest = 1;
inline constexpr int kCompressDefault = 2;
inline constexpr int kCompressBest = 3;

// Replaces the stream's whole content (from position 0) with one zlib stream of it; the
// position is left at the end. Throws KoruError with zlib's message on failure.
void CompressStream(MemoryStream& stream, int level_index);

// Replaces the stream's content with the data of the zlib stream it holds; position 0.
// A zlib stream that ends early gives what was decoded up to that point; bytes behind its
// end are ignored. Invalid data throws KoruError with zlib's message ("data error"), and
// output beyond max_output "ファイルが破壊されています".
void DecompressStream(MemoryStream& stream, size_t max_output = SIZE_MAX);

// Decompresses a zlib stream of compressed_size bytes into dest at its position, reading
// and writing in pieces, so that neither side is held in memory whole. read(buffer, n)
// fills buffer with exactly n bytes or throws. Same rules as DecompressStream. Returns the
// bytes written.
int64_t InflateToStream(const std::function<void(uint8_t*, size_t)>& read, int64_t compressed_size,
                        Stream& dest, int64_t max_output = INT64_MAX);

// Decompresses a zlib stream held in memory into out (appending). Same rules as
// DecompressStream; max_output bounds the result (KoruError when exceeded).
void InflateBytes(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                  size_t max_output = SIZE_MAX);

// Decompresses a zlib stream held in memory straight into out[0..capacity), for callers
// that know the size to expect (no growing buffer, no zero-filling). Returns the bytes
// produced; a stream that ends early gives fewer. Throws KoruError("ファイルが破壊されて
// います") when the data would exceed capacity, and zlib's message for invalid data.
size_t InflateInto(const uint8_t* data, size_t size, uint8_t* out, size_t capacity);

// Hands out the data of a zlib stream held in memory piece by piece through a small
// buffer, for callers that place the output themselves (no buffer of the whole output).
class InflateReader {
 public:
  // The largest piece Take hands out at once.
  static constexpr size_t kMaxPiece = 1u << 17;

  // max_output bounds the whole output; more is refused with "ファイルが破壊されています".
  InflateReader(const uint8_t* data, size_t size, size_t max_output);
  ~InflateReader();
  InflateReader(const InflateReader&) = delete;
  InflateReader& operator=(const InflateReader&) = delete;

  // The next n bytes of output, valid until the next call; nullptr when the stream ends
  // before n more bytes (an early end is not an error by itself). Throws zlib's message
  // for invalid data, and "ファイルが破壊されています" for n above kMaxPiece.
  const uint8_t* Take(size_t n);
  // Decodes what is left, discarding it, so that invalid data or output beyond the bound
  // behind the last piece taken are still reported.
  void Finish();

 private:
  // Inflates into the free end of the buffer; false when the stream gives nothing more.
  bool Fill();

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace koru
