#include "wizard/replacement_file.h"

#include "base/error.h"
#include "settings/paths.h"

namespace koru {

ReplacementFile::ReplacementFile(platform::Env& env, std::string target)
    : env_(env), target_(std::move(target)) {
  platform::FileSystem& files = env_.files();
  const std::string base = ExtractFilePath(target_) + "~" + ExtractFileName(target_);
  for (int n = 1; n <= kMaxReplacementNames; ++n) {
    const std::string candidate = n == 1 ? base + ".tmp" : base + Format(".%d.tmp", n);
    // A name of ours that is still there was left by an interrupted run: reuse it.
    if (!files.FileExists(candidate) || files.RemoveFile(candidate)) {
      if (!files.DirectoryExists(candidate)) {
        temporary_ = candidate;
        break;
      }
    }
  }
}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
  file_.reset();
  if (made_ && !temporary_.empty()) env_.files().RemoveFile(temporary_);
  made_ = false;
}

platform::File& ReplacementFile::Create() {
  if (temporary_.empty()) throw KoruError(kStreamWriteError);
  platform::OpenOptions options;
  options.access = platform::FileAccess::kReadWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  file_ = env_.files().OpenFile(temporary_, options);
  made_ = true;
  return *file_;
}

platform::FileStatus ReplacementFile::CopyFrom(const std::string& source) {
  if (temporary_.empty()) return false;
  made_ = true;
  return env_.files().CopyFileTo(source, temporary_, /*fail_if_exists=*/false);
}

platform::FileStatus ReplacementFile::PutInPlace(std::optional<uint32_t> dos_time) {
  if (!made_) return false;
  if (file_ != nullptr) {
    // On the disc before the rename, or a crash could leave a renamed empty file.
    file_->Flush();
    file_.reset();
  }
  platform::FileSystem& files = env_.files();
  if (dos_time) files.SetFileDosTime(temporary_, *dos_time);
  if (platform::FileStatus moved = files.MoveFileOver(temporary_, target_); !moved) {
    Discard();
    return moved;
  }
  made_ = false;
  return true;
}

}  // namespace koru
