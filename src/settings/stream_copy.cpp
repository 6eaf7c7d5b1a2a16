#include "settings/stream_copy.h"

#include <algorithm>
#include <limits>
#include <new>

#include "base/error.h"

namespace koru {

std::unique_ptr<uint8_t[]> AllocateCopyBuffer(int64_t wanted, const CopyBufferAllocator& allocate,
                                              int64_t* size) {
  int64_t length = std::min(wanted, kCopyBufferMax);
  while (true) {
    try {
      auto buffer = allocate(static_cast<size_t>(length));
      *size = length;
      return buffer;
    } catch (const std::bad_alloc&) {
      length -= kCopyBufferStep;
      if (length <= 0) throw;
    }
  }
}

namespace {

std::unique_ptr<uint8_t[]> AllocateUninitialised(size_t size) {
  return std::make_unique_for_overwrite<uint8_t[]>(size);
}

// The bytes of an in-memory source, or null.
const uint8_t* MemoryOf(Stream& source) {
  if (MemoryStream* memory = source.AsMemoryStream()) return memory->Data();
  if (auto* read_only = dynamic_cast<ReadOnlyMemoryStream*>(&source)) return read_only->Data();
  return nullptr;
}

}  // namespace

int64_t CopyStreamData(Stream& target, Stream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
    if (count == 0) return 0;
  }
  // A source shorter than count would otherwise leave the loop waiting for bytes that
  // never come (or, for a memory source, read past its end).
  if (count < 0 || count > source.Remaining()) throw KoruError(kStreamReadError);

  // Memory sources (a memory stream, a module resource) are written from their memory.
  // Writing a memory stream from its own memory could move the bytes under the write.
  if (const uint8_t* memory = MemoryOf(source); memory != nullptr && &target != &source) {
    const int64_t position = source.GetPosition();
    target.WriteExact(memory + position, count);
    source.SetPosition(position + count);
    return count;
  }

  // A memory target is read into directly: one pass over the bytes instead of two.
  if (MemoryStream* memory = target.AsMemoryStream(); memory != nullptr && &target != &source) {
    const int64_t position = memory->GetPosition();
    const int64_t old_size = memory->GetSize();
    if (position > std::numeric_limits<int64_t>::max() - count) throw KoruError(kStreamWriteError);
    const int64_t end = position + count;
    if (end > memory->GetSize()) memory->SetSize(end);
    int64_t done = 0;
    try {
      while (done < count) {
        const int64_t n = source.Read(memory->Data() + position + done, count - done);
        if (n <= 0) throw KoruError(kStreamReadError);
        done += n;
      }
    } catch (...) {
      // Keep what was read, as a write of each piece would have.
      memory->SetSize(std::max(old_size, position + done));
      memory->SetPosition(position + done);
      throw;
    }
    memory->SetPosition(end);
    return count;
  }

  int64_t buffer_size = 0;
  const auto buffer = AllocateCopyBuffer(count, AllocateUninitialised, &buffer_size);
  int64_t left = count;
  while (left > 0) {
    const int64_t n = source.Read(buffer.get(), std::min(buffer_size, left));
    if (n <= 0) throw KoruError(kStreamReadError);
    target.WriteExact(buffer.get(), n);
    left -= n;
  }
  return count;
}

}  // namespace koru
