#pragma once

// The copy between ordinary streams that the storage layer and the image reader share.

#include <cstdint>
#include <functional>
#include <memory>

#include "base/stream.h"

namespace koru {

// Largest buffer a copy takes, and the step by which it asks for less when memory is short.
inline constexpr int64_t kCopyBufferMax = 10 * 1024 * 1024;
inline constexpr int64_t kCopyBufferStep = 1024 * 1024;

// Copies count bytes from the source's position to the target's position and returns
// count. A count of 0 means the whole source from its start (its position is set to 0
// first). An in-memory source (MemoryStream, ReadOnlyMemoryStream) is written straight
// from its memory; any other goes through one buffer of at most kCopyBufferMax bytes.
// Throws KoruError(kStreamReadError) when the source holds fewer than count bytes after
// its position (or count is negative), and std::bad_alloc when not even a buffer below
// kCopyBufferStep can be had.
int64_t CopyStreamData(Stream& target, Stream& source, int64_t count);

// Allocates the copy buffer: wanted bytes (at most kCopyBufferMax), asking for
// kCopyBufferStep less after each std::bad_alloc; rethrows when nothing is left.
// *size receives the size obtained. allocate is the allocation call (a seam for tests).
using CopyBufferAllocator = std::function<std::unique_ptr<uint8_t[]>(size_t)>;
std::unique_ptr<uint8_t[]> AllocateCopyBuffer(int64_t wanted, const CopyBufferAllocator& allocate,
                                              int64_t* size);

}  // namespace koru
