#include "wizard/form_type.h"

#include "base/error.h"
#include "base/sjis.h"
#include "settings/folders.h"
#include "settings/format_thousands.h"
#include "settings/paths.h"
#include "storage/exe_archive.h"

namespace koru {
namespace {

using platform::kResultAbort;
using platform::kResultCancel;
using platform::kResultNone;
using platform::kResultOk;

constexpr const char* kProgramFilesTag = "<ProgramFiles>";
constexpr const char* kInstallDatName = "install.dat";

// The text with every leading and trailing backslash removed (whole characters).
std::string TrimBackslashes(std::string_view text) {
  std::string result(text);
  while (!result.empty() && result.front() == '\\') result.erase(0, 1);
  while (EndsWithChar(result, '\\')) result.pop_back();
  return result;
}

// How a directory list shows a folder: without trailing backslash, except a drive root.
std::string DirectoryText(const std::string& folder) {
  const std::string trimmed = ExcludeTrailingBackslash(folder);
  if (trimmed.size() == 2 && trimmed[1] == ':') return trimmed + "\\";
  return trimmed;
}

size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i += CharLengthAt(text, i)) ++count;
  return count;
}

}  // namespace

TFormType::TFormType(platform::Env& env, platform::UserInterface& ui, TKoruInstallSet& settings,
                     TVrFileCollection* archive, std::vector<std::string> arguments,
                     PageActions& actions)
    : env_(env),
      ui_(ui),
      settings_(settings),
      archive_(archive),
      arguments_(std::move(arguments)),
      actions_(actions),
      shell_link_(env),
      file_operation_(env) {
  file_operation_.Options = TFileOpFlags{fofSilent, fofNoConfirmation, fofFilesOnly};
}

void TFormType::FormCreate(platform::FormView& view) {
  view_ = &view;
  view.SetCaption(kWizardInitialCaption);
  view.SetChecked(kIdCheckProg, true);
  view.SetEnabled(kIdCheckProg, false);
  view.SetEnabled(kIdBtnBack, false);

  const char* media = settings_.MediaName.c_str();
  view.SetText(kIdLabelDisk, Format("インストールする%sを指定してください", media));
  view.SetText(kIdRadioDiskAll, Format("全ての%sをインストール", media));
  view.SetText(kIdRadioDiskThis, Format("この%sをインストール", media));
  // Neither radio button checked means this disc only.
  view.SetChecked(kIdRadioDiskAll, false);
  view.SetChecked(kIdRadioDiskThis, false);
  if (settings_.DiscIndex == 0 && settings_.DiscCount > 1) view.SetChecked(kIdRadioDiskAll, true);

  view.SetText(kIdLabelUninst, Format("%s をコンピュータから削除します", settings_.Title.c_str()));
  view.SetVisible(kIdBtnBack, !settings_.Uninstaller);

  SetUpInstallFolder();

  view.SetText(kIdEditHello, settings_.WelcomeText);
  view.SetText(kIdEditLicense, settings_.LicenseText);
  SetUpPageFlags();

  if (settings_.Uninstaller) {
    page_enabled_.fill(false);
    page_enabled_[kPageUninst] = true;
    page_enabled_[kPageDelete] = true;
    page_enabled_[kPageExit] = true;
    ShowPage(kPageUninst);
  } else {
    ShowPage(FirstEnabledPage());
  }

  if (settings_.InstallType == 1) {
    for (const int id : {kIdCheckData, kIdCheckSound, kIdCheckMovie}) {
      view.SetChecked(id, true);
      CheckDataClick();
    }
  }
  const bool offers_back = FirstEnabledPage() < kPageConfirm;
  view.SetVisible(kIdLabelBack, offers_back);
  view.SetVisible(kIdLabelBack2, offers_back);
  if (current_page_ == kPageSelDir) UpdateSizes();
}

void TFormType::SetUpInstallFolder() {
  platform::FileSystem& files = env_.files();
  std::string path = settings_.ReadRegValue(env_, kRegInstallPath, "");
  if (path.empty() || !files.DirectoryExists(path)) {
    const std::string& folder = settings_.DefaultFolder;
    if (folder.compare(0, 14, kProgramFilesTag) == 0) {
      const std::string program_files =
          ExcludeTrailingBackslash(GetSpecialFolder(env_, platform::kCsidlProgramFiles));
      default_sub_folder_ = TrimBackslashes(std::string_view(folder).substr(14));
      path = AddBackslash(program_files) + default_sub_folder_;
    } else {
      const std::string windows = env_.system().WindowsFolder();
      const std::string_view rest =
          !folder.empty() && folder[0] == '\\' ? std::string_view(folder).substr(1) : folder;
      path = std::string(1, windows.empty() ? 'C' : windows[0]) + ":\\" + std::string(rest);
      default_sub_folder_ = TrimBackslashes(folder);
    }
  }

  path = ExcludeTrailingBackslash(path);
  view_->SetText(kIdEditDir, path);
  if (files.DirectoryExists(path)) default_sub_folder_.clear();
  if (!path.empty()) view_->SetText(kIdDrive, std::string(1, path[0]));

  // The nearest existing ancestor: the directory list cannot show a missing folder.
  while (!files.DirectoryExists(path)) {
    std::string cut = path;
    if (EndsWithChar(cut, '\\')) cut.pop_back();
    const size_t last = FindLastChar(cut, '\\');
    if (last == std::string::npos) break;
    cut.resize(last + 1);
    if (cut == path) break;
    path = cut;
  }
  view_->SetText(kIdDirectory, DirectoryText(path));
  DirectoryChange();
}

void TFormType::SetUpPageFlags() {
  page_enabled_.fill(true);
  page_enabled_[kPageHello] = !settings_.WelcomeText.empty();
  page_enabled_[kPageLicense] = !settings_.LicenseText.empty();
  if (settings_.InstallType == 2) {
    page_enabled_[kPageMedia] = false;
    page_enabled_[kPageFile] = false;
    page_enabled_[kPageSelDir] = false;
  } else if (settings_.UpdateMode || settings_.InstallType == 1) {
    page_enabled_[kPageMedia] = false;
    page_enabled_[kPageFile] = false;
  } else if (settings_.DiscCount < 2 || settings_.DiscIndex != 0) {
    page_enabled_[kPageMedia] = false;
  }
}

bool TFormType::PageEnabled(int page) const {
  return page >= 0 && page < kPageCount && page_enabled_[page];
}

int TFormType::FirstEnabledPage() const {
  for (int page = 0; page < kPageCount; ++page) {
    if (page_enabled_[page]) return page;
  }
  return -1;
}

int TFormType::LastEnabledPage() const {
  for (int page = kPageCount - 1; page >= 0; --page) {
    if (page_enabled_[page]) return page;
  }
  return -1;
}

void TFormType::ShowPage(int page) {
  if (page < 0 || page >= kPageCount) return;
  current_page_ = page;
  view_->ShowNotebookPage(page);
  EnterPage(page);
  // An entry that moved on, or ended the wizard, has left the buttons as they must stay.
  if (current_page_ != page || modal_result_ != kResultNone) return;
  UpdateButtons();
}

void TFormType::EnterPage(int page) {
  if (page == kPageMedia) {
    view_->SetCaption(Format(PageCaption(page), settings_.MediaName.c_str()));
  } else {
    view_->SetCaption(PageCaption(page));
  }
  switch (page) {
    case kPageFile:
      ShowComponentChecks();
      UpdateSizes();
      break;
    case kPageSelDir:
      // Also here, so that the free-space check never compares against sizes that no
      // page has computed (a welcome page before "seldir" in update mode).
      UpdateSizes();
      UpdateDriveFreeLabel();
      break;
    case kPageCopy:
      actions_.EnterCopyPage(*this);
      break;
    case kPageExit:
      view_->SetFocus(kIdBtnAbort);
      break;
    case kPageUninst:
      actions_.EnterUninstPage(*this);
      break;
    case kPageDelete:
      actions_.EnterDeletePage(*this);
      break;
    default:
      break;
  }
}

void TFormType::UpdateButtons() {
  view_->SetEnabled(kIdBtnBack, FirstEnabledPage() < current_page_);
  view_->SetEnabled(kIdBtnNext,
                    current_page_ < LastEnabledPage() &&
                        (current_page_ != kPageLicense || view_->Checked(kIdCheckLicense)));
  switch (current_page_) {
    case kPageConfirm:
      view_->SetText(kIdBtnNext, "インストール");
      break;
    case kPageExit:
      view_->SetText(kIdBtnAbort, "閉じる(&C)");
      break;
    case kPageUninst:
      view_->SetText(kIdBtnNext, "実行");
      break;
    default:
      view_->SetText(kIdBtnNext, "次へ(&N) >");
      break;
  }
}

int64_t TFormType::ThisDisc(const std::vector<int64_t>& sizes) const {
  const int32_t index = settings_.DiscIndex;
  return index >= 0 && static_cast<size_t>(index) < sizes.size() ? sizes[index] : 0;
}

void TFormType::ShowComponentChecks() {
  const bool all_discs = view_->Checked(kIdRadioDiskAll);
  auto size = [&](int64_t total, const std::vector<int64_t>& per_disc) {
    return all_discs ? total : ThisDisc(per_disc);
  };
  view_->SetVisible(kIdCheckProg, size(settings_.ProgSize, settings_.DiscProgSizes) > 0);
  view_->SetVisible(kIdCheckData, size(settings_.DataSize, settings_.DiscDataSizes) > 0);
  view_->SetVisible(kIdCheckSound, size(settings_.SoundSize, settings_.DiscSoundSizes) > 0);
  view_->SetVisible(kIdCheckMovie, size(settings_.MovieSize, settings_.DiscMovieSizes) > 0);
}

void TFormType::UpdateSizes() {
  const TKoruInstallSet& s = settings_;
  if (s.UpdateMode) {
    total_size_ = s.ProgSize + s.DataSize + s.SoundSize + s.MovieSize;
  } else {
    const bool totals = view_->Checked(kIdRadioDiskAll) || s.InstallType == 1;
    auto size = [&](int64_t total, const std::vector<int64_t>& per_disc) {
      return totals ? total : ThisDisc(per_disc);
    };
    total_size_ = size(s.ProgSize, s.DiscProgSizes);
    if (view_->Checked(kIdCheckData)) total_size_ += size(s.DataSize, s.DiscDataSizes);
    if (view_->Checked(kIdCheckSound)) total_size_ += size(s.SoundSize, s.DiscSoundSizes);
    if (view_->Checked(kIdCheckMovie)) total_size_ += size(s.MovieSize, s.DiscMovieSizes);
  }
  const double mb = static_cast<double>(total_size_) / 1048576.0;
  view_->SetText(kIdLabelSize, Format("最低 %2.2f MBのディスクの空き容量が必要です", mb));
  view_->SetText(kIdLabelSzNeed,
                 Format("インストールには最低 %2.2f MBのディスクの空き容量が必要です", mb));
}

int64_t TFormType::DriveFreeMB(char drive_letter) {
  const std::optional<uint64_t> bytes =
      env_.files().FreeBytes(std::string(1, drive_letter) + ":\\");
  if (!bytes) return 0;
  return static_cast<int64_t>(*bytes / 1048576u);
}

void TFormType::UpdateDriveFreeLabel() {
  const std::string drive = view_->Text(kIdDrive);
  const int64_t free = DriveFreeMB(drive.empty() ? '\0' : drive[0]);
  if (free >= 0) {
    view_->SetText(kIdLabelSzDrv,
                   "このドライブには " + FormatThousands(free) + " MBの空きがあります");
  }
}

std::string TFormType::SourceFolder() const {
  // The temporary copy gets the disc's folder as its first argument. A setup started
  // without one (an update or a Windows-folder install run from the disc, a package
  // unpacked in place) runs from the disc itself: its own folder, where its settings and
  // archive were found; never the root of the current drive, which an empty folder would
  // name. An archive named on the command line: the folder that holds it.
  if (arguments_.empty()) return ExtractFilePath(env_.system().ExecutablePath());
  const std::string& first = arguments_.front();
  if (env_.files().FileExists(first)) return ExtractFilePath(first);
  return first;
}

std::string TFormType::TargetFolder() {
  if (settings_.InstallType == 2) return AddBackslash(env_.system().WindowsFolder());
  return AddBackslash(view_->Text(kIdEditDir));
}

bool TFormType::HoldsInstalledGame(const std::string& folder) {
  if (env_.files().FileExists(folder + kInstallDatName)) {
    TKoruInstallSet installed;
    installed.LoadFromFile(env_, folder + kInstallDatName);
    return installed.Title == settings_.Title;
  }
  return !FindArchiveExe(env_, folder, settings_.Title).empty();
}

bool TFormType::CheckTargetFolder() {
  if (CharCount(view_->Text(kIdEditDir)) <= 3) {
    platform::ShowWarning(ui_, kBadTargetMessage);
    return false;
  }
  const std::string target = TargetFolder();
  if (settings_.UpdateMode && !HoldsInstalledGame(target)) {
    platform::ShowWarning(ui_, kBadTargetMessage);
    return false;
  }
  const int64_t need = total_size_ / 1024 / 1024;
  if (need > DriveFreeMB(target[0])) {
    const int answer =
        platform::ShowWarning(ui_, kLowSpaceMessage, platform::MessageButtons::kYesNo);
    if (answer != platform::kResultYes) return false;
  }
  return true;
}

void TFormType::btnNextClick() {
  if (current_page_ == kPageSelDir && !CheckTargetFolder()) return;
  for (int page = current_page_ + 1; page < kPageCount; ++page) {
    if (page_enabled_[page]) {
      ShowPage(page);
      return;
    }
  }
}

void TFormType::btnBackClick() {
  for (int page = current_page_ - 1; page >= 0; --page) {
    if (page_enabled_[page]) {
      ShowPage(page);
      return;
    }
  }
}

void TFormType::btnAbortClick() {
  switch (current_page_) {
    case kPageExit:
      modal_result_ = kResultOk;
      break;
    case kPageCopy:
      if (platform::AskConfirmation(ui_, kAbortInstallQuestion)) modal_result_ = kResultAbort;
      break;
    case kPageDelete:
      if (platform::AskConfirmation(ui_, kAbortUninstallQuestion)) modal_result_ = kResultAbort;
      break;
    default:
      modal_result_ = kResultCancel;
      break;
  }
}

bool TFormType::OnCloseQuery() {
  if (modal_result_ != kResultCancel) return true;
  const char* question = settings_.Uninstaller ? kAbortUninstallQuestion : kAbortInstallQuestion;
  if (platform::AskConfirmation(ui_, question)) return true;
  modal_result_ = kResultNone;
  return false;
}

void TFormType::CheckLicenseClick() {
  view_->SetEnabled(kIdBtnNext,
                    current_page_ < LastEnabledPage() && view_->Checked(kIdCheckLicense));
}

void TFormType::CheckProgClick() { view_->SetChecked(kIdCheckProg, true); }

void TFormType::CheckDataClick() { UpdateSizes(); }

void TFormType::DriveChange() { UpdateDriveFreeLabel(); }

void TFormType::DirectoryChange() {
  const std::string directory = view_->Text(kIdDirectory);
  if (!default_sub_folder_.empty() && !settings_.UpdateMode) {
    view_->SetText(kIdEditDir, AddBackslash(directory) + default_sub_folder_);
  } else {
    view_->SetText(kIdEditDir, directory);
  }
}

void TFormType::OnClick(int id) {
  switch (id) {
    case kIdBtnNext:
      btnNextClick();
      break;
    case kIdBtnBack:
      btnBackClick();
      break;
    case kIdBtnAbort:
      btnAbortClick();
      break;
    case kIdCheckLicense:
      CheckLicenseClick();
      break;
    case kIdCheckProg:
      CheckProgClick();
      break;
    case kIdCheckData:
    case kIdCheckSound:
    case kIdCheckMovie:
      CheckDataClick();
      break;
    default:
      break;
  }
}

void TFormType::OnChange(int id) {
  switch (id) {
    case kIdDirectory:
      DirectoryChange();
      break;
    case kIdDrive:
      // A new drive also moves the bound directory list.
      DriveChange();
      DirectoryChange();
      break;
    default:
      break;
  }
}

void TFormType::OnCloseBox() { btnAbortClick(); }

}  // namespace koru
