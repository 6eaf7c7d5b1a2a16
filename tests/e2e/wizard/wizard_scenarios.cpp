// The install and removal wizard under Wine, walked the way a player does: every page
// sequence the settings can make, the licence gate, the folder and free-space checks, the
// cancel questions, and the removal wizard's first page.

#include <windows.h>

#include <string>
#include <vector>

#include "e2e/launcher/launcher_support.h"
#include "wizard/form_type.h"

namespace koru::e2e_launcher {
namespace {

using e2e::App;
using e2e::Window;

// The wizard of a setup started the way the temporary copy is: with the disc's folder.
App StartWizard() { return App::Start("D:\\setup.exe", {.arguments = "D:\\"}); }

Window WaitForWizard(const App& app, const std::string& caption) {
  return app.WaitForWindow({.caption = caption});
}

void Shot(const Window& window, const std::string& name) {
  ::Sleep(400);
  e2e::Screenshot(window, name);
}

// Clicks Next and waits for the page of that caption.
Window Next(const App& app, const Window& wizard, const std::string& caption) {
  wizard.Click(kIdBtnNext);
  return WaitForWizard(app, caption);
}

void AbortAndExit(const App& app, const Window& wizard) {
  wizard.Click(kIdBtnAbort);
  e2e::Answer({.text = kAbortInstallQuestion, .button = e2e::Button::kYes});
  EXPECT_EQ(app.WaitForExit(), 0u);
}

struct Walk {
  const char* name;
  const char* settings;  // JSON members replacing the sample's
  std::vector<std::string> captions;
};

TEST(SetupWizard, PageSequencesOfTheSettings) {
  PutSampleDisc("D:");
  const std::vector<Walk> walks = {
      {"sample",
       "",
       {"ようこそ", "ライセンス契約", "インストールするファイル", "インストール先の選択",
        "インストール準備完了"}},
      {"no-texts",
       R"("WelcomeText": "", "LicenseText": "")",
       {"インストールするファイル", "インストール先の選択", "インストール準備完了"}},
      {"full",
       R"("InstallType": 1)",
       {"ようこそ", "ライセンス契約", "インストール先の選択", "インストール準備完了"}},
      {"windows-folder",
       R"("InstallType": 2)",
       {"ようこそ", "ライセンス契約", "インストール準備完了"}},
      {"two-discs",
       R"("DiscCount": 2, "DiscProgSizes": [1, 1], "DiscDataSizes": [1, 1],
          "DiscSoundSizes": [1, 1], "DiscMovieSizes": [1, 1])",
       {"ようこそ", "ライセンス契約", "インストールするCD-ROM", "インストールするファイル",
        "インストール先の選択", "インストール準備完了"}},
      {"second-disc",
       R"("DiscCount": 2, "DiscIndex": 1, "DiscProgSizes": [1, 1], "DiscDataSizes": [1, 1],
          "DiscSoundSizes": [1, 1], "DiscMovieSizes": [1, 1])",
       {"ようこそ", "ライセンス契約", "インストールするファイル", "インストール先の選択",
        "インストール準備完了"}},
  };
  for (const Walk& walk : walks) {
    SCOPED_TRACE(walk.name);
    WriteSettings("D:", walk.settings);
    App app = StartWizard();
    Window wizard = WaitForWizard(app, walk.captions.front());
    // The first page has no way back.
    EXPECT_FALSE(wizard.ById(kIdBtnBack).Enabled());
    for (size_t i = 0; i < walk.captions.size(); ++i) {
      if (i > 0) wizard = Next(app, wizard, walk.captions[i]);
      if (walk.captions[i] == "ライセンス契約") {
        // Next follows the consent.
        EXPECT_FALSE(wizard.ById(kIdBtnNext).Enabled());
        wizard.Click(kIdCheckLicense);
        wizard.ById(kIdBtnNext).WaitUntilEnabled();
      }
      Shot(wizard, std::string(walk.name) + "-" + std::to_string(i + 1));
    }
    EXPECT_TEXT_EQ(wizard.ById(kIdBtnNext).Text(), "インストール");
    AbortAndExit(app, wizard);
  }
}

TEST(SetupWizard, LicenceFolderAndFreeSpaceChecks) {
  PutSampleDisc("D:");
  // Far more than any drive holds.
  WriteSettings("D:", R"("WelcomeText": "", "LicenseText": "", "ProgSize": 1000000000000000,
                          "DiscProgSizes": [1000000000000000])");
  App app = StartWizard();
  Window wizard = WaitForWizard(app, "インストールするファイル");
  wizard = Next(app, wizard, "インストール先の選択");
  Shot(wizard, "seldir");

  // A bare drive root is no install folder.
  wizard.ById(kIdEditDir).Type("C:\\");
  wizard.Click(kIdBtnNext);
  e2e::Answer({.text = kBadTargetMessage, .caption = "警告"});
  EXPECT_TEXT_EQ(wizard.Caption(), "インストール先の選択");

  wizard.ById(kIdEditDir).Type("C:\\Program Files\\KoruSample\\SampleGame");
  wizard.Click(kIdBtnNext);
  e2e::Answer({.text = kLowSpaceMessage, .button = e2e::Button::kNo});
  EXPECT_TEXT_EQ(wizard.Caption(), "インストール先の選択");
  wizard.Click(kIdBtnNext);
  e2e::Answer({.text = kLowSpaceMessage, .button = e2e::Button::kYes});
  wizard = WaitForWizard(app, "インストール準備完了");

  // Back returns to the folder, with the folder kept.
  wizard.Click(kIdBtnBack);
  wizard = WaitForWizard(app, "インストール先の選択");
  EXPECT_TEXT_EQ(wizard.ById(kIdEditDir).Text(), "C:\\Program Files\\KoruSample\\SampleGame");
  AbortAndExit(app, wizard);
}

TEST(SetupWizard, CancelQuestionAnsweredNoThenYes) {
  PutSampleDisc("D:");
  App app = StartWizard();
  const Window wizard = WaitForWizard(app, "ようこそ");
  wizard.Click(kIdBtnAbort);
  e2e::Answer({.text = kAbortInstallQuestion, .button = e2e::Button::kNo});
  EXPECT_TRUE(wizard.Visible());
  // The close box asks the same.
  wizard.Close();
  e2e::Answer({.text = kAbortInstallQuestion, .button = e2e::Button::kNo});
  EXPECT_TRUE(wizard.Visible());
  AbortAndExit(app, wizard);
}

TEST(SetupWizard, RemovalWizardStartsWithoutABackButton) {
  // An installed game's folder: install.dat with Uninstaller set, and install.exe.
  e2e::MakeDirectories("C:\\Game");
  PutSampleDisc("E:\\disc");
  WriteSettings("E:\\disc", R"("Uninstaller": true)");
  ::CopyFileW(L"E:\\disc\\install.dat", L"C:\\Game\\install.dat", FALSE);
  ::CopyFileW(L"E:\\disc\\install.exe", L"C:\\Game\\install.exe", FALSE);
  App app = App::Start("C:\\Game\\install.exe");
  EXPECT_EQ(app.WaitForExit(), 0u);  // hands over to its temporary copy
  const e2e::Process copy = e2e::Process::WaitFor("~kinstall.exe");
  const Window wizard = copy.WaitForWindow({.caption = "アンインストール"});
  EXPECT_TRUE(copy.WaitForWindow({.caption = "サンプルゲームの削除"}).Visible());
  EXPECT_FALSE(wizard.ById(kIdBtnBack).Visible());
  EXPECT_TEXT_EQ(wizard.ById(kIdBtnNext).Text(), "実行");
  EXPECT_TEXT_EQ(wizard.ById(kIdLabelUninst).Text(), "サンプルゲーム をコンピュータから削除します");
  EXPECT_FALSE(wizard.ById(kIdCheckDelSave).Visible());
  Shot(wizard, "uninst");
  wizard.Click(kIdBtnAbort);
  e2e::Answer({.text = kAbortUninstallQuestion, .button = e2e::Button::kYes});
  EXPECT_EQ(copy.WaitForExit(), 0u);
}

}  // namespace
}  // namespace koru::e2e_launcher
