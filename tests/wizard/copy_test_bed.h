#pragma once

// A bed for the copy page: a platform (in memory or on the host) behind a wrapper that
// records pauses and injects faults, a disc drive D: whose content a test replaces, and
// the wizard walked to "copy" with a recorded view and scripted message boxes.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/env_wrapper.h"
#include "platform/memory/memory_env.h"
#include "platform/memory/recorded_form_view.h"
#include "platform/memory/scripted_ui.h"
#include "settings/install_set.h"
#include "storage/bigstreams.h"
#include "storage/vrfiles.h"
#include "wizard/copy_engine.h"
#include "wizard/form_type.h"

#if !defined(_WIN32)
#include <sys/stat.h>

#include "platform/host/host_env.h"
#include "platform/platform_host_temp_folder.h"
#endif

namespace koru::testing {

constexpr uint32_t Dos(uint32_t year) { return (year - 1980) << 25 | 1u << 21 | 1u << 16; }
constexpr uint32_t kOld = Dos(2020);
constexpr uint32_t kNew = Dos(2021);
constexpr uint32_t kNewer = Dos(2022);

// A file of a disc: an archive entry or a loose file.
struct Item {
  std::string name;
  std::string bytes;
  uint32_t time = kOld;
  bool separate = false;
};

// Forwards to the backend, records pauses instead of sleeping, and injects faults: from
// the full_from-th write on drive C: every write fails (a full disc), and while
// reads_fail is set every read of a file on D: fails, as does a copy from D:.
class TestEnv : public platform::EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;

  std::unique_ptr<platform::File> OpenFile(const std::string& path,
                                           const platform::OpenOptions& options) override;
  platform::FileStatus CopyFileTo(const std::string& source, const std::string& target,
                                  bool fail_if_exists) override {
    if (reads_fail && OnDrive(source, 'D')) return false;
    if (OnDrive(target, 'C') && CountWrite()) return false;
    return EnvWrapper::CopyFileTo(source, target, fail_if_exists);
  }
  void SleepMs(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

  // Counts one write on C:; true when it must fail.
  bool CountWrite() { return ++writes >= full_from && full_from > 0; }
  static bool OnDrive(const std::string& path, char drive) {
    return path.size() > 1 && (path[0] & ~0x20) == drive && path[1] == ':';
  }

  std::vector<uint32_t> sleeps;
  int writes = 0;
  int full_from = 0;
  bool reads_fail = false;
};

// A file whose writes count against the disc's room (drive C:) and whose reads fail
// while the bed says so (drive D:).
class GatedFile : public platform::FileWrapper {
 public:
  GatedFile(std::unique_ptr<platform::File> file, TestEnv& env, bool counted, bool on_disc)
      : FileWrapper(std::move(file)), env_(env), counted_(counted), on_disc_(on_disc) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (on_disc_ && env_.reads_fail) throw KoruError(kStreamReadError);
    return FileWrapper::Read(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override {
    if (counted_ && env_.CountWrite()) throw KoruError(kStreamWriteError);
    return FileWrapper::Write(buffer, count);
  }

 private:
  TestEnv& env_;
  bool counted_;
  bool on_disc_;
};

inline std::unique_ptr<platform::File> TestEnv::OpenFile(const std::string& path,
                                                         const platform::OpenOptions& options) {
  std::unique_ptr<platform::File> file = EnvWrapper::OpenFile(path, options);
  const bool on_disc = OnDrive(path, 'D');
  const bool counted = OnDrive(path, 'C') && options.access != platform::FileAccess::kRead;
  if (!on_disc && !counted) return file;
  return std::make_unique<GatedFile>(std::move(file), *this, counted, on_disc);
}

class MemoryBackend {
 public:
  platform::Env& env() { return env_; }
  void AddDrive(char letter) { env_.files().AddDrive(letter); }

 private:
  platform::MemoryEnv env_;
};

#if !defined(_WIN32)
class HostBackend {
 public:
  platform::Env& env() { return env_; }
  void AddDrive(char letter) {
    ::mkdir((temp_.path() + "/root/drive_" + static_cast<char>(letter | 0x20)).c_str(), 0777);
  }

 private:
  platform::testing::HostTempFolder temp_;
  platform::HostEnv env_{temp_.path() + "/root", "tester"};
};
#endif

// Message boxes from a script; on_disc_prompt runs before the n-th disc prompt (from 1)
// is answered, which is when the player changes the disc.
class PlayerUi : public platform::ScriptedUserInterface {
 public:
  int ShowMessage(const std::string& caption, const std::string& text, platform::MessageIcon icon,
                  platform::MessageButtons buttons) override {
    if (text.rfind("ディスク", 0) == 0 && ++disc_prompts > 0 && on_disc_prompt) {
      on_disc_prompt(disc_prompts);
    }
    return ScriptedUserInterface::ShowMessage(caption, text, icon, buttons);
  }
  std::function<void(int)> on_disc_prompt;
  int disc_prompts = 0;
};

// The components and the folder the user picks.
struct Choice {
  bool data = true;
  bool sound = true;
  bool movie = true;
  bool all_discs = false;
  std::string folder = "C:\\Game";
};

inline constexpr const char* kTarget = "C:\\Game\\";

template <typename Backend>
class Bed {
 public:
  Bed() : env_(backend_.env()) { backend_.AddDrive('D'); }

  TestEnv& env() { return env_; }
  platform::FileSystem& files() { return env_; }
  PlayerUi& ui() { return ui_; }
  TKoruInstallSet& settings() { return settings_; }
  TVrFileCollection& archive() { return *archive_; }
  TFormType& form() { return *form_; }
  platform::RecordedFormView& view() { return *view_; }

  void Put(const std::string& path, const std::string& bytes) {
    files().MakeDirectories(ExtractFolder(path));
    platform::OpenOptions options;
    options.access = platform::FileAccess::kWrite;
    options.disposition = platform::FileDisposition::kCreateAlways;
    files().OpenFile(path, options)->WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  std::optional<std::string> Get(const std::string& path) {
    if (!files().FileExists(path)) return std::nullopt;
    auto file = files().OpenFile(path, platform::OpenOptions());
    std::string bytes(static_cast<size_t>(file->GetSize()), '\0');
    file->ReadExact(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
  }
  // The names in a folder, sorted.
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const platform::DirEntry& entry : files().ListDirectory(folder))
      names.push_back(entry.name);
    return names;
  }

  // Replaces what drive D: holds by a disc: install.dat (settings with DiscIndex disc),
  // game.dat of the entries (install.dat among them), and the loose files.
  void PutDisc(TKoruInstallSet disc_settings, int disc, const std::vector<Item>& entries,
               const std::vector<Item>& loose = {}) {
    if (archive_ != nullptr) archive_->Open("");  // the disc comes out
    for (const std::string& name : Names("D:\\")) {
      DeleteFolderTree(env_, "D:\\" + name);
      files().RemoveFile("D:\\" + name);
    }
    disc_settings.DiscIndex = disc;
    MemoryStream bytes;
    disc_settings.SaveToStream(bytes);
    const std::string settings_bytes(bytes.Bytes().begin(), bytes.Bytes().end());
    Put("D:\\install.dat", settings_bytes);
    std::vector<Item> all = entries;
    all.push_back({"install.dat", settings_bytes});
    WriteArchive("D:\\game.dat", all);
    for (const Item& item : loose) Put("D:\\" + item.name, item.bytes);
  }

  void WriteArchive(const std::string& path, const std::vector<Item>& entries) {
    TVrFileCollection collection(env_);
    for (const Item& item : entries) {
      TVrFile& entry = collection.AddEntry(item.name);
      entry.Content = std::make_unique<MemoryStream>(
          std::vector<uint8_t>(item.bytes.begin(), item.bytes.end()));
      entry.FileTime = item.time;
      entry.SeparateFile = item.separate;
    }
    TKwBigFileStream out(env_, path, kModeCreate);
    ASSERT_TRUE(collection.SaveTo(out));
  }

  // The content of an entry of the archive at path, or nullopt.
  std::optional<std::string> Entry(const std::string& archive_path, const std::string& name) {
    TVrFileCollection archive(env_);
    archive.Open(archive_path);
    if (archive.IndexOf(name) < 0) return std::nullopt;
    MemoryStream content;
    LoadEntry(archive, content, name);
    return std::string(content.Bytes().begin(), content.Bytes().end());
  }

  // The wizard on its first page, the disc in D: loaded, the choice made.
  void Prepare(const Choice& choice = Choice()) {
    form_.reset();
    settings_ = TKoruInstallSet();
    settings_.LoadFromFile(env_, "D:\\install.dat");
    archive_ = std::make_unique<TVrFileCollection>(env_);
    archive_->Open("D:\\game.dat");
    view_ = std::make_unique<platform::RecordedFormView>(TFormType::Layout());
    form_ = std::make_unique<TFormType>(env_, ui_, settings_, archive_.get(),
                                        std::vector<std::string>{"D:\\"}, engine_);
    form_->FormCreate(*view_);
    view_->SetChecked(kIdRadioDiskAll, choice.all_discs);
    view_->SetChecked(kIdCheckData, choice.data);
    view_->SetChecked(kIdCheckSound, choice.sound);
    view_->SetChecked(kIdCheckMovie, choice.movie);
    view_->SetText(kIdEditDir, choice.folder);
  }
  // Clicks "Next" up to and into "copy"; the copy page's errors pass on.
  void Walk() {
    while (form_->CurrentPage() < kPageCopy) {
      const int page = form_->CurrentPage();
      form_->OnClick(kIdBtnNext);
      if (form_->CurrentPage() == page) break;
    }
  }
  void Install(const Choice& choice = Choice()) {
    Prepare(choice);
    Walk();
  }

  bool Finished() { return form_->CurrentPage() == kPageExit && form_->ModalResult() == 0; }
  // The settings the installation wrote, or nullopt.
  std::optional<TKoruInstallSet> Recorded(const std::string& folder = kTarget) {
    if (!files().FileExists(folder + std::string("install.dat"))) return std::nullopt;
    TKoruInstallSet recorded;
    recorded.LoadFromFile(env_, folder + std::string("install.dat"));
    return recorded;
  }
  std::string InstallPath() { return settings_.ReadRegValue(env_, kRegInstallPath, ""); }
  std::string LinkFolder() {
    return env_.system().SpecialFolder(platform::kCsidlCommonPrograms) + "\\" + settings_.Title;
  }
  // True when an install left nothing that records it: no install.dat, registry value or
  // shortcut, and no temporary or work files.
  bool NothingRecorded() {
    return !Recorded() && InstallPath().empty() && !files().DirectoryExists(LinkFolder()) &&
           NoLeftovers();
  }
  bool NoLeftovers() {
    const std::vector<std::string> temp = Names(env_.system().TempFolder());
    for (const std::string& name : Names(kTarget)) {
      if (name[0] == '~') return false;
    }
    return std::none_of(temp.begin(), temp.end(),
                        [](const std::string& name) { return name.rfind("~kbupdate", 0) == 0; });
  }

 private:
  static std::string ExtractFolder(const std::string& path) {
    return path.substr(0, FindLastChar(path, '\\') + 1);
  }

  Backend backend_;
  TestEnv env_;
  PlayerUi ui_;
  CopyEngine engine_;
  TKoruInstallSet settings_;
  std::unique_ptr<TVrFileCollection> archive_;
  std::unique_ptr<platform::RecordedFormView> view_;
  std::unique_ptr<TFormType> form_;
};

// A game of discs: loose files named in ExtraFiles, sizes per component.
inline TKoruInstallSet Game(int discs = 1) {
  TKoruInstallSet game;
  game.Title = "テストゲーム";
  game.MediaName = "CD-ROM";
  game.RegistryKey = "\\Koru\\Test";
  game.DefaultFolder = "<ProgramFiles>\\Koru\\Test";
  game.ExeFile = "game.exe";
  game.ReadmeFile = "readme.txt";
  game.ShowReadme = true;
  game.ExtraFiles = {"game.exe",      "install.exe",      "readme.txt", "bgm\\theme.ogg",
                     "movie\\op.mpg", "ソース\\表示.txt", "patch.txt"};
  game.SetDiscCount(discs);
  for (int disc = 0; disc < discs; ++disc) {
    game.DiscProgSizes[disc] = 100;
    game.DiscDataSizes[disc] = 1000;
    game.DiscSoundSizes[disc] = 10;
    game.DiscMovieSizes[disc] = 20;
  }
  game.ProgSize = 100 * discs;
  game.DataSize = 1000 * discs;
  game.SoundSize = 10 * discs;
  game.MovieSize = 20 * discs;
  return game;
}

inline std::vector<std::string> Sorted(std::vector<std::string> names) {
  for (std::string& name : names) name = AsciiLower(name);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace koru::testing
