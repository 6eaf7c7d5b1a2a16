#include "storage/bigstreams.h"

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "settings/paths.h"
#include "settings/stream_copy.h"

namespace koru {
namespace {

// The buffer of copies between big streams. Larger buffers no longer fit the processor's
// cache: a 10 MiB one made archive copies two to four times slower than 1 MiB.
constexpr int64_t kCopyBufferSize = 0x100000;
constexpr const char* kCorruptError = "ファイルが破壊されています";

int AccessBits(uint16_t mode) { return mode == kModeCreate ? -1 : (mode & 0x0F); }

}  // namespace

void TKwBigStream::ReadExact(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw KoruError(kStreamReadError);
}

void TKwBigStream::WriteExact(const void* buffer, int64_t count) {
  if (count < 0 || Write(buffer, count) != count) throw KoruError(kStreamWriteError);
}

int64_t TKwBigStream::Remaining() {
  const int64_t left = GetSize() - GetPosition();
  return left > 0 ? left : 0;
}

platform::OpenOptions OpenOptionsForMode(uint16_t mode) {
  platform::OpenOptions options;
  switch (AccessBits(mode)) {
    case 0:
      options.access = platform::FileAccess::kRead;
      break;
    case 1:
      options.access = platform::FileAccess::kWrite;
      break;
    default:
      options.access = platform::FileAccess::kReadWrite;
      break;
  }
  switch ((mode >> 4) & 0x0F) {
    case 2:
      options.share = platform::FileShare::kRead;
      break;
    case 3:
      options.share = platform::FileShare::kWrite;
      break;
    case 4:
      options.share = platform::FileShare::kReadWrite;
      break;
    default:
      options.share = platform::FileShare::kNone;
      break;
  }
  if (mode == kModeCreate) options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kOpenExisting;
  options.write_through = true;
  return options;
}

std::string VolumeFileName(const std::string& file_name, int index) {
  if (index == 0) return file_name;
  return Format("%s.%.3d", ChangeFileExt(file_name, "").c_str(), index);
}

// ---------------------------------------------------------------------------------------
// TKwBigFileStream

TKwBigFileStream::TKwBigFileStream(platform::FileSystem& files, std::string file_name,
                                   uint16_t mode)
    : files_(files), file_name_(std::move(file_name)), mode_(mode) {
  const int access = AccessBits(mode);
  if (access == 0 || access == 2) {
    const platform::OpenOptions options = OpenOptionsForMode(mode);
    for (int i = 0; files_.FileExists(VolumeFileName(i)); ++i) {
      volumes_.push_back(files_.OpenFile(VolumeFileName(i), options));
    }
    // Positions map to volumes by division, which only holds when every volume but the
    // last is full; a short one (written by another program) would misplace every byte.
    for (size_t i = 0; i + 1 < volumes_.size(); ++i) {
      if (volumes_[i]->GetSize() != kVolumeSize) throw KoruError(kCorruptError);
    }
    return;
  }
  for (int i = 0; files_.FileExists(VolumeFileName(i)); ++i) {
    if (!files_.RemoveFile(VolumeFileName(i))) {
      throw KoruError(Format("ファイル %s を作成できません", VolumeFileName(i).c_str()));
    }
  }
}

TKwBigFileStream::~TKwBigFileStream() {
  if (!Writable()) return;
  try {
    Flush();
  } catch (const KoruError&) {
    // The volumes still close below; a failed flush has nobody left to report to.
  }
}

bool TKwBigFileStream::Writable() const { return AccessBits(mode_) != 0; }

void TKwBigFileStream::Flush() {
  for (auto& volume : volumes_) volume->Flush();
}

int64_t TKwBigFileStream::GetSize() {
  int64_t size = 0;
  for (auto& volume : volumes_) size += volume->GetSize();
  return size;
}

void TKwBigFileStream::SetPosition(int64_t position) {
  position_ = std::max<int64_t>(position, 0);
  const int64_t size = GetSize();
  if (size < position_) position_ = size;
}

platform::File& TKwBigFileStream::VolumeForWrite(int64_t index) {
  if (index < static_cast<int64_t>(volumes_.size())) return *volumes_[static_cast<size_t>(index)];
  // Positions never pass the size, so a write only ever reaches the next new volume.
  if (!Writable() || index != static_cast<int64_t>(volumes_.size()) || index > 9999) {
    throw KoruError(kStreamWriteError);
  }
  platform::OpenOptions options;
  options.access = platform::FileAccess::kReadWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  options.write_through = true;
  volumes_.push_back(files_.OpenFile(VolumeFileName(static_cast<int>(index)), options));
  return *volumes_.back();
}

template <typename MovePiece>
int64_t TKwBigFileStream::WritePieces(int64_t count, MovePiece move_piece) {
  int64_t done = 0;
  while (count > 0) {
    platform::File& volume = VolumeForWrite(position_ / kVolumeSize);
    const int64_t offset = position_ % kVolumeSize;
    volume.SetPosition(offset);
    const int64_t n = std::min(kVolumeSize - offset, count);
    move_piece(volume, n);
    done += n;
    position_ += n;
    count -= n;
  }
  return done;
}

int64_t TKwBigFileStream::Write(const void* buffer, int64_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  return WritePieces(count, [&bytes](platform::File& volume, int64_t n) {
    volume.WriteExact(bytes, n);
    bytes += n;
  });
}

int64_t TKwBigFileStream::Read(void* buffer, int64_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  for (size_t i = static_cast<size_t>(position_ / kVolumeSize); count > 0 && i < volumes_.size();
       ++i) {
    platform::File& volume = *volumes_[i];
    const int64_t offset = position_ % kVolumeSize;
    const int64_t available = volume.GetSize() - offset;
    if (available <= 0) break;
    volume.SetPosition(offset);
    const int64_t got = volume.Read(bytes, std::min(available, count));
    if (got <= 0) break;
    bytes += got;
    position_ += got;
    done += got;
    count -= got;
  }
  return done;
}

int64_t TKwBigFileStream::CopyFromStream(Stream& source, int64_t count) {
  if (count < 0) throw KoruError(kStreamReadError);
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  return WritePieces(
      count, [&source](platform::File& volume, int64_t n) { CopyStreamData(volume, source, n); });
}

int64_t TKwBigFileStream::CopyFromBig(TKwBigStream& source, int64_t count) {
  if (count < 0) throw KoruError(kStreamReadError);
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (source.Remaining() < count) throw KoruError(kStreamReadError);

  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(kCopyBufferSize, count)));
  if (auto* big_file = dynamic_cast<TKwBigFileStream*>(&source)) {
    // Volume to volume, so archive copies between discs need no stream of their own.
    return WritePieces(count, [big_file, &buffer](platform::File& volume, int64_t n) {
      while (n > 0) {
        const size_t index = static_cast<size_t>(big_file->position_ / kVolumeSize);
        if (index >= big_file->volumes_.size()) throw KoruError(kStreamReadError);
        platform::File& from = *big_file->volumes_[index];
        const int64_t offset = big_file->position_ % kVolumeSize;
        const int64_t m = std::min({kVolumeSize - offset, n, static_cast<int64_t>(buffer.size())});
        from.SetPosition(offset);
        from.ReadExact(buffer.data(), m);
        volume.WriteExact(buffer.data(), m);
        big_file->position_ += m;
        n -= m;
      }
    });
  }

  return WritePieces(count, [&source, &buffer](platform::File& volume, int64_t n) {
    while (n > 0) {
      const int64_t k = std::min(static_cast<int64_t>(buffer.size()), n);
      source.ReadExact(buffer.data(), k);
      volume.WriteExact(buffer.data(), k);
      n -= k;
    }
  });
}

int64_t TKwBigFileStream::CopyToStream(Stream& dest, int64_t count) {
  if (count < 0) throw KoruError(kStreamReadError);
  int64_t done = 0;
  while (count > 0) {
    const size_t index = static_cast<size_t>(position_ / kVolumeSize);
    if (index >= volumes_.size()) throw KoruError(kStreamReadError);
    platform::File& volume = *volumes_[index];
    const int64_t offset = position_ % kVolumeSize;
    const int64_t available = volume.GetSize() - offset;
    if (available <= 0) throw KoruError(kStreamReadError);
    volume.SetPosition(offset);
    const int64_t n = std::min(available, count);
    CopyStreamData(dest, volume, n);
    position_ += n;
    done += n;
    count -= n;
  }
  return done;
}

// ---------------------------------------------------------------------------------------
// TKwBigMemoryStream

void TKwBigMemoryStream::LoadFromFile(platform::FileSystem& files, const std::string& file_name) {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;
  std::unique_ptr<platform::File> file = files.OpenFile(file_name, options);
  std::vector<uint8_t> bytes(static_cast<size_t>(file->GetSize()));
  file->SetPosition(0);
  file->ReadExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  memory_.Assign(std::move(bytes));
}

int64_t TKwBigMemoryStream::Write(const void* buffer, int64_t count) {
  return memory_.Write(buffer, count);
}

int64_t TKwBigMemoryStream::Read(void* buffer, int64_t count) {
  return memory_.Read(buffer, count);
}

int64_t TKwBigMemoryStream::CopyFromBig(TKwBigStream& source, int64_t count) {
  auto* other = dynamic_cast<TKwBigMemoryStream*>(&source);
  if (other == nullptr) return 0;
  return CopyStreamData(memory_, other->memory_, count);
}

int64_t TKwBigMemoryStream::CopyFromStream(Stream& source, int64_t count) {
  return CopyStreamData(memory_, source, count);
}

int64_t TKwBigMemoryStream::CopyToStream(Stream& dest, int64_t count) {
  return CopyStreamData(dest, memory_, count);
}

// ---------------------------------------------------------------------------------------
// TKwBigResourceStream

namespace {

std::unique_ptr<platform::ResourceData> LoadResourceOrThrow(platform::System& system,
                                                            const std::string& module_path,
                                                            const std::string& name,
                                                            const std::string& type) {
  bool module_loaded = false;
  std::unique_ptr<platform::ResourceData> data =
      system.LoadModuleResource(module_path, name, type, &module_loaded);
  if (data == nullptr) throw KoruError(Format(kResourceNotFoundError, name.c_str()));
  return data;
}

}  // namespace

TKwBigResourceStream::TKwBigResourceStream(platform::System& system, const std::string& module_path,
                                           std::string res_name, std::string res_type)
    : TKwBigResourceStream(LoadResourceOrThrow(system, module_path, res_name, res_type), res_name,
                           res_type) {}

TKwBigResourceStream::TKwBigResourceStream(std::unique_ptr<platform::ResourceData> data,
                                           std::string res_name, std::string res_type)
    : data_(std::move(data)),
      view_(data_->data(), static_cast<int64_t>(data_->size())),
      res_name_(std::move(res_name)),
      res_type_(std::move(res_type)) {}

int64_t TKwBigResourceStream::Write(const void*, int64_t) { throw KoruError(kReadOnlyStreamError); }

int64_t TKwBigResourceStream::CopyFromBig(TKwBigStream& source, int64_t count) {
  auto* other = dynamic_cast<TKwBigResourceStream*>(&source);
  if (other == nullptr) return 0;
  return CopyStreamData(view_, other->view_, count);
}

int64_t TKwBigResourceStream::CopyFromStream(Stream& source, int64_t count) {
  return CopyStreamData(view_, source, count);
}

int64_t TKwBigResourceStream::CopyToStream(Stream& dest, int64_t count) {
  if (count < 0) throw KoruError(kStreamReadError);
  if (count == 0) {
    view_.SetPosition(0);
    count = view_.GetSize();
  }
  if (view_.Remaining() < count) throw KoruError(kStreamReadError);
  // Straight from the resource's memory: the resource is already mapped.
  const int64_t position = view_.GetPosition();
  dest.WriteExact(view_.Data() + position, count);
  view_.SetPosition(position + count);
  return count;
}

// ---------------------------------------------------------------------------------------
// TKwBuffBigStream

TKwBuffBigStream::~TKwBuffBigStream() {
  const int64_t unread = buffer_.Remaining();
  if (unread <= 0) return;
  try {
    source_.SetPosition(source_.GetPosition() - unread);
  } catch (const KoruError&) {
    // Nothing to report to from a destructor; the source keeps its position.
  }
}

int64_t TKwBuffBigStream::Read(void* buffer, int64_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (count > 0) {
    if (buffer_.Remaining() == 0) {
      buffer_.Clear();
      const int64_t n = std::min(source_.Remaining(), kReadAheadSize);
      // Never ask for 0 bytes: some stream classes read a count of 0 as "everything".
      if (n <= 0) break;
      source_.CopyToStream(buffer_, n);
      buffer_.SetPosition(0);
    }
    const int64_t k = buffer_.Read(bytes, count);
    if (k <= 0) break;
    bytes += k;
    done += k;
    count -= k;
  }
  return done;
}

void TKwBuffBigStream::ReadExact(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw KoruError(kStreamReadError);
}

int64_t TKwBuffBigStream::Remaining() { return source_.Remaining() + buffer_.Remaining(); }

}  // namespace koru
