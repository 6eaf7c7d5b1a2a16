#include <zlib.h>

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

constexpr int64_t kChecksumBuffer = 0x100000;

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, int64_t size) {
  uLong value = crc;
  while (size > 0) {
    // zlib counts in 32-bit units.
    const uInt piece = static_cast<uInt>(std::min<int64_t>(size, 1 << 30));
    value = crc32(value, data, piece);
    data += piece;
    size -= piece;
  }
  return static_cast<uint32_t>(value);
}

// Reads the archive forward through one window: entries of a few KiB lie side by side, and
// a system call per entry would cost more than their checksums.
class ReadAhead {
 public:
  // The window is no larger than the archive: a small one is checked at every start of
  // the setup program and needs no megabyte of zeros.
  explicit ReadAhead(TKwBigStream& stream)
      : stream_(stream),
        buffer_(static_cast<size_t>(std::clamp<int64_t>(stream.GetSize(), 1, kChecksumBuffer))) {}

  // The CRC-32 of count bytes at offset; throws KoruError where they cannot all be read.
  uint32_t Crc(int64_t offset, int64_t count) {
    uint32_t crc = 0;
    while (count > 0) {
      if (offset < window_start_ || offset >= window_start_ + window_size_) Fill(offset);
      const int64_t skip = offset - window_start_;
      const int64_t piece = std::min(count, window_size_ - skip);
      crc = Crc32Update(crc, buffer_.data() + skip, piece);
      offset += piece;
      count -= piece;
    }
    return crc;
  }

 private:
  void Fill(int64_t offset) {
    window_size_ = 0;
    stream_.SetPosition(offset);
    if (stream_.GetPosition() != offset) throw KoruError(kStreamReadError);
    const int64_t piece = std::min(static_cast<int64_t>(buffer_.size()), stream_.Remaining());
    // A stream that ran out must not keep us waiting for bytes that never come.
    if (piece <= 0) throw KoruError(kStreamReadError);
    stream_.ReadExact(buffer_.data(), piece);
    window_start_ = offset;
    window_size_ = piece;
  }

  TKwBigStream& stream_;
  std::vector<uint8_t> buffer_;
  int64_t window_start_ = 0;
  int64_t window_size_ = 0;
};

// A stream that keeps only the CRC-32 of what is written to it, in order.
class Crc32Sink : public Stream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    crc_ = Crc32Update(crc_, static_cast<const uint8_t*>(buffer), count);
    size_ += count;
    return count;
  }
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return size_; }
  void SetPosition(int64_t) override {}
  void SetSize(int64_t) override {}
  uint32_t Crc() const { return crc_; }

 private:
  uint32_t crc_ = 0;
  int64_t size_ = 0;
};

}  // namespace

uint32_t TVrFileCollection::ContentCrc32(const TVrFile& entry) {
  Crc32Sink sink;
  ExtractEntry(entry, sink);
  return sink.Crc();
}

uint32_t StreamCrc32(Stream& stream) {
  stream.SetPosition(0);
  if (MemoryStream* memory = stream.AsMemoryStream()) {
    memory->SetPosition(memory->GetSize());
    return Crc32Update(0, memory->Data(), memory->GetSize());
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(kChecksumBuffer));
  uint32_t crc = 0;
  while (true) {
    const int64_t got = stream.Read(buffer.data(), kChecksumBuffer);
    if (got <= 0) break;
    crc = Crc32Update(crc, buffer.data(), got);
  }
  return crc;
}

uint32_t BigStreamCrc32(TKwBigStream& stream, int64_t count, void* buffer, int64_t buffer_size) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t crc = 0;
  while (count > 0) {
    const int64_t piece = std::min({buffer_size, stream.Remaining(), count});
    // A stream that ran out must not keep us waiting for bytes that never come.
    if (piece <= 0) throw KoruError(kStreamReadError);
    stream.ReadExact(bytes, piece);
    crc = Crc32Update(crc, bytes, piece);
    count -= piece;
  }
  return crc;
}

bool TVrFileCollection::VerifyChecksums() {
  if (archive_stream_ == nullptr) return false;
  ReadAhead reader(*archive_stream_);
  const int end_marker = IndexOf(kEndMarkerName);
  const int count = Count() - (end_marker >= 0 ? 1 : 0);
  for (int n = 0; n < Count(); ++n) {
    if (n == end_marker) continue;
    TVrFile& entry = Entry(n);
    if (n % 10 == 9 && Progress(entry, entry.Size, n, count)) return true;
    if (entry.Crc == 0 || (!entry.Name().empty() && entry.Name()[0] == '/')) continue;
    uint32_t crc = 0;
    try {
      if (entry.SeparateFile && !entry.Uncompressed) {
        // A separate file's checksum covers its content as installed; stored as is, the
        // stored bytes are that content and are checked in place below.
        crc = ContentCrc32(entry);
      } else {
        crc = reader.Crc(entry.Offset, entry.Size);
      }
    } catch (const KoruError&) {
      // Bytes that cannot be read (a cut file, a damaged zlib stream) do not match.
      return false;
    }
    if (crc != entry.Crc) return false;
  }
  return true;
}

}  // namespace koru
