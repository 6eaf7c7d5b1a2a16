// "vf" archives: the directory read from the bytes through a memory big stream, then
// every entry loaded and the checksums verified. The work stays proportional to the input:
// a load into memory is bounded by the collection's own cap, lowered here, and what
// goes to a stream only counts against one budget per input. Inputs that end like an
// executable with an appended archive (the "kr" trailer) are also opened as a file of
// the in-memory file system and searched for their settings file.

#include <memory>

#include "base/error.h"
#include "base/stream.h"
#include "fuzz_target.h"
#include "platform/memory/memory_env.h"
#include "storage/bigstreams.h"
#include "storage/exe_archive.h"
#include "storage/vrfiles.h"

namespace {

constexpr int64_t kMaxLoadedEntry = int64_t{256} << 10;
constexpr int64_t kOutputBudget = int64_t{4} << 20;

// A destination that is not a memory stream (so ExtractEntry streams into it): it counts
// what it is given against the input's budget and keeps nothing.
class BudgetStream : public koru::Stream {
 public:
  explicit BudgetStream(int64_t& budget) : budget_(budget) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    if (count > budget_) throw koru::KoruError("too large");
    budget_ -= count;
    size_ += count;
    return count;
  }
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return size_; }
  void SetPosition(int64_t) override {}
  void SetSize(int64_t) override {}

 private:
  int64_t& budget_;
  int64_t size_ = 0;
};

void LoadEveryEntry(koru::TVrFileCollection& archive) {
  int64_t budget = kOutputBudget;
  for (int i = 0; i < archive.Count(); ++i) {
    const koru::TVrFile& entry = archive.Entry(i);
    if (entry.Name() == koru::kEndMarkerName) continue;
    try {
      if (i % 2 == 0) {
        koru::MemoryStream dest;
        koru::LoadEntry(archive, dest, entry.Name());
        KORU_FUZZ_CHECK(dest.GetPosition() == 0);
      } else {
        BudgetStream dest(budget);
        archive.ExtractEntry(entry, dest);
        if (entry.Uncompressed) KORU_FUZZ_CHECK(dest.GetSize() == entry.Size);
      }
    } catch (const koru::KoruError&) {
      // A damaged entry; the others are still tried.
    }
  }
}

// Nothing here writes files but the input itself: the archive has no folder of loose
// files. One environment for all runs keeps them fast.
koru::platform::MemoryEnv& Env() {
  static koru::platform::MemoryEnv env;
  return env;
}

void CheckOpened(const koru::TVrFileCollection& archive) {
  // A directory that was accepted has its end marker last and sizes that are not negative.
  KORU_FUZZ_CHECK(archive.Count() >= 1);
  KORU_FUZZ_CHECK(archive.Entry(archive.Count() - 1).Name() == koru::kEndMarkerName);
  for (int i = 0; i + 1 < archive.Count(); ++i) KORU_FUZZ_CHECK(archive.Entry(i).Size >= 0);
}

void FuzzExecutable(const uint8_t* data, size_t size) {
  const std::string folder = "C:\\fuzz";
  const std::string path = folder + "\\setup.exe";
  KORU_FUZZ_CHECK(
      Env().files().PutFile(path, std::string_view(reinterpret_cast<const char*>(data), size)));
  {
    koru::TVrFileCollection archive(Env());
    archive.MaxLoadedEntrySize = kMaxLoadedEntry;
    try {
      archive.OpenArchive(path, /*treat_as_file=*/false);
      CheckOpened(archive);
      LoadEveryEntry(archive);
      archive.VerifyChecksums();
    } catch (const koru::KoruError&) {
      KORU_FUZZ_CHECK(archive.Count() == 0);
    }
  }
  try {
    koru::FindArchiveExe(Env(), folder, "月下の庭");
  } catch (const koru::KoruError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > koru::fuzz::kMaxInputSize) return 0;
  koru::TVrFileCollection archive(Env());
  archive.MaxLoadedEntrySize = kMaxLoadedEntry;
  try {
    archive.OpenStream(
        std::make_unique<koru::TKwBigMemoryStream>(std::vector<uint8_t>(data, data + size)));
  } catch (const koru::KoruError&) {
    KORU_FUZZ_CHECK(archive.Count() == 0);
  }
  if (archive.Count() > 0) {
    CheckOpened(archive);
    LoadEveryEntry(archive);
    archive.VerifyChecksums();
  }
  if (size >= 6 && data[size - 2] == 'k' && data[size - 1] == 'r') FuzzExecutable(data, size);
  return 0;
}
