#include "settings/file_routines.h"

#include <optional>

#include "base/error.h"

namespace koru {
namespace {

// Files are opened for reading only and share everything, so a game that holds its
// files open does not keep the installer from looking at them.
platform::OpenOptions ReadSharingAll() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kReadWrite;
  options.disposition = platform::FileDisposition::kOpenExisting;
  return options;
}

// The size of an open file, or nullopt when the file cannot be opened.
std::optional<int64_t> SizeIfOpens(platform::Env& env, const std::string& path) {
  try {
    return env.files().OpenFile(path, ReadSharingAll())->GetSize();
  } catch (const KoruError&) {
    return std::nullopt;
  }
}

bool SameDateAndSize(platform::Env& env, const std::string& source, const std::string& target) {
  platform::FileSystem& files = env.files();
  if (!files.FileExists(target)) return false;
  const std::optional<uint32_t> source_time = files.GetFileDosTime(source);
  if (!source_time || source_time != files.GetFileDosTime(target)) return false;
  const std::optional<int64_t> source_size = SizeIfOpens(env, source);
  if (!source_size) return false;
  // A target that exists but refuses to open is an error, not a reason to copy.
  const int64_t target_size = files.OpenFile(target, ReadSharingAll())->GetSize();
  return *source_size == target_size;
}

}  // namespace

void DeleteAtRestart(platform::Env& env, const std::string& path) {
  env.system().DeleteAtRestart(path);
}

platform::FileStatus CopyFileIfChanged(platform::Env& env, const std::string& source,
                                       const std::string& target, bool compare) {
  if (compare && SameDateAndSize(env, source, target)) return true;
  return env.files().CopyFileTo(source, target, /*fail_if_exists=*/false);
}

int64_t GetFileSizeSafe(platform::Env& env, const std::string& path) {
  return SizeIfOpens(env, path).value_or(0);
}

void ClearReadOnly(platform::Env& env, const std::string& path) {
  const std::optional<uint32_t> attributes = env.files().GetAttributes(path);
  if (attributes && (*attributes & platform::kAttrReadOnly)) {
    env.files().SetAttributes(path, *attributes & ~platform::kAttrReadOnly);
  }
}

}  // namespace koru
