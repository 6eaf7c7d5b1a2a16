#pragma once

// The program's entry: decides on every start which role the program plays (refuse, end
// silently, start menu, self-copy to the temporary folder, wizard in place) and plays it
// to the end, owning the settings object and the current archive meanwhile. Its very
// last act may be to start one program through the shell.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launcher/launcher_windows.h"
#include "launcher/self_copy.h"
#include "platform/env.h"
#include "platform/user_interface.h"
#include "settings/install_set.h"

namespace koru {

inline constexpr const char* kNoAdminMessage = "管理者権限で実行してください";
inline constexpr const char* kNoSettingsMessage = "インストール設定ファイルがありません";
inline constexpr const char* kSelfCopyFailedMessage = "ファイルをコピーできません";
inline constexpr const char* kLaunchFailedMessage =
    "プログラムを実行できませんでした\r\nエラーコード[%d]";

class InstallEntry {
 public:
  InstallEntry(platform::Env& env, platform::UserInterface& ui, LauncherWindows& windows);

  // Runs the main sequence for the command line's arguments (the program's name first,
  // as SplitCommandLine gives them) and returns the exit code, 0 on every road the entry
  // controls. Failures of the archive and settings readers and of the windows propagate;
  // the caller shows them in the error box and ends with exit code 1.
  int Run(const std::vector<std::string>& arguments);

 private:
  // Where the settings and the archive come from.
  enum class ArchivePlace { kNone, kResource, kTrailer };

  ArchivePlace DetectArchive();
  // Loads the settings; false when there is no settings file (the message was shown).
  bool LoadSettings(ArchivePlace place, const std::vector<std::string>& arguments,
                    TKoruInstallSet& settings, std::string& source_path);
  bool GameIsRunning(const TKoruInstallSet& settings);
  void OpenCurrentArchive(ArchivePlace place, const TKoruInstallSet& settings,
                          const std::string& source_path, TVrFileCollection& archive);
  // The road of a settings file without Uninstaller; returns what to start at the end.
  std::optional<LaunchRequest> RunInstallerRoad(ArchivePlace place,
                                                const std::vector<std::string>& arguments,
                                                TKoruInstallSet& settings,
                                                const std::string& source_path);
  std::optional<LaunchRequest> SelfCopy();
  void WriteDriveValue(const TKoruInstallSet& settings);
  void Launch(const LaunchRequest& request);

  platform::Env& env_;
  platform::UserInterface& ui_;
  LauncherWindows& windows_;
};

}  // namespace koru
