#include <windows.h>

#include <algorithm>

#include "base/sjis.h"
#include "e2e/install/install_support.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_env.h"
#include "settings/paths.h"
#include "wizard/form_type.h"

namespace koru::e2e_launcher {

std::string SampleInstallFolder() { return e2e::SpecialFolder(38) + "\\KoruSample\\SampleGame\\"; }

std::string ShortcutFolder() { return e2e::SpecialFolder(23) + "\\" + kTitle + "\\"; }

e2e::Window WalkToCopy(const e2e::Process& setup, const std::string& first_caption,
                       const std::string& folder) {
  e2e::Window wizard = setup.WaitForWindow({.caption = first_caption});
  for (int step = 0; step < 10; ++step) {
    ::Sleep(300);
    const std::string caption = wizard.Caption();
    if (caption == "ファイルコピー") return wizard;
    if (caption == "ライセンス契約" && !wizard.ById(kIdCheckLicense).Checked()) {
      wizard.Click(kIdCheckLicense);
      wizard.ById(kIdBtnNext).WaitUntilEnabled();
    }
    if (caption == "インストール先の選択" && !folder.empty()) wizard.ById(kIdEditDir).Type(folder);
    if (caption == "インストールするファイル") {
      // Every component the disc offers.
      for (int id : {kIdCheckData, kIdCheckSound, kIdCheckMovie}) {
        const e2e::Control box = wizard.ById(id);
        if (box.Visible() && !box.Checked()) box.Click();
      }
    }
    e2e::Screenshot(wizard, "page-" + std::to_string(step + 1));
    wizard.Click(kIdBtnNext);
    e2e::WaitUntil([&] { return wizard.Caption() != caption; }, 15000);
  }
  ADD_FAILURE() << "the wizard never reached its copy page";
  return wizard;
}

void CloseShellWindows() {
  // The folder of the shortcuts and the readme, which the install opened in the shell.
  for (const char* window_class : {"ExplorerWClass", "CabinetWClass", "Notepad"}) {
    while (const std::optional<e2e::Window> window =
               e2e::Window::Find({.class_name = window_class})) {
      window->Close();
      window->WaitUntilClosed();
    }
  }
}

void FinishWizard(const e2e::Process& setup, const std::string& prefix) {
  const e2e::Window wizard = setup.WaitForWindow({.caption = "完了"}, 120000);
  ::Sleep(400);
  e2e::Screenshot(wizard, prefix + "-exit");
  EXPECT_TEXT_EQ(wizard.ById(kIdBtnAbort).Text(), "閉じる(&C)");
  wizard.Click(kIdBtnAbort);
  EXPECT_EQ(setup.WaitForExit(60000), 0u);
  CloseShellWindows();
}

TKoruInstallSet InstalledSettings(const std::string& folder) {
  platform::Win32Env env;
  TKoruInstallSet settings;
  settings.LoadFromFile(env, folder + "install.dat");
  return settings;
}

void ExpectInstalledFilesExist(const std::string& folder, const TKoruInstallSet& settings) {
  for (const std::string& name : settings.InstalledFiles) {
    EXPECT_TRUE(e2e::FileExists(folder + name)) << SjisToUtf8(name);
  }
}

void ExpectShortcuts(const std::string& folder, bool with_readme) {
  platform::win32::ComApartment com;
  platform::Win32Env env;
  struct Expected {
    std::string name;
    std::string target;
    int icon;
  };
  std::vector<Expected> expected = {{kTitle, "game.exe", 0},
                                    {std::string(kTitle) + "のアンインストール", "install.exe", 1}};
  if (with_readme) expected.push_back({"お読みください", "readme.txt", 0});
  for (const Expected& link : expected) {
    const std::string path = ShortcutFolder() + link.name + ".lnk";
    const std::optional<platform::ShellLinkFields> fields = env.shell().LoadShellLink(path);
    ASSERT_TRUE(fields.has_value()) << SjisToUtf8(path);
    EXPECT_TRUE(EqualsIgnoreCase(fields->target, folder + link.target))
        << SjisToUtf8(fields->target);
    EXPECT_TRUE(EqualsIgnoreCase(AddBackslash(fields->working_folder), folder))
        << SjisToUtf8(fields->working_folder);
    EXPECT_EQ(fields->icon_index, link.icon) << SjisToUtf8(link.name);
  }
}

bool PendingDeletion(const std::string& copy) {
  const std::vector<std::string> pending = PendingDeletions();
  return std::any_of(pending.begin(), pending.end(),
                     [&](const std::string& name) { return EqualsIgnoreCase(name, copy); });
}

std::string TemporaryCopy() { return e2e::EnvironmentVariable("TEMP") + "\\~kinstall.exe"; }

}  // namespace koru::e2e_launcher
