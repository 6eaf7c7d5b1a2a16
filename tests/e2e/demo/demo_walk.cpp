// The main job's walk (scripts/demo.sh): the sample game installed from its disc the way a
// player does it, what was installed listed, the game started from the start menu, and the
// game removed again through its uninstall shortcut, with a screenshot of every step.

#include <windows.h>

#include <cstdio>

#include "base/sjis.h"
#include "e2e/install/install_support.h"
#include "launcher/start_form.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_env.h"
#include "wizard/form_type.h"

namespace koru::e2e_launcher {
namespace {

using e2e::App;
using e2e::Process;
using e2e::Window;

void Say(const std::string& sjis) { std::printf("[demo] %s\n", SjisToUtf8(sjis).c_str()); }

void Shot(const Window& window, const std::string& name) {
  ::Sleep(400);
  e2e::Screenshot(window, name);
}

void ListInstall(const std::string& folder) {
  Say("installed into " + folder + ":");
  for (const std::string& name : e2e::ListFolder(folder)) Say("  " + name);
  Say("registry HKEY_CURRENT_USER\\" + std::string(kGameKey) + ":");
  for (const char* value : {"InstallPath", "CDDrive"}) {
    Say(std::string("  ") + value + " = " +
        e2e::ReadRegistryString(e2e::Hive::kCurrentUser, kGameKey, value).value_or("(none)"));
  }
  Say("shortcuts in " + ShortcutFolder() + ":");
  platform::win32::ComApartment com;
  platform::Win32Env env;
  for (const std::string& name : e2e::ListFolder(ShortcutFolder())) {
    const auto link = env.shell().LoadShellLink(ShortcutFolder() + name);
    Say("  " + name + " -> " + (link ? link->target : "?") +
        (link ? " (icon " + std::to_string(link->icon_index) + ")" : ""));
  }
}

TEST(Demo, InstallStartAndRemoveTheSample) {
  e2e::CopyTree(e2e::HostPath(KORU_DEMO_DISC), "D:");
  Say("the disc in D: holds: ");
  for (const std::string& name : e2e::ListFolder("D:\\")) Say("  " + name);

  // The start menu, then the install through the temporary copy.
  Process copy = [] {
    App app = App::Start("D:\\setup.exe");
    const Window menu = app.WaitForWindow({.caption = kTitle});
    Shot(menu, "start-menu");
    e2e::Screenshot("start-menu-desktop");
    menu.Click(kIdBtnInstall);
    EXPECT_EQ(app.WaitForExit(), 0u);
    return Process::WaitFor("~kinstall.exe");
  }();
  Say("the start menu handed over to its temporary copy");
  e2e::Screenshot("background-window");
  WalkToCopy(copy, "ようこそ");
  const Window wizard = copy.WaitForWindow({.caption = "完了"}, 120000);
  ::Sleep(2000);  // the shortcut folder and the readme open in the shell
  e2e::Screenshot("installed-desktop");
  FinishWizard(copy, "install");
  ListInstall(SampleInstallFolder());

  // The game from the start menu.
  {
    App app = App::Start("D:\\setup.exe");
    const Window menu = app.WaitForWindow({.caption = kTitle});
    menu.ById(kIdBtnStart).WaitUntilEnabled();
    Shot(menu, "start-menu-installed");
    menu.Click(kIdBtnStart);
    EXPECT_EQ(app.WaitForExit(), 0u);
    const Process game = Process::WaitFor("game.exe");
    const Window window = game.WaitForWindow({.caption = kTitle});
    Shot(window, "game");
    Say("the game runs: " + SampleInstallFolder() + "game.exe");
    window.Close();
    EXPECT_EQ(game.WaitForExit(), 0u);
  }

  // The removal, through the uninstall shortcut's target.
  {
    App app = App::Start(SampleInstallFolder() + "install.exe");
    EXPECT_EQ(app.WaitForExit(), 0u);
    const Process removal = Process::WaitFor("~kinstall.exe");
    const Window page = removal.WaitForWindow({.caption = "アンインストール"});
    Shot(page, "uninstall");
    page.Click(kIdBtnNext);
    FinishWizard(removal, "removal");
  }
  Say(std::string("after the removal the install folder ") +
      (e2e::DirectoryExists(SampleInstallFolder()) ? "is still there" : "is gone") +
      ", the shortcuts " +
      (e2e::DirectoryExists(ShortcutFolder()) ? "are still there" : "are gone") +
      ", the registry key " +
      (e2e::RegistryKeyExists(e2e::Hive::kCurrentUser, kGameKey) ? "is still there" : "is gone"));
  EXPECT_FALSE(e2e::DirectoryExists(SampleInstallFolder()));
}

}  // namespace
}  // namespace koru::e2e_launcher
