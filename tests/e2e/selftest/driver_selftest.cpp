// The driver and the runner against our test window (test_window_win32.cpp): a full walk,
// the failure output, and what the runner prepares in every scenario's prefix.

#include <string>

#include "e2e/driver/scenario.h"

namespace {

constexpr const char* kCaption = "テスト窓 - セットアップ";
enum : int {
  kNameLabel = 100,
  kNameEdit = 101,
  kConsent = 102,
  kStandard = 103,
  kCustom = 104,
  kNext = 105,
  kConfirm = 106,
  kAnswerText = 107,
  kStartChild = 108,
  kFinish = 109,
  kChildClose = 201,
};

e2e::App StartTestWindow() { return e2e::App::Start(e2e::HostPath(KORU_E2E_TEST_WINDOW)); }

TEST(DriverSelfTest, WalksTheTestWindow) {
  e2e::App app = StartTestWindow();
  const e2e::Window main = app.WaitForWindow({.caption = kCaption});
  EXPECT_EQ(main.ClassName(), "KoruE2eTestWindow");
  EXPECT_TEXT_EQ(main.ById(kNameLabel).Text(), "お名前：");
  EXPECT_EQ(main.ById(kNext).Bounds(), (e2e::Rect{16, 150, 116, 178}));
  EXPECT_FALSE(main.ById(kNext).Enabled());
  EXPECT_TRUE(main.ById(kStandard).Checked());
  EXPECT_TRUE(main.ById(kAnswerText).Visible());

  main.ById(kNameEdit).Type("山田　太郎");
  main.ByText("規約に同意する", "Button").Click();
  main.ById(kNext).WaitUntilEnabled();
  main.Click(kCustom);
  EXPECT_TRUE(e2e::WaitUntil([&] { return main.ById(kCustom).Checked(); }, 5000));
  EXPECT_FALSE(main.ById(kStandard).Checked());
  main.Click(kNext);
  main.ById(kAnswerText).WaitForText("次へ進みました");
  e2e::Screenshot(main, "filled-in");

  main.Click(kConfirm);
  EXPECT_TEXT_EQ(
      e2e::Answer({.text = "設定を保存しますか？", .button = e2e::Button::kYes, .caption = "確認"}),
      "設定を保存しますか？");
  main.ById(kAnswerText).WaitForText("はい");

  main.Click(kStartChild);
  const e2e::Process child = e2e::Process::WaitFor("koru_e2e_test_window.exe", app.Id());
  const e2e::Window child_window = child.WaitForWindow({.caption = "子プロセス"});
  e2e::Screenshot("with-child");
  child_window.Click(kChildClose);
  EXPECT_EQ(child.WaitForExit(), 7u);

  main.Click(kFinish);
  EXPECT_EQ(app.WaitForExit(), 13u);  // 10, +1 consent, +2 custom
  EXPECT_EQ(e2e::ReadRegistryString(e2e::Hive::kCurrentUser, "Software\\KoruE2eTest", "Name"),
            "山田　太郎");
  EXPECT_EQ(e2e::ReadFileBytes(e2e::EnvironmentVariable("TEMP") + "\\koru-e2e-test.txt"),
            "山田　太郎");
}

// A failed step names itself and lists every window and control, the message box included.
TEST(DriverSelfTest, FailedStepPrintsEveryWindowAndControl) {
  e2e::App app = StartTestWindow();
  const e2e::Window main = app.WaitForWindow({.caption = kCaption});
  main.Click(kConfirm);
  e2e::WaitForDialog("確認", app.Id());
  std::string failure;
  try {
    main.ById(999, /*timeout_ms=*/300);
  } catch (const e2e::StepFailed& error) {
    failure = error.what();
  }
  for (const char* expected : {
           "find the control id 999 in window ",
           "==== windows at the failure",
           "class KoruE2eTestWindow \"テスト窓 - セットアップ\" process ",
           "Button id 105 \"次へ\" (16,150)-(116,178) 100x28 visible disabled",
           "Button id 102 \"規約に同意する\" (16,50)-(256,74) 240x24 visible enabled unchecked",
           "Button id 103 \"標準インストール\"",
           "class #32770 \"確認\"",
           "Static id 65535 \"設定を保存しますか？\"",
           "-failure.png",
       }) {
    EXPECT_NE(failure.find(e2e::Utf8(expected)), std::string::npos)
        << "missing: " << e2e::Utf8(expected) << "\nin:\n"
        << failure;
  }
  // A user cannot click a disabled button; neither can the driver.
  EXPECT_THROW(main.ById(kNext).Click(/*timeout_ms=*/200), e2e::StepFailed);

  e2e::Answer({.text = "保存しますか", .button = e2e::Button::kNo, .text_contains = true});
  main.ById(kAnswerText).WaitForText("いいえ");
  main.Close();
  EXPECT_EQ(app.WaitForExit(), 1u);
}

// What scripts/e2e-run gives every scenario.
TEST(RunnerSelfTest, ScenarioPrefixIsPrepared) {
  EXPECT_EQ(e2e::DriveType("D:\\"), "cdrom");
  e2e::WriteFileBytes("D:\\disc.ini", "disc 1");
  EXPECT_EQ(e2e::ReadFileBytes("D:\\disc.ini"), "disc 1");
  EXPECT_TRUE(e2e::DirectoryExists("E:\\"));
  EXPECT_NE(e2e::EnvironmentVariable("WINEDLLOVERRIDES").find("winemenubuilder.exe"),
            std::string::npos);
  const char* const kSubstitutes =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
  EXPECT_EQ(e2e::ReadRegistryString(e2e::Hive::kLocalMachine, kSubstitutes, "ＭＳ Ｐゴシック"),
            "IPAPGothic");
  EXPECT_EQ(e2e::ReadRegistryString(e2e::Hive::kCurrentUser, "Software\\Wine\\Explorer", "Desktop"),
            "Default");
  // Program Files as the system names it to this process (it differs between prefixes).
  EXPECT_EQ(e2e::SpecialFolder(38), e2e::EnvironmentVariable("ProgramFiles"));
}

}  // namespace
