// install.dat: TKoruInstallSet::LoadFromStream on any bytes. Beyond "no crash": a failed
// load leaves the object as it was, a successful one keeps the per-disc arrays in step
// with DiscCount and survives a save and a reload unchanged.

#include "base/error.h"
#include "base/stream.h"
#include "fuzz_target.h"
#include "settings/install_set.h"

namespace {

koru::TKoruInstallSet Before() {
  koru::TKoruInstallSet set;
  set.Title = "前の設定";
  set.InstalledFiles = {"a.txt"};
  set.SetDiscCount(1);
  set.DiscDataSizes[0] = 7;
  return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > koru::fuzz::kMaxInputSize) return 0;
  koru::MemoryStream stream(std::vector<uint8_t>(data, data + size));
  const koru::TKoruInstallSet before = Before();
  koru::TKoruInstallSet set = before;
  try {
    set.LoadFromStream(stream);
  } catch (const koru::KoruError&) {
    KORU_FUZZ_CHECK(set == before);
    return 0;
  }
  const size_t discs = static_cast<size_t>(set.DiscCount);
  KORU_FUZZ_CHECK(set.DiscCount >= 0);
  KORU_FUZZ_CHECK(set.DiscProgSizes.size() == discs && set.DiscDataSizes.size() == discs &&
                  set.DiscSoundSizes.size() == discs && set.DiscMovieSizes.size() == discs);

  koru::MemoryStream saved;
  try {
    set.SaveToStream(saved);
    saved.SetPosition(0);
    koru::TKoruInstallSet again;
    KORU_FUZZ_CHECK(again.LoadFromStream(saved) == koru::kInstallSetVersion);
    KORU_FUZZ_CHECK(again == set);
  } catch (const koru::KoruError&) {
    // What was read must also be writable and readable again.
    KORU_FUZZ_CHECK(!"saving or reloading a loaded settings object failed");
  }
  return 0;
}
