#pragma once

// vfkit make-disc: lays out the disc folders of a game from a folder of game files and a
// settings JSON. The pieces here that decide something are exposed for the tests.

#include <cstdint>
#include <string>

#include "settings/install_set.h"

namespace koru::tools {

// The four install components of the settings file, in the order of its size arrays.
enum class Component { kProgram = 0, kData = 1, kSound = 2, kMovie = 3 };

// As the copy engine sorts loose files: 1 sound, 2 movie, 0 other, by a substring test of
// the lower-cased extension in ".mp2.mp3.wma.wav.mid.ogg" and ".avi.wmv.asf.mpg.mpeg".
int ClassifyMediaFile(const std::string& extension);

// The component a file counts under: sound and movie by extension; otherwise program for
// loose files and for executables and libraries (.exe, .dll) in the archive, data for
// everything else in the archive.
Component ComponentOf(const std::string& name, bool loose);

// Bytes per component on one disc, as measured.
struct DiscSizes {
  int64_t bytes[4] = {0, 0, 0, 0};
  void Add(Component component, int64_t size) { bytes[static_cast<int>(component)] += size; }
};

// Sets every per-disc size that is 0 in settings to the measured one, then every total
// that is 0 to the sum of its per-disc sizes. REQUIRES: measured has DiscCount elements.
void FillComponentSizes(TKoruInstallSet& settings, const std::vector<DiscSizes>& measured);

}  // namespace koru::tools
