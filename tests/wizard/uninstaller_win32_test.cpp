// The removal against the real file system: read-only files, names whose second byte is
// a backslash, folders emptied bottom-up, and a climbing name next to a real file above.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/env_wrapper.h"
#include "platform/memory/recorded_form_view.h"
#include "platform/memory/scripted_ui.h"
#include "platform/platform_win32_temp_folder.h"
#include "platform/win32/win32_env.h"
#include "settings/paths.h"
#include "wizard/form_type.h"
#include "wizard/uninstaller.h"

namespace koru {
namespace {

// Shortcuts below the temporary folder, and pauses not slept.
class TempShell : public platform::EnvWrapper {
 public:
  TempShell(platform::Env& target, std::string folder)
      : EnvWrapper(target), folder_(std::move(folder)) {}
  std::string SpecialFolder(int) override { return folder_; }
  void SleepMs(uint32_t) override {}

 private:
  std::string folder_;
};

TEST(UninstallerWin32Test, DeletePage_EmptiesTheInstallFolderAndNothingOutside) {
  platform::Win32Env real;
  platform::testing::Win32TempFolder temp(real);
  ASSERT_FALSE(temp.path().empty());
  TempShell env(real, temp.path());
  platform::FileSystem& files = real.files();
  const std::string above = temp.path() + "\\Program";
  const std::string install = above + "\\ソフト\\";

  TKoruInstallSet settings;
  settings.Title = platform::testing::Win32TempFolder::UniqueName("ソフト");
  settings.Uninstaller = true;
  settings.InstalledFiles = {"game.exe", "data\\ソース\\表.txt", "..\\keep.txt",
                             "data/../../keep.txt"};
  for (const std::string& path : {install + "game.exe", install + "data\\ソース\\表.txt",
                                  install + "game.ini", above + "\\keep.txt"}) {
    ASSERT_TRUE(files.MakeDirectories(ExtractFilePath(path)));
    files.OpenFile(path, {platform::FileAccess::kWrite, platform::FileShare::kNone,
                          platform::FileDisposition::kCreateAlways});
  }
  ASSERT_TRUE(files.SetAttributes(install + "data\\ソース\\表.txt", platform::kAttrReadOnly));

  platform::ScriptedUserInterface ui;
  Uninstaller uninstaller;
  platform::RecordedFormView view(TFormType::Layout());
  TFormType form(env, ui, settings, nullptr, {install}, uninstaller);
  form.FormCreate(view);
  form.OnClick(kIdBtnNext);

  EXPECT_EQ(form.CurrentPage(), kPageExit);
  EXPECT_FALSE(files.DirectoryExists(install));
  EXPECT_TRUE(files.FileExists(above + "\\keep.txt"));
}

}  // namespace
}  // namespace koru
