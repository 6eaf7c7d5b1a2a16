#pragma once

// The install and removal wizard: a fixed window of ten notebook pages of which a
// per-page flag decides those the user walks through. This class decides everything
// (pages, captions, buttons, checks, sizes, messages) and talks to the window only
// through a FormView; the entries of the long pages ("copy", "uninst", "delete") are
// PageActions plugged in from outside.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/form_view.h"
#include "platform/user_interface.h"
#include "settings/install_set.h"
#include "storage/vrfiles.h"
#include "wizard/file_operation.h"
#include "wizard/page_actions.h"
#include "wizard/shell_link.h"

namespace koru {

// The notebook's pages, in their fixed order.
enum WizardPage : int {
  kPageHello = 0,
  kPageLicense = 1,
  kPageMedia = 2,
  kPageFile = 3,
  kPageSelDir = 4,
  kPageConfirm = 5,
  kPageCopy = 6,
  kPageExit = 7,
  kPageUninst = 8,
  kPageDelete = 9,
  kPageCount = 10,
};

// Control ids (stable: tests and the end-to-end driver address controls by them).
enum WizardControl : int {
  kIdEditHello = 1210,
  kIdLabel2 = 1220,
  kIdLabel4 = 1221,
  kIdEditLicense = 1222,
  kIdCheckLicense = 1223,
  kIdLabelDisk = 1230,
  kIdRadioDiskAll = 1231,
  kIdRadioDiskThis = 1232,
  kIdLabel1 = 1240,
  kIdCheckProg = 1241,
  kIdCheckData = 1242,
  kIdCheckSound = 1243,
  kIdCheckMovie = 1244,
  kIdLabelSize = 1245,
  kIdLabel3 = 1250,
  kIdEditDir = 1251,
  kIdDirectory = 1252,
  kIdDrive = 1253,
  kIdLabelSzDrv = 1254,
  kIdLabelSzNeed = 1255,
  kIdLabel5 = 1260,
  kIdLabelBack = 1261,
  kIdLabelBack2 = 1262,
  kIdLabelCopyCap = 1270,
  kIdLabelCopy = 1271,
  kIdProgress = 1272,
  kIdLabelExit = 1280,
  kIdLabelUninst = 1290,
  kIdLabel7 = 1291,
  kIdCheckDelSave = 1292,
  kIdLabelDelTitle = 1300,
  kIdLabelDel = 1301,
  kIdSeparator = 1310,
  kIdBtnBack = 1311,
  kIdBtnNext = 1312,
  kIdBtnAbort = 1313,
};

// Client size at design time.
inline constexpr int kWizardWidth = 497;
inline constexpr int kWizardHeight = 336;
// The window's font: face (Shift-JIS) and height in pixels.
inline constexpr const char* kWizardFontFace = "ＭＳ Ｐゴシック";
inline constexpr int kWizardFontHeight = 12;
// The caption before the first page replaces it.
inline constexpr const char* kWizardInitialCaption = "インストールタイプの選択";

// Messages of the wizard.
inline constexpr const char* kBadTargetMessage = "正しいインストール先を指定してください";
inline constexpr const char* kLowSpaceMessage =
    "ドライブにじゅうぶんな空き容量がありません\r\nこのまま処理を続けますか？";
inline constexpr const char* kAbortInstallQuestion = "インストールを中断しますか？";
inline constexpr const char* kAbortUninstallQuestion = "アンインストールを中断しますか？";

class TFormType : public platform::FormEvents {
 public:
  // The layout at design size, in creation and tab order; page = the notebook page.
  static std::span<const platform::ControlSpec> Layout();
  // The caption a page sets when it is entered (the "Media" one holds a %s).
  static const char* PageCaption(int page);

  // settings: the process-wide settings object (the copy engine changes it on the way).
  // archive: the current archive, null on the removal road. arguments: the command
  // line after the program's name; the first is the source (or install) folder.
  // actions: the entries of "copy", "uninst" and "delete"; must outlive this object.
  TFormType(platform::Env& env, platform::UserInterface& ui, TKoruInstallSet& settings,
            TVrFileCollection* archive, std::vector<std::string> arguments, PageActions& actions);

  // The set-up against a view made from Layout(): captions of the media texts, the
  // install folder, the page flags, the first page. The view must outlive this object.
  void FormCreate(platform::FormView& view);

  // Makes page current, runs its entry, then sets the buttons (see page_actions.h).
  void ShowPage(int page);
  int CurrentPage() const { return current_page_; }
  bool PageEnabled(int page) const;
  // Lowest (highest) page whose flag is set, or -1.
  int FirstEnabledPage() const;
  int LastEnabledPage() const;

  // Event handlers.
  void btnNextClick();
  void btnBackClick();
  void btnAbortClick();
  void CheckLicenseClick();
  void CheckProgClick();
  void CheckDataClick();  // CheckData, CheckSound and CheckMovie
  void DriveChange();
  void DirectoryChange();

  // TotalSize from the chosen components and discs, and the two size labels.
  void UpdateSizes();
  // Whole MiB available to the caller on the drive (truncated), 0 when unknown.
  int64_t DriveFreeMB(char drive_letter);
  void UpdateDriveFreeLabel();

  // FormEvents: what the view reports.
  void OnClick(int id) override;
  void OnChange(int id) override;
  // The close box acts as the abort button: the cancel question on ordinary pages, the
  // abort question while copying or deleting, closing on "exit".
  void OnCloseBox() override;
  int ModalResult() const override { return modal_result_; }
  // Asks the cancel question when the modal result is 2; No sets it back to 0.
  bool OnCloseQuery() override;

  // What the page entries use.
  platform::Env& env() { return env_; }
  platform::UserInterface& ui() { return ui_; }
  TKoruInstallSet& settings() { return settings_; }
  // The current archive (the disc's game.dat), null on the removal road.
  TVrFileCollection* SourceArchive() { return archive_; }
  // REQUIRES: FormCreate ran.
  platform::FormView& view() { return *view_; }
  const std::vector<std::string>& Arguments() const { return arguments_; }
  // The folder of the disc or package (install) or the install folder (removal): the first
  // argument; the folder of an archive file named there; without an argument the program's
  // own folder.
  std::string SourceFolder() const;
  // The install folder with a trailing backslash: the Windows folder with InstallType 2,
  // else the text of EditDir.
  std::string TargetFolder();
  const std::string& DefaultSubFolder() const { return default_sub_folder_; }
  // Whether a check box or radio button is checked.
  bool Checked(int id) { return view_->Checked(id); }
  int64_t TotalSize() const { return total_size_; }
  int64_t CopiedSize() const { return copied_size_; }
  void SetCopiedSize(int64_t size) { copied_size_ = size; }
  // Lets waiting window messages run; afterwards ModalResult() may be 3 (abort).
  void ProcessMessages() { ui_.ProcessMessages(); }
  void SetModalResult(int result) { modal_result_ = result; }
  void BringToFront() { view_->BringToFront(); }
  // The window's two shell components.
  TShellLink& ShellLink() { return shell_link_; }
  TFileOperation& FileOperation() { return file_operation_; }

 private:
  void SetUpInstallFolder();
  void SetUpPageFlags();
  void EnterPage(int page);
  void UpdateButtons();
  void ShowComponentChecks();
  bool CheckTargetFolder();
  bool HoldsInstalledGame(const std::string& folder);
  // The entry at DiscIndex of a per-disc array, 0 when there is none.
  int64_t ThisDisc(const std::vector<int64_t>& sizes) const;

  platform::Env& env_;
  platform::UserInterface& ui_;
  TKoruInstallSet& settings_;
  TVrFileCollection* archive_;
  std::vector<std::string> arguments_;
  PageActions& actions_;
  platform::FormView* view_ = nullptr;
  TShellLink shell_link_;
  TFileOperation file_operation_;

  std::array<bool, kPageCount> page_enabled_{};
  int current_page_ = 0;
  int modal_result_ = platform::kResultNone;
  int64_t total_size_ = 0;
  int64_t copied_size_ = 0;
  std::string default_sub_folder_;
};

}  // namespace koru
