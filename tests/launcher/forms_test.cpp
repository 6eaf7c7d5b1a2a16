#include <gtest/gtest.h>

#include "launcher/back_image.h"
#include "launcher/launcher_test_support.h"
#include "launcher/main_form.h"
#include "launcher/start_form.h"
#include "platform/memory/memory_env.h"
#include "platform/memory/recorded_form_view.h"
#include "platform/memory/scripted_ui.h"

namespace koru {
namespace {

using platform::ControlRect;
using platform::MemoryEnv;
using platform::RecordedFormView;
using testing::Bytes;
using testing::MakePicture;
using testing::WriteArchive;

class StartFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.files().AddDrive('D');
    env_.files().PutFile("D:\\setup.exe", "MZ");
    env_.system().SetExecutablePath("D:\\setup.exe");
    settings_.Title = "サンプル";
    settings_.ExeFile = "game.exe";
    settings_.RegistryKey = "Koru\\Sample";
    WriteArchive(env_, "D:\\game.dat", {{"install.dat", "x"}});
    archive_.Open("D:\\game.dat");
  }
  RecordedFormView Create() {
    RecordedFormView view(TFormStart::Layout());
    form_ = std::make_unique<TFormStart>(env_, ui_, settings_, archive_);
    form_->FormCreate(view);
    return view;
  }

  MemoryEnv env_;
  platform::ScriptedUserInterface ui_;
  TKoruInstallSet settings_;
  TVrFileCollection archive_{env_};
  std::unique_ptr<TFormStart> form_;
};

TEST_F(StartFormTest, RuntimeButtonsHideAndMoveTheOthersUp) {
  settings_.OfferRuntimeSetup = true;
  env_.files().MakeDirectories("D:\\directx");
  env_.files().MakeDirectories("D:\\winmedia");
  env_.files().PutFile("D:\\directx\\dxsetup.exe", "MZ");
  env_.files().PutFile("D:\\winmedia\\mp71.exe", "MZ");
  RecordedFormView both = Create();
  EXPECT_EQ(form_->ClientHeight(), 230);
  EXPECT_EQ(both.Bounds(kIdBtnExit), (ControlRect{28, 188, 213, 29}));
  EXPECT_EQ(both.caption(), "サンプル");
  EXPECT_EQ(ui_.title(), "サンプル");

  env_.files().RemoveFile("D:\\directx\\dxsetup.exe");
  RecordedFormView media_only = Create();
  EXPECT_FALSE(media_only.Visible(kIdBtnDirectX));
  EXPECT_EQ(media_only.Bounds(kIdBtnWinMedia).top, 100);
  EXPECT_EQ(media_only.Bounds(kIdBtnExit).top, 152);
  EXPECT_EQ(media_only.client_height(), 194);

  // Not offered: both hidden although both programs exist.
  env_.files().PutFile("D:\\directx\\dxsetup.exe", "MZ");
  settings_.OfferRuntimeSetup = false;
  RecordedFormView none = Create();
  EXPECT_FALSE(none.Visible(kIdBtnDirectX));
  EXPECT_FALSE(none.Visible(kIdBtnWinMedia));
  EXPECT_EQ(none.Bounds(kIdBtnExit), (ControlRect{28, 116, 213, 29}));
  EXPECT_EQ(none.client_height(), 158);
  EXPECT_EQ(none.client_width(), 265);
}

TEST_F(StartFormTest, GameButtonFollowsTheInstallationAndClicksCloseAsAsked) {
  RecordedFormView fresh = Create();
  EXPECT_FALSE(fresh.Enabled(kIdBtnStart));
  env_.registry()
      .OpenKey(platform::RegistryRoot::kCurrentUser, "Software\\Koru\\Sample", true, true)
      ->WriteString("InstallPath", "C:\\Game\\");
  env_.files().MakeDirectories("C:\\Game");
  env_.files().PutFile("C:\\Game\\game.exe", "MZ");
  RecordedFormView installed = Create();
  EXPECT_TRUE(installed.Enabled(kIdBtnStart));

  form_->Click(kIdBtnDirectX);  // a missing setup: nothing shown, the menu stays
  EXPECT_EQ(form_->ModalResult(), 0);
  EXPECT_EQ(env_.shell().ShellOpens().back().file, "D:\\directx\\dxsetup.exe");
  EXPECT_TRUE(ui_.shown().empty());
  form_->Click(kIdBtnInstall);
  EXPECT_EQ(form_->ModalResult(), platform::kResultOk);
  EXPECT_EQ(form_->LaunchChoice(), 1);
  Create();
  form_->Click(kIdBtnExit);
  EXPECT_EQ(form_->ModalResult(), platform::kResultCancel);
}

TEST(MainFormTest, SizeCaptionAndFooterFollowScreenAndSettings) {
  platform::ScriptedUserInterface ui;
  TKoruInstallSet settings;
  settings.Title = "ゲーム";
  settings.FooterText = "フッター";
  TFormMain form(ui, settings, nullptr);
  RecordedFormView view(TFormMain::Layout());
  form.FormCreate(view, 640, 480);
  EXPECT_EQ(view.client_width(), 600);
  EXPECT_EQ(view.client_height(), 400);
  EXPECT_EQ(view.caption(), "ゲームのセットアップ");
  EXPECT_EQ(view.Text(kIdLabelRight), "フッター ");
  EXPECT_EQ(view.Bounds(kIdLabelRight), (ControlRect{0, 380, 600, 12}));

  settings.Uninstaller = true;
  TFormMain removal(ui, settings, nullptr);
  removal.FormCreate(view, 1024, 768);
  EXPECT_EQ(view.client_width(), 924);
  EXPECT_EQ(view.client_height(), 568);
  EXPECT_EQ(view.caption(), "ゲームの削除");
  EXPECT_TRUE(removal.PaintBox().DIB().Empty());
}

class BackImageTest : public ::testing::Test {
 protected:
  void Put(const std::vector<uint8_t>& picture) {
    WriteArchive(env_, "C:\\game.dat", {{"back.mur", Bytes(picture)}});
    archive_.Open("C:\\game.dat");
    settings_.BackImage = "back.mur";
  }
  MemoryEnv env_;
  TKoruInstallSet settings_;
  TVrFileCollection archive_{env_};
  TDXPaintBox box_;
};

TEST_F(BackImageTest, CentredPictureLargerThanTheBoxShowsItsMiddle) {
  Put(MakePicture(300, 100, [](int x, int) { return x < 150 ? 0xFF0000u : 0x0000FFu; }));
  box_.SetClientSize(250, 80);
  PaintBackImage(settings_, archive_, box_);
  EXPECT_TRUE(box_.Center());
  EXPECT_EQ(box_.DIB().Width(), 300);
  EXPECT_EQ(box_.DIB().BitCount(), 24);
  EXPECT_EQ(box_.DIB().GetPixel(10, 10), 0xFF0000u);
  EXPECT_EQ(box_.DIB().GetPixel(200, 10), 0x0000FFu);
  EXPECT_EQ(box_.ComputePlacement(), (TDXPaintBox::Placement{-25, -10, 300, 100, false}));
}

TEST_F(BackImageTest, StretchedAndTiledLayouts) {
  Put(MakePicture(100, 100, [](int x, int y) { return x == 0 && y == 0 ? 0x00FF00u : 0u; }));
  settings_.BackImageLayout = 1;
  box_.SetClientSize(250, 120);
  PaintBackImage(settings_, archive_, box_);
  EXPECT_EQ(box_.ComputePlacement(), (TDXPaintBox::Placement{0, 0, 250, 120, true}));
  box_.SetKeepAspect(true);
  EXPECT_EQ(box_.ComputePlacement(), (TDXPaintBox::Placement{0, 0, 120, 120, true}));

  TDXPaintBox tiled;
  tiled.SetClientSize(250, 120);
  settings_.BackImageLayout = 2;
  PaintBackImage(settings_, archive_, tiled);
  EXPECT_EQ(tiled.DIB().Width(), 250);
  EXPECT_EQ(tiled.DIB().Height(), 120);
  for (int x : {0, 100, 200}) {
    EXPECT_EQ(tiled.DIB().GetPixel(x, 0), 0x00FF00u);
    EXPECT_EQ(tiled.DIB().GetPixel(x, 100), 0x00FF00u);
  }
  EXPECT_EQ(tiled.DIB().GetPixel(50, 0), 0u);
  EXPECT_EQ(TilePositions(100, 100, 250, 120).size(), 6u);
  EXPECT_TRUE(TilePositions(0, 100, 250, 120).empty());

  // Another layout keeps the bitmap as it was and draws nothing.
  settings_.BackImageLayout = 3;
  PaintBackImage(settings_, archive_, tiled);
  EXPECT_EQ(tiled.DIB().Width(), 250);
}

TEST_F(BackImageTest, NoPictureOrABrokenOne) {
  PaintBackImage(settings_, archive_, box_);
  EXPECT_TRUE(box_.DIB().Empty());
  Put(MakePicture(10, 10, [](int, int) { return 0u; }));
  settings_.BackImage = "missing.mur";
  EXPECT_THROW(PaintBackImage(settings_, archive_, box_), KoruError);
  WriteArchive(env_, "C:\\bad.dat", {{"back.mur", "Mura107 damaged"}});
  archive_.Open("C:\\bad.dat");
  settings_.BackImage = "back.mur";
  EXPECT_THROW(PaintBackImage(settings_, archive_, box_), KoruError);
}

}  // namespace
}  // namespace koru
