// Timed driver for the archive storage, each case beside its baseline in one run on the
// same bytes:
//  1. MergeFrom of a large archive (default 2 GiB, two volumes) into a new one, against a
//     plain copy of the same volume files (a read/write loop, and FileSystem::CopyFileTo),
//     every writer flushed to the disc at its end;
//  2. VerifyChecksums of that archive held in memory, against zlib crc32 over the same
//     bytes (and VerifyChecksums of the archive file, from the page cache);
//  3. opening a directory of 100,000 entries and looking every name up;
//  4. LoadEntry of compressed entries, against zlib inflate of the same stored bytes.
//
// usage: bench_storage [--size-mib N] [--entries N] [--dir FOLDER] [--only CASE]
// CASE is merge, verify, open or load; FOLDER (default /tmp) gets a fresh subfolder that
// is removed at the end.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/host/host_env.h"
#include "settings/paths.h"
#include "storage/bigstreams.h"
#include "storage/compression.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

// <chrono> cannot be compiled with the Shift-JIS execution character set, so the clock
// comes from <ctime>.
double NowSeconds() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Options {
  int64_t size_mib = 2048;
  int entries = 100000;
  std::string dir = "/tmp";
  std::string only;
  int open_runs = 7;  // more for profiling the directory reader
  int lookups = -1;   // names looked up per directory; -1: all (5,000 of the similar ones)
};

struct Timing {
  double best = 0;
  double median = 0;
};

Timing Measure(int runs, const std::function<void()>& body) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double start = NowSeconds();
    body();
    times.push_back(NowSeconds() - start);
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

double MiBPerSecond(int64_t bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / 1048576.0 / seconds : 0;
}

void PrintRate(const char* what, int64_t bytes, const Timing& t) {
  std::printf("  %-44s best %8.3f s  median %8.3f s  %9.1f MiB/s\n", what, t.best, t.median,
              MiBPerSecond(bytes, t.best));
}

void PrintRatio(const char* what, double ratio, double target) {
  std::printf("  %-44s %.2f (target >= %.2f: %s)\n", what, ratio, target,
              ratio >= target ? "met" : "MISSED");
}

// Paths in the program's form: '\' between folders; the host Env takes a path without a
// drive letter as a native one.
std::string ProgramPath(const std::string& native) { return ReplaceChar(native, '/', '\\'); }

// Pseudo-random bytes that zlib cannot shrink.
void FillRandom(uint8_t* bytes, size_t size, uint64_t seed) {
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (size_t i = 0; i + 8 <= size; i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(bytes + i, &x, 8);
  }
}

// Text-like bytes that compress to about a third.
std::string TextLike(size_t size, uint32_t seed) {
  static const char* kWords[] = {"むかし", "村",     "the ",         "moon ", "森の",   "道 ",
                                 "light ", "少女は", "言いました。", "\r\n",  "[待つ]", "*label "};
  std::string text;
  uint32_t x = seed | 1;
  while (text.size() < size) {
    x = x * 1103515245u + 12345u;
    text += kWords[(x >> 16) % (sizeof kWords / sizeof kWords[0])];
    if ((x & 0xF0) == 0) text += std::to_string(x % 10000);
  }
  text.resize(size);
  return text;
}

platform::OpenOptions Reading() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;
  return options;
}

platform::OpenOptions Creating() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  return options;
}

void RemoveArchive(platform::FileSystem& files, const std::string& path) {
  files.RemoveFile(ChangeFileExt(path, ".ext"));
  for (int v = 0; files.FileExists(VolumeFileName(path, v)); ++v) {
    files.RemoveFile(VolumeFileName(path, v));
  }
}

// --- 1. merge against a copy -------------------------------------------------------------

// Writes an archive of about size bytes: 64 MiB entries of random bytes, stored as is (5
// MiB and more), their checksums computed by SaveTo.
void BuildLargeArchive(platform::Env& env, const std::string& folder, const std::string& path,
                       int64_t size) {
  constexpr int64_t kPiece = 64 << 20;
  platform::FileSystem& files = env.files();
  files.MakeDirectories(folder);
  TVrFileCollection archive(env);
  archive.SetFolder(folder);
  std::vector<uint8_t> bytes(static_cast<size_t>(kPiece));
  int index = 0;
  for (int64_t left = size; left > 0; left -= kPiece, ++index) {
    const int64_t n = std::min(left, kPiece);
    FillRandom(bytes.data(), static_cast<size_t>(n), static_cast<uint64_t>(index));
    char name[32];
    std::snprintf(name, sizeof name, "blob%04d.bin", index);
    auto file = files.OpenFile(AddBackslash(folder) + name, Creating());
    file->WriteExact(bytes.data(), n);
    archive.AddEntry(name);
  }
  {
    TKwBigFileStream out(files, path, kModeCreate);
    archive.SaveTo(out);
  }
  for (int i = 0; i < archive.Count(); ++i) {
    files.RemoveFile(AddBackslash(folder) + archive.Entry(i).Name());
  }
  files.RemoveDirectoryAt(folder);
}

int64_t CopyByLoop(platform::FileSystem& files, const std::string& from, const std::string& to) {
  constexpr size_t kBuffer = 10 << 20;  // the copy buffer of CopyStreamData
  std::vector<uint8_t> buffer(kBuffer);
  int64_t total = 0;
  for (int v = 0; files.FileExists(VolumeFileName(from, v)); ++v) {
    auto in = files.OpenFile(VolumeFileName(from, v), Reading());
    auto out = files.OpenFile(VolumeFileName(to, v), Creating());
    while (true) {
      const int64_t got = in->Read(buffer.data(), static_cast<int64_t>(kBuffer));
      if (got <= 0) break;
      out->WriteExact(buffer.data(), got);
      total += got;
    }
    out->Flush();
  }
  return total;
}

void CopyBySystem(platform::FileSystem& files, const std::string& from, const std::string& to) {
  for (int v = 0; files.FileExists(VolumeFileName(from, v)); ++v) {
    if (!files.CopyFileTo(VolumeFileName(from, v), VolumeFileName(to, v), false)) {
      throw KoruError("copy failed");
    }
    platform::OpenOptions options;
    options.access = platform::FileAccess::kReadWrite;
    options.share = platform::FileShare::kRead;
    files.OpenFile(VolumeFileName(to, v), options)->Flush();
  }
}

void BenchMerge(platform::Env& env, const std::string& work, const Options& options) {
  platform::FileSystem& files = env.files();
  const int64_t size = options.size_mib << 20;
  const std::string source = work + "\\source.dat";
  std::printf("\n1. MergeFrom against a plain copy, %lld MiB\n",
              static_cast<long long>(options.size_mib));
  const double build_start = NowSeconds();
  BuildLargeArchive(env, work + "\\blobs", source, size);
  std::printf("  (source archive written in %.1f s)\n", NowSeconds() - build_start);
  TVrFileCollection from(env);
  from.Open(source);
  int64_t stored = 0;
  for (int i = 0; i < from.Count(); ++i) stored += from.Entry(i).Size;

  const std::string copy = work + "\\copy.dat";
  const std::string merged = work + "\\merged.dat";
  // Alternate the three so that none profits alone from a warm cache or a fresh disc.
  std::vector<double> loop_times, system_times, merge_times;
  for (int round = 0; round < 3; ++round) {
    RemoveArchive(files, copy);
    double start = NowSeconds();
    CopyByLoop(files, source, copy);
    loop_times.push_back(NowSeconds() - start);
    RemoveArchive(files, copy);

    start = NowSeconds();
    CopyBySystem(files, source, copy);
    system_times.push_back(NowSeconds() - start);
    RemoveArchive(files, copy);

    RemoveArchive(files, merged);
    start = NowSeconds();
    {
      TVrFileCollection into(env);
      into.OpenArchive(merged, true);
      if (!into.MergeFrom(from)) throw KoruError("merge appended nothing");
    }  // the data stream is flushed and closed here
    merge_times.push_back(NowSeconds() - start);
  }
  auto best = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return Timing{v.front(), v[v.size() / 2]};
  };
  const Timing loop = best(loop_times), system = best(system_times), merge = best(merge_times);
  PrintRate("copy, read/write loop + fsync", stored, loop);
  PrintRate("copy, FileSystem::CopyFileTo + fsync", stored, system);
  PrintRate("MergeFrom into a new archive", stored, merge);
  PrintRatio("merge / loop copy throughput", loop.best / merge.best, 0.8);
  PrintRatio("merge / CopyFileTo throughput", system.best / merge.best, 0.8);
  {
    TVrFileCollection check(env);
    check.Open(merged);
    std::printf("  merged archive verifies: %s\n", check.VerifyChecksums() ? "yes" : "NO");
  }
  RemoveArchive(files, copy);
  RemoveArchive(files, merged);

  // 2. verification on the same bytes.
  std::printf("\n2. VerifyChecksums against zlib crc32, %lld MiB\n",
              static_cast<long long>(options.size_mib));
  const Timing verify_file = Measure(3, [&] {
    if (!from.VerifyChecksums()) throw KoruError("verify failed");
  });
  PrintRate("VerifyChecksums, archive file (page cache)", stored, verify_file);

  std::vector<uint8_t> bytes;
  for (int v = 0; files.FileExists(VolumeFileName(source, v)); ++v) {
    auto in = files.OpenFile(VolumeFileName(source, v), Reading());
    const size_t at = bytes.size();
    bytes.resize(at + static_cast<size_t>(in->GetSize()));
    in->ReadExact(bytes.data() + at, in->GetSize());
  }
  from.Open("");
  RemoveArchive(files, source);
  auto memory = std::make_unique<TKwBigMemoryStream>(std::move(bytes));
  TKwBigMemoryStream& held = *memory;
  TVrFileCollection in_memory(env);
  in_memory.OpenStream(std::move(memory));
  const Timing verify_memory = Measure(5, [&] {
    if (!in_memory.VerifyChecksums()) throw KoruError("verify failed");
  });
  const uint8_t* data = held.Memory().Data();
  uint32_t sink = 0;
  const Timing crc = Measure(5, [&] {
    for (int i = 0; i + 1 < in_memory.Count(); ++i) {
      const TVrFile& e = in_memory.Entry(i);
      uLong c = crc32(0, nullptr, 0);
      for (int64_t done = 0; done < e.Size;) {
        const uInt piece = static_cast<uInt>(std::min<int64_t>(e.Size - done, 1 << 30));
        c = crc32(c, data + e.Offset + done, piece);
        done += piece;
      }
      sink ^= static_cast<uint32_t>(c);
    }
  });
  PrintRate("VerifyChecksums, archive in memory", stored, verify_memory);
  PrintRate("zlib crc32 over the same bytes", stored, crc);
  PrintRatio("verify / crc32 throughput", crc.best / verify_memory.best, 0.8);
  if (sink == 0x12345678) std::printf(" ");
}

// --- 3. a directory of many entries -------------------------------------------------------

// Names spread as a game's are: several top folders, varied lengths and extensions.
std::string VariedName(int i) {
  static const char* kFolders[] = {"bgimage", "fgimage", "image",  "scenario", "sound",  "bgm",
                                   "video",   "system",  "others", "シナリオ", "効果音", "立ち絵"};
  static const char* kExtensions[] = {".png", ".jpg", ".ks",  ".ogg",
                                      ".wav", ".txt", ".mur", ".tjs"};
  const uint32_t x = static_cast<uint32_t>(i) * 2654435761u;
  char name[128];
  std::snprintf(name, sizeof name, "%s\\%.*s%d%s", kFolders[x % 12], static_cast<int>(x >> 28),
                "abcdefghijklmnop", i, kExtensions[(x >> 8) % 8]);
  return name;
}

// Names that differ only in a number in their middle: the same length, first and
// second-to-last byte, so that they share a handful of the 256 buckets.
std::string SimilarName(int i) {
  char name[96];
  std::snprintf(name, sizeof name, "data\\folder%03d\\file_%06d.dat", i % 997, i);
  return name;
}

std::vector<std::string> WriteDirectory(platform::Env& env, const std::string& path, int count,
                                        std::string (*name_of)(int)) {
  std::vector<std::string> names;
  TVrFileCollection archive(env);
  for (int i = 0; i < count; ++i) {
    names.push_back(name_of(i));
    TVrFile& entry = archive.AddEntry(names.back());
    entry.Content = std::make_unique<MemoryStream>(std::vector<uint8_t>{'x'});
  }
  TKwBigFileStream out(env.files(), path, kModeCreate);
  archive.SaveTo(out);
  return names;
}

void BenchOpenNames(platform::Env& env, const std::string& path, int count, const char* kind,
                    std::string (*name_of)(int), int lookup_limit, int open_runs) {
  const std::vector<std::string> names = WriteDirectory(env, path, count, name_of);
  TVrFileCollection archive(env);
  const Timing open = Measure(open_runs, [&] { archive.Open(path); });
  std::printf("  %s names, e.g. %s\n", kind, SjisToUtf8(names[count / 2]).c_str());
  std::printf("  %-44s best %8.4f s  median %8.4f s  (target < 0.2 s: %s)\n",
              "Open (read the directory from a file)", open.best, open.median,
              open.best < 0.2 ? "met" : "MISSED");
  const int looked = std::min(count, lookup_limit);
  int found = 0;
  const Timing lookup = Measure(looked == count ? 3 : 1, [&] {
    found = 0;
    for (int i = 0; i < looked; ++i) found += archive.IndexOf(names[static_cast<size_t>(i)]) >= 0;
  });
  if (found != looked) throw KoruError("a name was not found");
  if (looked == 0) {
    std::printf("  (no look-ups)\n");
  } else if (looked == count) {
    std::printf("  %-44s best %8.4f s  median %8.4f s\n", "IndexOf of every name", lookup.best,
                lookup.median);
  } else {
    std::printf("  %-44s %8.4f s for %d names, about %.1f s for all\n", "IndexOf", lookup.best,
                looked, lookup.best * count / looked);
  }
  archive.Open("");
  env.files().RemoveFile(path);
}

void BenchOpen(platform::Env& env, const std::string& work, const Options& options) {
  std::printf("\n3. Opening a directory of %d entries and looking every name up\n",
              options.entries);
  BenchOpenNames(env, work + "\\varied.dat", options.entries, "varied", VariedName,
                 options.lookups < 0 ? options.entries : options.lookups, options.open_runs);
  BenchOpenNames(env, work + "\\similar.dat", options.entries, "similar", SimilarName,
                 options.lookups < 0 ? 5000 : options.lookups, options.open_runs);
}

// --- 4. extraction against inflate --------------------------------------------------------

void BenchLoad(platform::Env& env) {
  constexpr int kEntries = 400;
  constexpr size_t kSize = 256 << 10;
  std::printf("\n4. LoadEntry of %d compressed %zu KiB entries against zlib inflate\n", kEntries,
              kSize >> 10);
  TVrFileCollection archive(env);
  for (int i = 0; i < kEntries; ++i) {
    const std::string text = TextLike(kSize, static_cast<uint32_t>(i));
    TVrFile& entry = archive.AddEntry("text" + std::to_string(i) + ".txt");
    entry.Content = std::make_unique<MemoryStream>(std::vector<uint8_t>(text.begin(), text.end()));
  }
  auto out = std::make_unique<TKwBigMemoryStream>();
  archive.SaveTo(*out);
  out->SetPosition(0);
  TKwBigMemoryStream& held = *out;
  TVrFileCollection reader(env);
  reader.OpenStream(std::move(out));
  int64_t stored = 0;
  for (int i = 0; i + 1 < reader.Count(); ++i) stored += reader.Entry(i).Size;
  const int64_t plain = static_cast<int64_t>(kEntries) * static_cast<int64_t>(kSize);

  MemoryStream dest;
  const Timing load = Measure(5, [&] {
    for (int i = 0; i + 1 < reader.Count(); ++i) {
      LoadEntry(reader, dest, reader.Entry(i).Name());
      if (dest.GetSize() != static_cast<int64_t>(kSize)) throw KoruError("bad size");
    }
  });
  std::vector<uint8_t> buffer(kSize);
  const uint8_t* data = held.Memory().Data();
  const Timing inflate = Measure(5, [&] {
    for (int i = 0; i + 1 < reader.Count(); ++i) {
      const TVrFile& e = reader.Entry(i);
      uLongf length = static_cast<uLongf>(buffer.size());
      if (uncompress(buffer.data(), &length, data + e.Offset, static_cast<uLong>(e.Size)) != Z_OK ||
          length != kSize) {
        throw KoruError("inflate failed");
      }
    }
  });
  std::printf("  (%.1f MiB stored, %.1f MiB uncompressed)\n", stored / 1048576.0,
              plain / 1048576.0);
  PrintRate("LoadEntry into a memory stream", plain, load);
  PrintRate("zlib uncompress into a buffer", plain, inflate);
  std::printf("  %-44s %.2f\n", "LoadEntry / inflate throughput", inflate.best / load.best);
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--size-mib" && has_value) {
      options->size_mib = std::atoll(argv[++i]);
    } else if (arg == "--entries" && has_value) {
      options->entries = std::atoi(argv[++i]);
    } else if (arg == "--dir" && has_value) {
      options->dir = argv[++i];
    } else if (arg == "--lookups" && has_value) {
      options->lookups = std::atoi(argv[++i]);
    } else if (arg == "--open-runs" && has_value) {
      options->open_runs = std::atoi(argv[++i]);
    } else if (arg == "--only" && has_value) {
      options->only = argv[++i];
    } else {
      return false;
    }
  }
  return options->size_mib > 0 && options->entries > 0;
}

int Run(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: bench_storage [--size-mib N] [--entries N] [--dir FOLDER] "
                 "[--only merge|verify|open|load]\n");
    return 2;
  }
  std::string pattern = options.dir + "/bench_storage.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string native = pattern;
  platform::HostEnv env(native + "/root");
  const std::string work = ProgramPath(native);
  int status = 0;
  try {
    const bool all = options.only.empty();
    if (all || options.only == "merge" || options.only == "verify") BenchMerge(env, work, options);
    if (all || options.only == "open") BenchOpen(env, work, options);
    if (all || options.only == "load") BenchLoad(env);
  } catch (const KoruError& error) {
    std::fprintf(stderr, "bench_storage: %s\n", error.Utf8().c_str());
    status = 1;
  }
  const std::string remove = "rm -rf '" + native + "'";
  if (std::system(remove.c_str()) != 0)
    std::fprintf(stderr, "could not remove %s\n", native.c_str());
  return status;
}

}  // namespace
}  // namespace koru

int main(int argc, char** argv) { return koru::Run(argc, argv); }
