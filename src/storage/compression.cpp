#include "storage/compression.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "base/error.h"

namespace koru {
namespace {

constexpr size_t kDecompressChunkSize = 1000000;

int ZlibLevel(int level_index) {
  switch (level_index) {
    case kCompressStore:
      return 0;
    case kCompressFastest:
      return 1;
    case kCompressBest:
      return 9;
    default:
      return Z_DEFAULT_COMPRESSION;
  }
}

[[noreturn]] void ThrowZlib(const z_stream& z, int code) {
  if (z.msg != nullptr) throw KoruError(z.msg);
  throw KoruError(zError(code));
}

// Owns an inflate or deflate state.
class ZStream {
 public:
  explicit ZStream(bool deflate) : deflate_(deflate) { std::memset(&z_, 0, sizeof(z_)); }
  ~ZStream() {
    if (!initialised_) return;
    if (deflate_) {
      deflateEnd(&z_);
    } else {
      inflateEnd(&z_);
    }
  }
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;
  z_stream& get() { return z_; }
  void MarkInitialised() { initialised_ = true; }

 private:
  z_stream z_;
  bool deflate_;
  bool initialised_ = false;
};

}  // namespace

void CompressStream(MemoryStream& stream, int level_index) {
  ZStream holder(/*deflate=*/true);
  z_stream& z = holder.get();
  int code = deflateInit(&z, ZlibLevel(level_index));
  if (code != Z_OK) ThrowZlib(z, code);
  holder.MarkInitialised();

  const std::vector<uint8_t>& input = stream.Bytes();
  std::vector<uint8_t> output(deflateBound(&z, static_cast<uLong>(input.size())));
  size_t consumed = 0;
  size_t produced = 0;
  do {
    // zlib counts in 32-bit units; feed large inputs in pieces.
    const size_t in_piece = std::min<size_t>(input.size() - consumed, 1u << 30);
    z.next_in = const_cast<Bytef*>(input.data() + consumed);
    z.avail_in = static_cast<uInt>(in_piece);
    const bool last = consumed + in_piece == input.size();
    do {
      if (output.size() - produced < 65536) output.resize(output.size() + (1u << 20));
      const size_t out_piece = std::min<size_t>(output.size() - produced, 1u << 30);
      z.next_out = output.data() + produced;
      z.avail_out = static_cast<uInt>(out_piece);
      code = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      if (code == Z_STREAM_ERROR) ThrowZlib(z, code);
      produced += out_piece - z.avail_out;
    } while (z.avail_out == 0 || (last && code != Z_STREAM_END));
    consumed += in_piece - z.avail_in;
  } while (consumed < input.size());
  output.resize(produced);
  stream.Assign(std::move(output));
  stream.SetPosition(stream.GetSize());
}

void InflateBytes(const uint8_t* data, size_t size, std::vector<uint8_t>* out, size_t max_output) {
  ZStream holder(/*deflate=*/false);
  z_stream& z = holder.get();
  int code = inflateInit(&z);
  if (code != Z_OK) ThrowZlib(z, code);
  holder.MarkInitialised();

  size_t consumed = 0;
  const size_t start = out->size();
  while (true) {
    const size_t in_piece = std::min<size_t>(size - consumed, 1u << 30);
    z.next_in = const_cast<Bytef*>(data + consumed);
    z.avail_in = static_cast<uInt>(in_piece);
    const size_t before = out->size();
    // One byte beyond the bound is asked for, so that output of exactly max_output bytes
    // is told apart from output that exceeds it.
    const size_t room = max_output - (before - start);
    // The buffer grows with what was produced, so that a small stream costs no megabyte
    // of zero-filling.
    const size_t step =
        std::clamp<size_t>(std::max(before - start, size / 4 * 16), 16384, kDecompressChunkSize);
    const size_t chunk = room >= step ? step : room + 1;
    out->resize(before + chunk);
    z.next_out = out->data() + before;
    z.avail_out = static_cast<uInt>(chunk);
    code = inflate(&z, Z_NO_FLUSH);
    out->resize(before + chunk - z.avail_out);
    consumed += in_piece - z.avail_in;
    if (out->size() - start > max_output) throw KoruError("ファイルが破壊されています");
    if (code == Z_STREAM_END) return;
    if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR ||
        code == Z_STREAM_ERROR) {
      if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
      ThrowZlib(z, code);
    }
    // Z_BUF_ERROR with no input left: the stream ended early; keep what was decoded.
    const bool made_progress = out->size() > before || z.avail_in < in_piece;
    if (!made_progress && consumed >= size) return;
    if (!made_progress && code == Z_BUF_ERROR) return;
  }
}

size_t InflateInto(const uint8_t* data, size_t size, uint8_t* out, size_t capacity) {
  ZStream holder(/*deflate=*/false);
  z_stream& z = holder.get();
  int code = inflateInit(&z);
  if (code != Z_OK) ThrowZlib(z, code);
  holder.MarkInitialised();

  size_t consumed = 0;
  size_t produced = 0;
  while (true) {
    const size_t in_piece = std::min<size_t>(size - consumed, 1u << 30);
    z.next_in = const_cast<Bytef*>(data + consumed);
    z.avail_in = static_cast<uInt>(in_piece);
    uint8_t probe = 0;
    // Once the buffer is full, a one-byte probe tells a stream that ends exactly there
    // from one that has more to give.
    const bool full = produced == capacity;
    const size_t room = full ? 1 : std::min<size_t>(capacity - produced, 1u << 30);
    z.next_out = full ? &probe : out + produced;
    z.avail_out = static_cast<uInt>(room);
    code = inflate(&z, Z_NO_FLUSH);
    const size_t made = room - z.avail_out;
    consumed += in_piece - z.avail_in;
    if (full && made > 0) throw KoruError("ファイルが破壊されています");
    if (!full) produced += made;
    if (code == Z_STREAM_END) return produced;
    if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR ||
        code == Z_STREAM_ERROR) {
      if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
      ThrowZlib(z, code);
    }
    // No progress: the stream ended early; keep what was decoded.
    if (made == 0 && z.avail_in == in_piece) return produced;
  }
}

struct InflateReader::State {
  ZStream holder{/*deflate=*/false};
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t consumed = 0;
  size_t max_output = 0;
  size_t produced = 0;
  bool ended = false;
  // Output not handed out yet lies in buffer[begin, end).
  std::unique_ptr<uint8_t[]> buffer = std::make_unique_for_overwrite<uint8_t[]>(2 * kMaxPiece);
  size_t begin = 0;
  size_t end = 0;
};

InflateReader::InflateReader(const uint8_t* data, size_t size, size_t max_output)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.data = data;
  s.size = size;
  s.max_output = max_output;
  z_stream& z = s.holder.get();
  const int code = inflateInit(&z);
  if (code != Z_OK) ThrowZlib(z, code);
  s.holder.MarkInitialised();
}

InflateReader::~InflateReader() = default;

bool InflateReader::Fill() {
  State& s = *state_;
  if (s.ended) return false;
  z_stream& z = s.holder.get();
  const size_t in_piece = std::min<size_t>(s.size - s.consumed, 1u << 30);
  z.next_in = const_cast<Bytef*>(s.data + s.consumed);
  z.avail_in = static_cast<uInt>(in_piece);
  const size_t room = 2 * kMaxPiece - s.end;
  z.next_out = s.buffer.get() + s.end;
  z.avail_out = static_cast<uInt>(room);
  int code = inflate(&z, Z_NO_FLUSH);
  const size_t made = room - z.avail_out;
  s.consumed += in_piece - z.avail_in;
  s.end += made;
  s.produced += made;
  if (s.produced > s.max_output) throw KoruError("ファイルが破壊されています");
  if (code == Z_STREAM_END) s.ended = true;
  if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR ||
      code == Z_STREAM_ERROR) {
    if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
    ThrowZlib(z, code);
  }
  // No progress at all: the stream ended early.
  if (made == 0 && z.avail_in == in_piece) s.ended = true;
  return made > 0 || !s.ended;
}

const uint8_t* InflateReader::Take(size_t n) {
  State& s = *state_;
  if (n > kMaxPiece) throw KoruError("ファイルが破壊されています");
  if (s.end - s.begin < n) {
    // Keep what is left at the front, then fill up to the end of the buffer.
    std::memmove(s.buffer.get(), s.buffer.get() + s.begin, s.end - s.begin);
    s.end -= s.begin;
    s.begin = 0;
    while (s.end < n && Fill()) {
    }
    if (s.end < n) return nullptr;
  }
  const uint8_t* piece = s.buffer.get() + s.begin;
  s.begin += n;
  return piece;
}

void InflateReader::Finish() {
  State& s = *state_;
  do {
    s.begin = 0;
    s.end = 0;
  } while (Fill());
}

void DecompressStream(MemoryStream& stream, size_t max_output) {
  std::vector<uint8_t> output;
  InflateBytes(stream.Data(), stream.Bytes().size(), &output, max_output);
  stream.Assign(std::move(output));
}

int64_t InflateToStream(const std::function<void(uint8_t*, size_t)>& read, int64_t compressed_size,
                        Stream& dest, int64_t max_output) {
  constexpr size_t kPiece = 1u << 18;
  ZStream holder(/*deflate=*/false);
  z_stream& z = holder.get();
  int code = inflateInit(&z);
  if (code != Z_OK) ThrowZlib(z, code);
  holder.MarkInitialised();

  int64_t left = std::max<int64_t>(compressed_size, 0);
  // Buffers in proportion to the entry, not filled beforehand: archives hold thousands of
  // small entries, and two zeroed 256 KiB blocks per entry would cost more than their data.
  const size_t input_size = static_cast<size_t>(std::clamp<int64_t>(left, 1, kPiece));
  const size_t output_size =
      static_cast<size_t>(std::clamp<int64_t>(left, int64_t{1} << 12, kPiece / 8) * 8);
  const auto input = std::make_unique_for_overwrite<uint8_t[]>(input_size);
  const auto output = std::make_unique_for_overwrite<uint8_t[]>(output_size);
  int64_t written = 0;
  while (true) {
    if (z.avail_in == 0 && left > 0) {
      const size_t piece = static_cast<size_t>(std::min<int64_t>(left, input_size));
      read(input.get(), piece);
      left -= static_cast<int64_t>(piece);
      z.next_in = input.get();
      z.avail_in = static_cast<uInt>(piece);
    }
    const uInt in_before = z.avail_in;
    z.next_out = output.get();
    z.avail_out = static_cast<uInt>(output_size);
    code = inflate(&z, Z_NO_FLUSH);
    const size_t produced = output_size - z.avail_out;
    if (static_cast<int64_t>(produced) > max_output - written) {
      throw KoruError("ファイルが破壊されています");
    }
    if (produced > 0) dest.WriteExact(output.get(), static_cast<int64_t>(produced));
    written += static_cast<int64_t>(produced);
    if (code == Z_STREAM_END) return written;
    if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR ||
        code == Z_STREAM_ERROR) {
      if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
      ThrowZlib(z, code);
    }
    // No progress with nothing left to read: the stream ended early; keep what was decoded.
    const bool made_progress = produced > 0 || z.avail_in < in_before;
    if (!made_progress && left == 0) return written;
  }
}

}  // namespace koru
