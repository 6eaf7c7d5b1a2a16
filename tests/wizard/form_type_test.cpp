#include "wizard/form_type.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "platform/memory/memory_env.h"
#include "platform/memory/recorded_form_view.h"
#include "platform/memory/scripted_ui.h"
#include "storage/bigstreams.h"
#include "storage/exe_archive.h"

namespace koru {
namespace {

using platform::kResultAbort;
using platform::kResultCancel;
using platform::kResultNo;
using platform::kResultNone;
using platform::kResultOk;
using platform::kResultYes;
using platform::RecordedFormView;

constexpr int64_t kMiB = 1048576;

class FormTypeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Title = "サンプル";
    settings_.MediaName = "CD-ROM";
    settings_.RegistryKey = "Koru\\Sample";
    settings_.DefaultFolder = "<ProgramFiles>\\Koru\\Sample\\";
    settings_.SetDiscCount(1);
    settings_.ProgSize = settings_.DiscProgSizes[0] = 10 * kMiB;
    settings_.DataSize = settings_.DiscDataSizes[0] = 20 * kMiB;
  }

  void Create(PageActions& actions) {
    view_ = std::make_unique<RecordedFormView>(TFormType::Layout());
    form_ = std::make_unique<TFormType>(env_, ui_, settings_, nullptr,
                                        std::vector<std::string>{"D:\\"}, actions);
    form_->FormCreate(*view_);
  }
  void Create() { Create(null_actions_); }

  // Clicks "Next" until the page stays or "copy" is reached; the pages seen, the first
  // one included.
  std::vector<int> WalkToCopy() {
    std::vector<int> pages{form_->CurrentPage()};
    while (form_->CurrentPage() != kPageCopy) {
      form_->OnClick(kIdBtnNext);
      if (form_->CurrentPage() == pages.back()) break;
      pages.push_back(form_->CurrentPage());
    }
    return pages;
  }

  // An archive holding install.dat with the title, appended to the executable at path.
  void PutGameExe(const std::string& path, const std::string& title) {
    TKoruInstallSet installed;
    installed.Title = title;
    MemoryStream settings_bytes;
    installed.SaveToStream(settings_bytes);
    TVrFileCollection collection(env_);
    collection.AddEntry("install.dat").Content =
        std::make_unique<MemoryStream>(settings_bytes.Bytes());
    {
      TKwBigFileStream out(env_.files(), path + ".pak", kModeCreate);
      collection.SaveTo(out);
    }
    ASSERT_TRUE(env_.files().PutFile(path, "MZ game"));
    AppendArchiveToExe(env_, path, path + ".pak");
  }

  platform::MemoryEnv env_;
  platform::ScriptedUserInterface ui_;
  TKoruInstallSet settings_;
  NullPageActions null_actions_;
  std::unique_ptr<RecordedFormView> view_;
  std::unique_ptr<TFormType> form_;
};

TEST_F(FormTypeTest, OneDiscWithoutTexts_StartsOnFileAndWalksToCopy) {
  Create();
  EXPECT_EQ(view_->caption(), "インストールするファイル");
  EXPECT_FALSE(view_->Enabled(kIdBtnBack));
  EXPECT_TRUE(view_->Checked(kIdCheckProg));
  EXPECT_FALSE(view_->Enabled(kIdCheckProg));
  EXPECT_TRUE(view_->Visible(kIdLabelBack));
  // Neither radio button: this disc's sizes. No sound or movie on it.
  EXPECT_FALSE(view_->Checked(kIdRadioDiskAll));
  EXPECT_FALSE(view_->Visible(kIdCheckSound));
  EXPECT_TRUE(view_->Visible(kIdCheckData));
  EXPECT_EQ(view_->Text(kIdLabelSize), "最低 10.00 MBのディスクの空き容量が必要です");

  view_->SetChecked(kIdCheckProg, false);
  form_->OnClick(kIdCheckProg);
  EXPECT_TRUE(view_->Checked(kIdCheckProg));
  view_->SetChecked(kIdCheckData, true);
  form_->OnClick(kIdCheckData);
  EXPECT_EQ(form_->TotalSize(), 30 * kMiB);

  EXPECT_EQ(WalkToCopy(), (std::vector<int>{kPageFile, kPageSelDir, kPageConfirm, kPageCopy}));
  EXPECT_TRUE(ui_.shown().empty());
  form_->OnClick(kIdBtnBack);
  EXPECT_EQ(form_->CurrentPage(), kPageConfirm);
  EXPECT_EQ(view_->Text(kIdBtnNext), "インストール");
  form_->OnClick(kIdBtnBack);
  EXPECT_EQ(view_->Text(kIdBtnNext), "次へ(&N) >");
}

TEST_F(FormTypeTest, FirstOfSeveralDiscs_WalksEveryPageWithLicenceGating) {
  settings_.WelcomeText = "ようこそ。";
  settings_.LicenseText = "契約";
  settings_.SetDiscCount(2);
  settings_.DiscProgSizes = {4 * kMiB, 6 * kMiB};
  settings_.DiscMovieSizes = {0, 50 * kMiB};
  settings_.MovieSize = 50 * kMiB;
  Create();
  EXPECT_EQ(view_->caption(), "ようこそ");
  EXPECT_EQ(view_->Text(kIdRadioDiskAll), "全てのCD-ROMをインストール");
  EXPECT_TRUE(view_->Checked(kIdRadioDiskAll));

  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(view_->caption(), "ライセンス契約");
  EXPECT_TRUE(view_->Enabled(kIdBtnBack));
  EXPECT_FALSE(view_->Enabled(kIdBtnNext));
  view_->SetChecked(kIdCheckLicense, true);
  form_->OnClick(kIdCheckLicense);
  EXPECT_TRUE(view_->Enabled(kIdBtnNext));
  view_->SetChecked(kIdCheckLicense, false);
  form_->OnClick(kIdCheckLicense);
  EXPECT_FALSE(view_->Enabled(kIdBtnNext));
  view_->SetChecked(kIdCheckLicense, true);
  form_->OnClick(kIdCheckLicense);

  std::vector<int> pages = WalkToCopy();
  EXPECT_EQ(pages, (std::vector<int>{kPageLicense, kPageMedia, kPageFile, kPageSelDir, kPageConfirm,
                                     kPageCopy}));
  // All discs: the totals decide which components are offered.
  form_->OnClick(kIdBtnBack);
  form_->OnClick(kIdBtnBack);
  form_->OnClick(kIdBtnBack);
  EXPECT_EQ(form_->CurrentPage(), kPageFile);
  EXPECT_TRUE(view_->Visible(kIdCheckMovie));
  EXPECT_EQ(form_->TotalSize(), 10 * kMiB);
  // This disc only: its own entries.
  form_->OnClick(kIdBtnBack);
  EXPECT_EQ(view_->caption(), "インストールするCD-ROM");
  view_->SetChecked(kIdRadioDiskThis, true);
  form_->OnClick(kIdBtnNext);
  EXPECT_FALSE(view_->Visible(kIdCheckMovie));
  EXPECT_EQ(form_->TotalSize(), 4 * kMiB);
}

TEST_F(FormTypeTest, InstallTypesAndLaterDiscs_SkipPages) {
  // Full install: media and file skipped, every component taken from the totals.
  settings_.InstallType = 1;
  settings_.SoundSize = 5 * kMiB;
  Create();
  EXPECT_EQ(WalkToCopy(), (std::vector<int>{kPageSelDir, kPageConfirm, kPageCopy}));
  EXPECT_TRUE(view_->Checked(kIdCheckData) && view_->Checked(kIdCheckSound) &&
              view_->Checked(kIdCheckMovie));
  EXPECT_EQ(form_->TotalSize(), 35 * kMiB);

  // Into the Windows folder: straight to "confirm", which then offers no way back.
  settings_.InstallType = 2;
  Create();
  EXPECT_EQ(WalkToCopy(), (std::vector<int>{kPageConfirm, kPageCopy}));
  EXPECT_FALSE(view_->Visible(kIdLabelBack));
  EXPECT_FALSE(view_->Visible(kIdLabelBack2));
  EXPECT_EQ(form_->TargetFolder(), "C:\\windows\\");
  settings_.WelcomeText = "ようこそ";
  Create();
  EXPECT_EQ(WalkToCopy(), (std::vector<int>{kPageHello, kPageConfirm, kPageCopy}));
  EXPECT_TRUE(view_->Visible(kIdLabelBack));

  // A later disc of several: no media page, this disc's sizes only.
  settings_ = TKoruInstallSet();
  SetUp();
  settings_.SetDiscCount(3);
  settings_.DiscIndex = 1;
  settings_.DiscProgSizes = {1 * kMiB, 2 * kMiB, 3 * kMiB};
  Create();
  EXPECT_FALSE(view_->Checked(kIdRadioDiskAll));
  EXPECT_FALSE(view_->Checked(kIdRadioDiskThis));
  EXPECT_EQ(WalkToCopy(), (std::vector<int>{kPageFile, kPageSelDir, kPageConfirm, kPageCopy}));
  EXPECT_EQ(form_->TotalSize(), 2 * kMiB);
}

TEST_F(FormTypeTest, Uninstaller_WalksUninstDeleteExitWithoutBackButton) {
  settings_.Uninstaller = true;
  settings_.WelcomeText = "ようこそ";
  Create();
  EXPECT_EQ(form_->CurrentPage(), kPageUninst);
  EXPECT_EQ(view_->caption(), "アンインストール");
  EXPECT_EQ(view_->Text(kIdLabelUninst), "サンプル をコンピュータから削除します");
  EXPECT_FALSE(view_->Visible(kIdBtnBack));
  EXPECT_EQ(view_->Text(kIdBtnNext), "実行");
  EXPECT_TRUE(view_->Enabled(kIdBtnNext));

  // The close box asks the removal's own question; No keeps the window.
  ui_.Answer(kResultNo);
  form_->OnCloseBox();
  EXPECT_EQ(form_->ModalResult(), kResultCancel);
  EXPECT_FALSE(form_->OnCloseQuery());
  EXPECT_EQ(form_->ModalResult(), kResultNone);
  EXPECT_EQ(ui_.Texts(), (std::vector<std::string>{"アンインストールを中断しますか？"}));

  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(view_->caption(), "削除");
  ui_.Answer(kResultNo);
  form_->OnClick(kIdBtnAbort);
  EXPECT_EQ(form_->ModalResult(), kResultNone);
  ui_.Answer(kResultYes);
  form_->OnClick(kIdBtnAbort);
  EXPECT_EQ(form_->ModalResult(), kResultAbort);
  EXPECT_TRUE(form_->OnCloseQuery());
  EXPECT_EQ(ui_.shown().size(), 3u);
}

TEST_F(FormTypeTest, AbortButton_GivesCancelAbortOrFinished) {
  Create();
  // An ordinary page: cancel, confirmed by the close question.
  form_->OnClick(kIdBtnAbort);
  EXPECT_EQ(form_->ModalResult(), kResultCancel);
  ui_.Answer(kResultYes);
  EXPECT_TRUE(form_->OnCloseQuery());
  EXPECT_EQ(ui_.Texts().back(), "インストールを中断しますか？");

  // "copy": asked at once; Yes is the abort that closes without a question.
  Create();
  form_->ShowPage(kPageCopy);
  ui_.Answer(kResultNo);
  form_->OnClick(kIdBtnAbort);
  EXPECT_EQ(form_->ModalResult(), kResultNone);
  ui_.Answer(kResultYes);
  form_->OnCloseBox();
  EXPECT_EQ(form_->ModalResult(), kResultAbort);
  const size_t asked = ui_.shown().size();
  EXPECT_TRUE(form_->OnCloseQuery());
  EXPECT_EQ(ui_.shown().size(), asked);

  // "exit": finished.
  Create();
  form_->ShowPage(kPageExit);
  EXPECT_EQ(view_->Text(kIdBtnAbort), "閉じる(&C)");
  EXPECT_EQ(view_->focus(), kIdBtnAbort);
  form_->OnClick(kIdBtnAbort);
  EXPECT_EQ(form_->ModalResult(), kResultOk);
  EXPECT_TRUE(form_->OnCloseQuery());
  EXPECT_EQ(ui_.shown().size(), asked);
}

TEST_F(FormTypeTest, InstallFolder_FromRegistryOrDefaultCutToExistingAncestor) {
  // A fresh default below Program Files: the list shows the existing ancestor.
  Create();
  EXPECT_EQ(view_->Text(kIdEditDir), "C:\\Program Files\\Koru\\Sample");
  EXPECT_EQ(view_->Text(kIdDirectory), "C:\\Program Files");
  EXPECT_EQ(view_->Text(kIdDrive), "C");
  EXPECT_EQ(form_->DefaultSubFolder(), "Koru\\Sample");
  // Picking another folder keeps the sub-folder.
  ASSERT_TRUE(env_.files().MakeDirectories("C:\\Games"));
  view_->SetText(kIdDirectory, "C:\\Games");
  form_->OnChange(kIdDirectory);
  EXPECT_EQ(view_->Text(kIdEditDir), "C:\\Games\\Koru\\Sample");
  EXPECT_EQ(form_->TargetFolder(), "C:\\Games\\Koru\\Sample\\");

  // Another default: below the Windows drive's root.
  settings_.DefaultFolder = "\\ソフト\\";
  Create();
  EXPECT_EQ(view_->Text(kIdEditDir), "C:\\ソフト");
  EXPECT_EQ(view_->Text(kIdDirectory), "C:\\");
  EXPECT_EQ(form_->DefaultSubFolder(), "ソフト");

  // A recorded install folder that exists is offered as it is.
  ASSERT_TRUE(env_.files().MakeDirectories("C:\\Games\\Old"));
  settings_.WriteRegValue(env_, kRegInstallPath, "C:\\Games\\Old\\");
  Create();
  EXPECT_EQ(view_->Text(kIdEditDir), "C:\\Games\\Old");
  EXPECT_EQ(view_->Text(kIdDirectory), "C:\\Games\\Old");
  EXPECT_EQ(form_->DefaultSubFolder(), "");

  // Update mode never appends the sub-folder.
  settings_.WriteRegValue(env_, kRegInstallPath, "");
  settings_.UpdateMode = true;
  settings_.DefaultFolder = "<ProgramFiles>\\Koru\\Sample";
  Create();
  EXPECT_EQ(view_->Text(kIdEditDir), "C:\\Program Files");
}

TEST_F(FormTypeTest, SelDir_ChecksPathLengthAndFreeSpace) {
  env_.files().AddDrive('D', 100 * kMiB + 5);
  settings_.ProgSize = settings_.DiscProgSizes[0] = 100 * kMiB + 900 * 1024;  // 100.9 MiB
  Create();
  form_->OnClick(kIdBtnNext);
  ASSERT_EQ(form_->CurrentPage(), kPageSelDir);
  EXPECT_EQ(view_->Text(kIdLabelSzNeed),
            "インストールには最低 100.88 MBのディスクの空き容量が必要です");
  EXPECT_EQ(view_->Text(kIdLabelSzDrv), "このドライブには 102,400 MBの空きがあります");

  view_->SetText(kIdEditDir, "D:\\");
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageSelDir);
  EXPECT_EQ(ui_.Texts(), (std::vector<std::string>{"正しいインストール先を指定してください"}));

  // 100.9 MiB needed, 100 MiB free: both truncated, no warning.
  view_->SetText(kIdDrive, "D");
  form_->OnChange(kIdDrive);
  EXPECT_EQ(view_->Text(kIdLabelSzDrv), "このドライブには 100 MBの空きがあります");
  view_->SetText(kIdEditDir, "D:\\Game");
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageConfirm);
  EXPECT_EQ(ui_.shown().size(), 1u);

  // One more MiB: the Yes/No warning; No keeps the page, Yes goes on.
  settings_.ProgSize = settings_.DiscProgSizes[0] = 101 * kMiB;
  form_->OnClick(kIdBtnBack);
  view_->SetText(kIdEditDir, "D:\\Game");
  ui_.Answer(kResultNo);
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageSelDir);
  EXPECT_EQ(ui_.shown().back().text,
            "ドライブにじゅうぶんな空き容量がありません\r\nこのまま処理を続けますか？");
  EXPECT_EQ(ui_.shown().back().buttons, platform::MessageButtons::kYesNo);
  ui_.Answer(kResultYes);
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageConfirm);

  // A drive whose free space cannot be read counts as 0 MiB.
  EXPECT_EQ(form_->DriveFreeMB('Q'), 0);
  env_.files().SetFreeBytes('D', (uint64_t{5} << 40) + kMiB - 1);
  EXPECT_EQ(form_->DriveFreeMB('D'), int64_t{5} << 20);
}

TEST_F(FormTypeTest, UpdateMode_RequiresTheInstalledGameAndSizesOnEnteringSelDir) {
  settings_.UpdateMode = true;
  settings_.WelcomeText = "更新";
  settings_.SoundSize = 3 * kMiB;
  ASSERT_TRUE(env_.files().MakeDirectories("C:\\Games\\A"));
  ASSERT_TRUE(env_.files().MakeDirectories("C:\\Games\\B"));
  TKoruInstallSet other;
  other.Title = "別のゲーム";
  other.SaveToFile(env_, "C:\\Games\\A\\install.dat");
  Create();
  EXPECT_EQ(form_->TotalSize(), 0);
  form_->OnClick(kIdBtnNext);
  ASSERT_EQ(form_->CurrentPage(), kPageSelDir);
  // Every component counts in update mode, whatever is checked.
  EXPECT_EQ(form_->TotalSize(), 33 * kMiB);

  // install.dat of another title, then a folder without the game.
  view_->SetText(kIdEditDir, "C:\\Games\\A");
  form_->OnClick(kIdBtnNext);
  view_->SetText(kIdEditDir, "C:\\Games\\B");
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageSelDir);
  EXPECT_EQ(ui_.shown().size(), 2u);
  // A game executable carrying the title's archive.
  PutGameExe("C:\\Games\\B\\game.exe", "サンプル");
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageConfirm);
  // install.dat of the same title.
  form_->OnClick(kIdBtnBack);
  settings_.SaveToFile(env_, "C:\\Games\\A\\install.dat");
  view_->SetText(kIdEditDir, "C:\\Games\\A");
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageConfirm);
  EXPECT_EQ(ui_.shown().size(), 2u);
}

// A copy entry as the copy engine ends it: buttons hidden, then "exit" or an abort.
class EndingCopy : public NullPageActions {
 public:
  explicit EndingCopy(bool abort) : abort_(abort) {}
  void EnterCopyPage(TFormType& form) override {
    form.view().SetVisible(kIdBtnNext, false);
    form.view().SetText(kIdBtnNext, "copying");
    form.ProcessMessages();
    if (form.ModalResult() == platform::kResultAbort) return;
    if (abort_) {
      form.SetModalResult(platform::kResultAbort);
      return;
    }
    form.ShowPage(form.CurrentPage() + 1);
  }

 private:
  bool abort_;
};

TEST_F(FormTypeTest, PageEntries_EndingOnTheirOwnKeepTheirButtons) {
  EndingCopy finishing(/*abort=*/false);
  Create(finishing);
  form_->ShowPage(kPageConfirm);
  form_->OnClick(kIdBtnNext);
  EXPECT_EQ(form_->CurrentPage(), kPageExit);
  EXPECT_EQ(view_->Text(kIdBtnAbort), "閉じる(&C)");
  EXPECT_FALSE(view_->Visible(kIdBtnNext));

  EndingCopy aborting(/*abort=*/true);
  Create(aborting);
  form_->ShowPage(kPageCopy);
  EXPECT_EQ(form_->ModalResult(), kResultAbort);
  EXPECT_EQ(view_->Text(kIdBtnNext), "copying");

  // The user's abort while the entry pumps.
  EndingCopy copying(/*abort=*/false);
  Create(copying);
  ui_.Answer(kResultYes);
  ui_.OnPump([&](int) { form_->OnClick(kIdBtnAbort); });
  form_->ShowPage(kPageCopy);
  EXPECT_EQ(form_->CurrentPage(), kPageCopy);
  EXPECT_EQ(form_->ModalResult(), kResultAbort);
  EXPECT_EQ(form_->SourceFolder(), "D:\\");
}

TEST_F(FormTypeTest, SourceFolderOfEachWayTheProgramWasStarted) {
  NullPageActions actions;
  env_.system().SetExecutablePath("E:\\disc\\setup.exe");
  env_.files().AddDrive('E');
  env_.files().MakeDirectories("E:\\disc");
  env_.files().PutFile("E:\\disc\\pack.dat", "vf");
  auto source = [&](std::vector<std::string> arguments) {
    TFormType form(env_, ui_, settings_, nullptr, std::move(arguments), actions);
    return form.SourceFolder();
  };
  EXPECT_EQ(source({"D:\\"}), "D:\\");
  // Started without an argument (an update from its disc): the program's own folder, never
  // an empty folder, which would name the current drive's root.
  EXPECT_EQ(source({}), "E:\\disc\\");
  EXPECT_EQ(source({"E:\\disc\\pack.dat"}), "E:\\disc\\");
}

}  // namespace
}  // namespace koru
