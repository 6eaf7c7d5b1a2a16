#include "platform/env_wrapper.h"

#include "base/error.h"

namespace koru::platform {

int64_t FaultyFile::Read(void* buffer, int64_t count) {
  ++reads_;
  if (plan_.fail_read_from > 0 && reads_ >= plan_.fail_read_from) {
    throw KoruError(kStreamReadError);
  }
  return FileWrapper::Read(buffer, count);
}

int64_t FaultyFile::Write(const void* buffer, int64_t count) {
  ++writes_;
  if (plan_.fail_write_from > 0 && writes_ >= plan_.fail_write_from) {
    throw KoruError(kStreamWriteError);
  }
  if (plan_.size_limit >= 0 && count > 0 && GetPosition() > plan_.size_limit - count) {
    throw KoruError(kStreamWriteError);
  }
  return FileWrapper::Write(buffer, count);
}

void FaultyFile::SetSize(int64_t size) {
  if (plan_.size_limit >= 0 && size > plan_.size_limit) throw KoruError(kStreamWriteError);
  FileWrapper::SetSize(size);
}

void FaultyFile::Flush() {
  if (plan_.fail_flush) throw KoruError(kStreamWriteError);
  FileWrapper::Flush();
}

}  // namespace koru::platform
