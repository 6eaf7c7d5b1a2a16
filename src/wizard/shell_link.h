#pragma once

// Shortcut (.lnk) files below the shell's special folders: written, their folder opened
// in the shell, a whole shortcut sub-folder deleted. Everything goes through the Env
// (special folders, files, the shell's link object), so callers run against MemoryEnv.
//
// SubDir and Name come from the game's title. A SubDir that is not a plain relative path
// (absolute, naming a drive, with an empty, "." or ".." part; '/' separates like '\'),
// or a Name that is not one plain name, is refused quietly: nothing is created, opened
// or deleted, as the other link failures are not reported either. A link path longer
// than the system's path limit is refused the same way, before any folder is created.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"
#include "platform/env.h"

namespace koru {

// The special folder a link belongs to; the values are the shell's CSIDL numbers.
enum TShellLinkType : int {
  lnkDesktop = 0,
  lnkReserved1,
  lnkPrograms,
  lnkControls,
  lnkPrinters,
  lnkPersonal,
  lnkFavorites,
  lnkStartup,
  lnkRecent,
  lnkSendTo,
  lnkBitBucket,
  lnkStartMenu,
  lnkReserved2,
  lnkReserved3,
  lnkReserved4,
  lnkReserved5,
  lnkDesktopDirectory,
  lnkDrives,
  lnkNetwork,
  lnkNetHood,
  lnkFonts,
  lnkTemplates,
  lnkCommonStartMenu,
  lnkCommonPrograms,
  lnkCommonStartup,
  lnkCommonDesktopDirectory,
  lnkAppData,
  lnkPrintHood,
};

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// HotKey flags; the low byte is the virtual key.
inline constexpr uint16_t kHotKeyShift = 0x2000;
inline constexpr uint16_t kHotKeyCtrl = 0x4000;
inline constexpr uint16_t kHotKeyAlt = 0x8000;

// The longest link path the shell's link object saves, in UTF-16 units (MAX_PATH less
// the terminating null).
inline constexpr size_t kMaxLinkPathLength = 259;

inline constexpr const char* kSpecialFolderError = "Error in GetSpecialFolderLocation";
inline constexpr const char* kQueryInterfaceError = "Error in QueryInterface";

class EShellLinkError : public KoruError {
 public:
  using KoruError::KoruError;
};

class TShellLink {
 public:
  explicit TShellLink(platform::Env& env) : env_(env) {}

  std::string Arguments;
  std::string Description;
  uint16_t HotKey = 0;
  int IconIndex = 0;
  TShellLinkType LinkType = lnkDesktop;
  TWindowState WindowState = TWindowState::wsNormal;
  std::string WorkDir;
  std::string SubDir;
  std::string Name;  // the .lnk file's name without extension

  const std::string& FileName() const { return file_name_; }
  // Sets the target; a changed one also fills an empty Description (the file name
  // without extension) and an empty WorkDir (its folder, a drive root with backslash).
  void SetFileName(const std::string& path);
  // Sets the target and nothing else.
  void SetFileNameOnly(const std::string& path) { file_name_ = path; }

  // Writes special folder\SubDir\Name.lnk, creating the folders. An empty FileName
  // becomes the running program (through SetFileName). Returns false when the link was
  // refused or not saved. Throws EShellLinkError when the special folder is unknown or
  // the shell has no link object.
  bool CreateLink();
  // Opens special folder\SubDir in the shell. Throws EShellLinkError for an unknown folder.
  void OpenFolder();
  // Deletes special folder\SubDir with everything in it; nothing when SubDir is empty.
  // Failures are ignored. Throws EShellLinkError for an unknown folder.
  void DeleteFolder();

  // special folder + '\' [+ SubDir + '\']. Throws EShellLinkError for an unknown folder.
  std::string FolderPath();
  // The hot-key word as the link object takes it (0x100 Shift, 0x200 Ctrl, 0x400 Alt).
  uint16_t HotKeyWord() const;
  // The link object's show command for WindowState.
  int ShowCommand() const;

 private:
  platform::Env& env_;
  std::string file_name_;
};

// True iff sub_dir is empty or a relative path of plain names below a folder: no drive,
// no leading separator, no empty part and no part of dots and blanks only ('\' and '/'
// both separate; a double-byte character's second byte never does).
bool IsSafeSubDir(std::string_view sub_dir);
// True iff name can be a file name in a folder: no separator and no drive colon.
bool IsSafeLinkName(std::string_view name);

// A link in one call, through a temporary TShellLink (FileName set without defaults).
// Returns CreateLink's answer; its errors pass on.
bool CreateShortcut(platform::Env& env, const std::string& name, const std::string& file_name,
                    const std::string& arguments, const std::string& description,
                    const std::string& work_dir, TShellLinkType link_type,
                    const std::string& sub_dir, TWindowState window_state, uint16_t hot_key,
                    int icon_index);
void DeleteShortcutFolder(platform::Env& env, TShellLinkType link_type, const std::string& sub_dir);
void OpenShortcutFolder(platform::Env& env, TShellLinkType link_type, const std::string& sub_dir);

}  // namespace koru
