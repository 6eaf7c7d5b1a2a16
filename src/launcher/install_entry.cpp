#include "launcher/install_entry.h"

#include "base/error.h"
#include "launcher/mutex_names.h"
#include "settings/file_routines.h"
#include "settings/paths.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

constexpr const char* kResourceName = "DUMMY";
constexpr const char* kResourceType = "BINTYPE";
constexpr const char* kSettingsName = "install.dat";
constexpr const char* kArchiveName = "game.dat";
constexpr int kShowCommand = platform::kShowShow;

bool StartsWith(const uint8_t* data, size_t size, const char (&tag)[3]) {
  return size >= 2 && data[0] == static_cast<uint8_t>(tag[0]) &&
         data[1] == static_cast<uint8_t>(tag[1]);
}

// The settings entry of an archive.
void LoadSettingsFrom(TVrFileCollection& archive, TKoruInstallSet& settings) {
  MemoryStream stream;
  LoadEntry(archive, stream, kSettingsName);
  settings.LoadFromStream(stream);
}

// The first argument after the program's name, or empty.
const std::string* FirstArgument(const std::vector<std::string>& arguments) {
  return arguments.size() > 1 ? &arguments[1] : nullptr;
}

}  // namespace

InstallEntry::InstallEntry(platform::Env& env, platform::UserInterface& ui,
                           LauncherWindows& windows)
    : env_(env), ui_(ui), windows_(windows) {}

int InstallEntry::Run(const std::vector<std::string>& arguments) {
  if (!env_.system().IsUserAdmin()) {
    platform::ShowWarning(ui_, kNoAdminMessage);
    return 0;
  }
  const ArchivePlace place = DetectArchive();
  TKoruInstallSet settings;
  std::string source_path;
  if (!LoadSettings(place, arguments, settings, source_path)) return 0;
  if (GameIsRunning(settings)) return 0;

  std::optional<LaunchRequest> launch;
  {
    bool already_running = false;
    std::unique_ptr<platform::NamedMutex> single_instance =
        env_.system().CreateNamedMutex(settings.Title, &already_running);
    if (single_instance == nullptr || already_running) return 0;

    if (settings.Uninstaller) {
      if (FirstArgument(arguments) == nullptr) {
        launch = SelfCopy();
        if (!launch) return 0;
      } else {
        DeleteAtRestart(env_, env_.system().ExecutablePath());
        windows_.RunWizard(settings, /*archive=*/nullptr,
                           std::vector<std::string>(arguments.begin() + 1, arguments.end()));
      }
    } else {
      launch = RunInstallerRoad(place, arguments, settings, source_path);
    }
    // The mutex is released here, before the start below, so that the temporary copy
    // can take it.
  }
  if (launch) Launch(*launch);
  return 0;
}

InstallEntry::ArchivePlace InstallEntry::DetectArchive() {
  if (std::unique_ptr<platform::ResourceData> resource =
          env_.system().LoadModuleResource("", kResourceName, kResourceType, nullptr)) {
    if (StartsWith(resource->data(), resource->size(), "vf")) return ArchivePlace::kResource;
  }
  try {
    platform::OpenOptions options;
    options.access = platform::FileAccess::kRead;
    options.share = platform::FileShare::kRead;
    std::unique_ptr<platform::File> own =
        env_.files().OpenFile(env_.system().ExecutablePath(), options);
    const int64_t size = own->GetSize();
    if (size >= 2) {
      uint8_t marker[2] = {};
      own->SetPosition(size - 2);
      own->ReadExact(marker, 2);
      if (StartsWith(marker, 2, "kr")) return ArchivePlace::kTrailer;
    }
  } catch (const KoruError&) {
    // An executable that cannot be read carries no archive we could use.
  }
  return ArchivePlace::kNone;
}

bool InstallEntry::LoadSettings(ArchivePlace place, const std::vector<std::string>& arguments,
                                TKoruInstallSet& settings, std::string& source_path) {
  const std::string executable = env_.system().ExecutablePath();
  const std::string* first = FirstArgument(arguments);
  if (place == ArchivePlace::kResource) {
    TVrFileCollection archive(env_);
    archive.OpenResource(executable, kResourceName, kResourceType);
    LoadSettingsFrom(archive, settings);
  } else if (place == ArchivePlace::kTrailer) {
    TVrFileCollection archive(env_);
    archive.Open(executable);
    LoadSettingsFrom(archive, settings);
  } else if (first != nullptr && env_.files().FileExists(*first)) {
    TVrFileCollection archive(env_);
    archive.Open(*first);
    LoadSettingsFrom(archive, settings);
    source_path = *first;
  } else {
    source_path = first != nullptr ? *first : ExtractFilePath(executable);
    const std::string file = AddBackslash(source_path) + kSettingsName;
    if (!env_.files().FileExists(file)) {
      platform::ShowWarning(ui_, kNoSettingsMessage);
      return false;
    }
    settings.LoadFromFile(env_, file);
  }
  return true;
}

bool InstallEntry::GameIsRunning(const TKoruInstallSet& settings) {
  std::string install_path;
  try {
    install_path = settings.ReadRegValue(env_, kRegInstallPath, "");
  } catch (const KoruError&) {
    // A value of another type reads as no installation: this test never fails loudly.
    return false;
  }
  if (install_path.empty()) return false;
  // A mutex we may not open (the game runs as another user or elevated) exists all the
  // same: starting a setup over a running game would overwrite its files.
  return env_.system().ProbeMutex(RunningGameMutexName(install_path)) !=
         platform::MutexProbe::kAbsent;
}

void InstallEntry::OpenCurrentArchive(ArchivePlace place, const TKoruInstallSet& settings,
                                      const std::string& source_path, TVrFileCollection& archive) {
  const std::string executable = env_.system().ExecutablePath();
  if (place == ArchivePlace::kResource) {
    archive.OpenResource(executable, kResourceName, kResourceType);
  } else if (place == ArchivePlace::kTrailer) {
    archive.Open(executable);
  } else if (!source_path.empty() && env_.files().FileExists(source_path)) {
    archive.Open(source_path);
  } else if (settings.UpdateMode) {
    archive.Open(executable);
  } else {
    archive.Open(AddBackslash(source_path) + kArchiveName);
  }
}

std::optional<LaunchRequest> InstallEntry::RunInstallerRoad(
    ArchivePlace place, const std::vector<std::string>& arguments, TKoruInstallSet& settings,
    const std::string& source_path) {
  TVrFileCollection archive(env_);
  OpenCurrentArchive(place, settings, source_path, archive);
  const std::vector<std::string> wizard_arguments(arguments.begin() + 1, arguments.end());
  const bool start_menu =
      FirstArgument(arguments) == nullptr && !settings.UpdateMode && settings.InstallType != 2;
  if (!start_menu) {
    if (!settings.ExtractFiles) DeleteAtRestart(env_, env_.system().ExecutablePath());
    windows_.RunWizard(settings, &archive, wizard_arguments);
    return std::nullopt;
  }
  WriteDriveValue(settings);
  const StartMenuOutcome outcome = windows_.RunStartMenu(settings, archive);
  if (outcome.modal_result != platform::kResultOk) return std::nullopt;
  if (outcome.launch_choice == 0) {
    std::string install_path;
    try {
      install_path = settings.ReadRegValue(env_, kRegInstallPath, "");
    } catch (const KoruError&) {
      // Unreadable: the start below then fails with the shell's code for a missing file.
    }
    return LaunchRequest{AddBackslash(install_path) + settings.ExeFile, ""};
  }
  if (settings.ExtractFiles) {
    windows_.RunWizard(settings, &archive, wizard_arguments);
    return std::nullopt;
  }
  return SelfCopy();
}

std::optional<LaunchRequest> InstallEntry::SelfCopy() {
  std::optional<LaunchRequest> copy = CopySelfToTemp(env_);
  if (!copy) platform::ShowWarning(ui_, kSelfCopyFailedMessage);
  return copy;
}

void InstallEntry::WriteDriveValue(const TKoruInstallSet& settings) {
  // Started from a drive's root (D:\setup.exe) the drive is remembered as the disc drive.
  const std::string folder = ExtractFilePath(env_.system().ExecutablePath());
  const std::string drive = folder.size() == 3 ? ExtractFileDrive(folder) : std::string();
  try {
    settings.WriteRegValue(env_, kRegCdDrive, drive);
  } catch (const KoruError&) {
    // The drive value is a convenience for the game; it never stops the setup.
  }
}

void InstallEntry::Launch(const LaunchRequest& request) {
  const int result = env_.shell().ShellOpen(request.file, request.parameters,
                                            /*directory=*/"", kShowCommand);
  if (result <= 32) platform::ShowWarning(ui_, Format(kLaunchFailedMessage, result));
}

}  // namespace koru
