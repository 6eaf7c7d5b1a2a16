#pragma once

// The copy engine: the entry of the wizard's "copy" page. In one pass it copies the
// chosen loose files of one or several discs into the install folder, merges each disc's
// data archive into the folder's game.dat (or rebuilds a game executable that carries
// its archive), unpacks separate files, checks the archive, and records the installation
// (install.dat with Uninstaller set, "InstallPath", Start-menu shortcuts).
//
// Every way out frees the target archive and deletes the work folder. Nothing is rolled
// back: files copied before an abort or an error stay, but install.dat, the registry
// value and the shortcuts are only written once everything else succeeded, and every
// file the engine replaces (install.dat, separate files, the game executable) is written
// beside its target first, so a failure never leaves one half-written.
//
// The program puts it into the wizard together with the uninstaller's entries:
//
//   CopyEngine copy;
//   Uninstaller removal;
//   CombinedPageActions pages(copy, removal);
//   TFormType form(env, ui, settings, archive, arguments, pages);

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "wizard/page_actions.h"

namespace koru {

class TFormType;

// Texts the copy page shows.
inline constexpr const char* kCopyCaption = "ファイルコピー";
inline constexpr const char* kCopyingLabel = "%s をコピー中...";
inline constexpr const char* kBuildingLabel = "データファイルを構築中(%d/%d)...";
inline constexpr const char* kCheckingLabel = "データファイルを調べています(%d/%d)...";
inline constexpr const char* kCheckCaption = "データファイルをチェックしています";
inline constexpr const char* kShortcutCaption = "ショートカットを作成しています";
inline constexpr const char* kRegistryCaption = "レジストリを更新しています";
inline constexpr const char* kDiscPrompt = "ディスク%dを入れてからOKをクリックしてください";
// Messages of the copy page.
inline constexpr const char* kWorkFolderError = "作業用フォルダが作成できません";
inline constexpr const char* kBrokenFileError = "ファイルが壊れています";
inline constexpr const char* kCannotCreateFile = "ファイルが作成できません";
inline constexpr const char* kCannotCopy = "コピーできません";
inline constexpr const char* kNoFolderMessage = "ディレクトリを作成できませんでした";
inline constexpr const char* kBadDataMessage =
    "ファイルの内容が正しくありません\r\nインストールしなおしてください\r\n"
    "何度も失敗する場合は、スキャンディスクを実行して\r\nハードディスクに異常がないか調べてくださ"
    "い";
// Names of the shortcuts beside the game's own.
inline constexpr const char* kUninstallLinkSuffix = "のアンインストール";
inline constexpr const char* kReadmeLinkName = "お読みください";

// Extensions of the optional components, searched as substrings.
inline constexpr const char* kSoundExtensions = ".mp2.mp3.wma.wav.mid.ogg";
inline constexpr const char* kMovieExtensions = ".avi.wmv.asf.mpg.mpeg";
enum TMediaKind : int { mkOther = 0, mkSound = 1, mkMovie = 2 };

// The update's work folder below the user's temporary folder: "~kbupdate\", else
// "~kbupdate2\" up to "~kbupdate<kMaxWorkFolderNumber>\".
inline constexpr const char* kWorkFolderName = "~kbupdate";
// Each taken name is the leftover of a run that was killed (every way out of the copy
// page deletes its folder), so a thousand of them means that something else is wrong
// (the folder test always answers yes, say); a bound turns that into an error instead
// of a wizard that hangs, and a thousand existence tests cost no noticeable time.
inline constexpr int kMaxWorkFolderNumber = 999;
// The archive written in the work folder and appended to the rebuilt executable.
inline constexpr const char* kUpdatePackName = "~krupdate.pak";

// Fixed pauses, in milliseconds: after a disc prompt is answered OK, after creating the
// shortcuts, after the registry update, after opening the readme.
inline constexpr uint32_t kDiscPauseMs = 500;
inline constexpr uint32_t kShortcutPauseMs = 2000;
inline constexpr uint32_t kRegistryPauseMs = 1000;
inline constexpr uint32_t kReadmePauseMs = 1000;

// Progress is shown in units of 10 bytes, so that the bar's 32-bit range covers about
// 21 GB.
inline constexpr int64_t kProgressUnit = 10;
// While merging, entries above this size refresh the progress whatever their position.
inline constexpr int64_t kLargeEntrySize = 3145728;

// mkSound, mkMovie or mkOther for an extension with its dot (lower-cased first; a
// substring test, so ".mp" is sound and ".mpe" movie). An empty extension is mkOther.
int ClassifyMediaFile(std::string_view extension);

// Deletes every file below folder, every sub-folder and the folder itself. Failures
// (read-only or open files) are ignored: whatever cannot go stays.
void DeleteFolderTree(platform::Env& env, const std::string& folder);

// Creates the work folder (with every missing parent) and returns it with a trailing
// backslash. Throws KoruError(kWorkFolderError) when no free name up to the bound is
// left or the folder cannot be made.
std::string CreateWorkFolder(platform::Env& env);

// The archive's progress while merging: CopiedSize grows by size; on every tenth entry
// and for entries above kLargeEntrySize the bar, the label and the message queue are
// refreshed and abort is set from the modal result.
void OnBuildProgress(TFormType& form, int64_t size, int index, int count, bool& abort);
// The archive's progress while checking: the bar counts entries, the label names the
// entry, the queue is pumped and abort is set from the modal result.
void OnCheckProgress(TFormType& form, int index, int count, bool& abort);

// The game's, the uninstaller's and (with ReadmeFile) the readme's shortcuts in a folder
// named after the title in the programs menu (all users' on the NT family), then opens
// that folder in the shell.
void CreateShortcuts(TFormType& form);
// With ReadmeFile and ShowReadme set: opens the readme, waits, and brings the wizard to
// the front.
void OpenReadme(TFormType& form);

// The "copy" entry of the wizard. The removal road's entries are the uninstaller's; on
// the install road they are never reached.
class CopyEngine : public PageActions {
 public:
  // Copies and records as described above; ends on "exit", with modal result 3 (abort)
  // or 1 (a folder that cannot be made), or with an exception, the wizard then staying
  // on "copy".
  void EnterCopyPage(TFormType& form) override;
  void EnterUninstPage(TFormType&) override {}
  void EnterDeletePage(TFormType&) override {}
};

}  // namespace koru
