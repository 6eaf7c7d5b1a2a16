#pragma once

// Shared pieces of the launcher tests: archives and pictures made by the program's own
// writers, and a recording stand-in for the two windows.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/stream.h"
#include "imaging/mura_writer.h"
#include "launcher/launcher_windows.h"
#include "platform/env.h"
#include "storage/bigstreams.h"
#include "storage/vrfiles.h"

namespace koru::testing {

// A 24-bit picture of one frame whose pixel (x, y) is colour(x, y) (0xRRGGBB).
template <typename Colour>
std::vector<uint8_t> MakePicture(int width, int height, Colour colour) {
  MuraLayerSource layer;
  const int64_t row = MuraRowBytes(width, 24);
  layer.pixels.assign(static_cast<size_t>(row * height), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      uint8_t* p = layer.pixels.data() + y * row + x * 3;
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
    }
  }
  MuraFrameSource frame;
  frame.width = width;
  frame.height = height;
  frame.bit_count = 24;
  frame.layers.push_back(std::move(layer));
  MuraImageSource image;
  image.frames.push_back(std::move(frame));
  return WriteMura(image, MuraWriteOptions{});
}

// Writes a complete archive of (name, content) entries to path.
inline void WriteArchive(platform::Env& env, const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
  TVrFileCollection collection(env);
  for (const auto& [name, content] : entries) {
    TVrFile& entry = collection.AddEntry(name);
    entry.Content =
        std::make_unique<MemoryStream>(std::vector<uint8_t>(content.begin(), content.end()));
  }
  TKwBigFileStream out(env.files(), path, kModeCreate);
  collection.SaveTo(out);
}

inline std::string Bytes(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Records what the entry asks of its windows; the start menu answers as scripted.
class RecordingWindows : public LauncherWindows {
 public:
  struct WizardRun {
    bool had_archive = false;
    std::vector<std::string> arguments;
  };

  StartMenuOutcome RunStartMenu(TKoruInstallSet& settings, TVrFileCollection& archive) override {
    ++start_menus;
    archive_entries = archive.Count();
    return start_menu_answer;
  }
  void RunWizard(TKoruInstallSet& settings, TVrFileCollection* archive,
                 const std::vector<std::string>& arguments) override {
    wizards.push_back({archive != nullptr, arguments});
  }

  StartMenuOutcome start_menu_answer;
  int start_menus = 0;
  int archive_entries = -1;
  std::vector<WizardRun> wizards;
};

}  // namespace koru::testing
