#include "storage/exe_archive.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/sjis.h"
#include "settings/folders.h"
#include "settings/install_set.h"
#include "settings/stream_copy.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

constexpr char kTrailerMarker[2] = {'k', 'r'};

platform::OpenOptions ReadOptions() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;
  return options;
}

bool HasTrailerMarker(platform::FileSystem& files, const std::string& path) {
  std::unique_ptr<platform::File> file = files.OpenFile(path, ReadOptions());
  const int64_t size = file->GetSize();
  if (size < 2) return false;
  char marker[2];
  file->SetPosition(size - 2);
  file->ReadExact(marker, 2);
  return marker[0] == kTrailerMarker[0] && marker[1] == kTrailerMarker[1];
}

std::string TitleOfArchive(platform::Env& env, const std::string& path) {
  TVrFileCollection archive(env);
  archive.Open(path);
  MemoryStream settings_bytes;
  LoadEntry(archive, settings_bytes, "install.dat");
  TKoruInstallSet settings;
  settings.LoadFromStream(settings_bytes);
  return settings.Title;
}

}  // namespace

void AppendArchiveToExe(platform::Env& env, const std::string& exe_path,
                        const std::string& archive_path) {
  platform::FileSystem& files = env.files();
  platform::OpenOptions exe_options;
  exe_options.access = platform::FileAccess::kReadWrite;
  exe_options.share = platform::FileShare::kRead;
  std::unique_ptr<platform::File> exe = files.OpenFile(exe_path, exe_options);
  std::unique_ptr<platform::File> archive = files.OpenFile(archive_path, ReadOptions());
  const int64_t start = exe->GetSize();
  if (start > std::numeric_limits<int32_t>::max()) throw KoruError(kStreamWriteError);
  exe->SetPosition(start);
  archive->SetPosition(0);
  if (archive->GetSize() > 0) CopyStreamData(*exe, *archive, archive->GetSize());
  WriteInt32(*exe, static_cast<int32_t>(start));
  exe->WriteExact(kTrailerMarker, 2);
  exe->Flush();
}

std::string FindArchiveExe(platform::Env& env, const std::string& folder,
                           const std::string& title) {
  std::vector<std::string> candidates;
  ListFolder(env, folder, kListAllFilesMask, /*plain=*/true, ".exe", /*clear=*/false,
             /*mark=*/false, /*recurse=*/false, candidates, /*clear_list=*/true);
  // Any stable order will do; by name it is the same on every platform.
  std::sort(candidates.begin(), candidates.end(),
            [](const std::string& a, const std::string& b) { return CompareIgnoreCase(a, b) < 0; });
  std::optional<KoruError> first_error;
  for (const std::string& path : candidates) {
    try {
      if (!HasTrailerMarker(env.files(), path)) continue;
      if (TitleOfArchive(env, path) == title) return path;
    } catch (const KoruError& error) {
      if (!first_error) first_error = error;
    }
  }
  if (first_error) throw *first_error;
  return std::string();
}

}  // namespace koru
