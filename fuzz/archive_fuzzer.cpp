// "vf" archives: the directory read from the bytes through a memory big stream, then
// every entry loaded and the checksums verified. Entry output is bounded: decompressed
// content beyond kMaxEntryOutput is refused by the destination.

#include <memory>

#include "base/error.h"
#include "base/stream.h"
#include "fuzz_target.h"
#include "platform/memory/memory_env.h"
#include "storage/bigstreams.h"
#include "storage/vrfiles.h"

namespace {

constexpr int64_t kMaxEntryOutput = int64_t{64} << 20;

// A destination that is not a memory stream (so ExtractEntry takes its other path) and
// refuses to grow without bound.
class CappedStream : public koru::Stream {
 public:
  int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > kMaxEntryOutput - memory_.GetPosition()) throw koru::KoruError("too large");
    return memory_.Write(buffer, count);
  }
  int64_t GetSize() override { return memory_.GetSize(); }
  int64_t GetPosition() override { return memory_.GetPosition(); }
  void SetPosition(int64_t position) override { memory_.SetPosition(position); }
  void SetSize(int64_t size) override { memory_.SetSize(size); }

 private:
  koru::MemoryStream memory_;
};

void LoadEveryEntry(koru::TVrFileCollection& archive) {
  for (int i = 0; i < archive.Count(); ++i) {
    const koru::TVrFile& entry = archive.Entry(i);
    if (entry.Name() == koru::kEndMarkerName) continue;
    try {
      if (i % 2 == 0) {
        koru::MemoryStream dest;
        koru::LoadEntry(archive, dest, entry.Name());
        KORU_FUZZ_CHECK(dest.GetPosition() == 0);
      } else {
        CappedStream dest;
        archive.ExtractEntry(entry, dest);
        if (entry.Uncompressed) KORU_FUZZ_CHECK(dest.GetSize() == entry.Size);
      }
    } catch (const koru::KoruError&) {
      // A damaged entry; the others are still tried.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > koru::fuzz::kMaxInputSize) return 0;
  // Nothing here touches the files: the archive lives in memory and has no folder of
  // loose files. One environment for all runs keeps them fast.
  static koru::platform::MemoryEnv env;
  koru::TVrFileCollection archive(env);
  try {
    archive.OpenStream(
        std::make_unique<koru::TKwBigMemoryStream>(std::vector<uint8_t>(data, data + size)));
  } catch (const koru::KoruError&) {
    KORU_FUZZ_CHECK(archive.Count() == 0);
    return 0;
  }
  // A directory that was accepted has its end marker last and sizes that are not negative.
  KORU_FUZZ_CHECK(archive.Count() >= 1);
  KORU_FUZZ_CHECK(archive.Entry(archive.Count() - 1).Name() == koru::kEndMarkerName);
  for (int i = 0; i + 1 < archive.Count(); ++i) KORU_FUZZ_CHECK(archive.Entry(i).Size >= 0);

  LoadEveryEntry(archive);
  archive.VerifyChecksums();
  return 0;
}
