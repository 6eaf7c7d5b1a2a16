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

}  // namespace

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
  std::vector<uint8_t> buffer(static_cast<size_t>(kChecksumBuffer));
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
        MemoryStream content;
        ExtractEntry(entry, content);
        crc = StreamCrc32(content);
      } else {
        archive_stream_->SetPosition(entry.Offset);
        if (archive_stream_->GetPosition() != entry.Offset) return false;
        crc = BigStreamCrc32(*archive_stream_, entry.Size, buffer.data(), kChecksumBuffer);
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
