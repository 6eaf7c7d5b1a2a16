// Shortcuts through the real shell link object (IShellLinkW and IPersistFile): written
// below a special folder that the test points at a temporary folder, so nothing reaches
// the prefix's own menus, then read back through the link object.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/env_wrapper.h"
#include "platform/platform_win32_temp_folder.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_env.h"
#include "wizard/shell_link.h"

namespace koru {
namespace {

// Every special folder is one temporary folder.
class TempSpecialFolders : public platform::EnvWrapper {
 public:
  TempSpecialFolders(platform::Env& target, std::string folder)
      : EnvWrapper(target), folder_(std::move(folder)) {}
  std::string SpecialFolder(int csidl) override { return folder_; }

 private:
  std::string folder_;
};

class ShellLinkWin32Test : public ::testing::Test {
 protected:
  // The show command as the link file's header holds it (a 32-bit value at 0x3C). Wine's
  // link object reads every value back as normal, so the test reads the file.
  uint32_t HeaderShowCommand(const std::string& link_path) {
    std::unique_ptr<platform::File> file = env_.files().OpenFile(link_path, {});
    uint8_t header[0x40] = {};
    file->ReadExact(header, sizeof(header));
    return header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | uint32_t{header[0x3F]} << 24;
  }

  platform::win32::ComApartment com_;
  platform::Win32Env real_;
  platform::testing::Win32TempFolder temp_{real_};
  TempSpecialFolders env_{real_, temp_.path()};
};

TEST_F(ShellLinkWin32Test, LinkInATwoLevelSubDir_ReadsBackEveryField) {
  ASSERT_TRUE(com_.ok());
  // An ASCII target: outside code page 932 systems the link object keeps the target's
  // path in the system's code page as well, and reads that copy back.
  const std::string target = temp_.path() + "\\game.exe";
  ASSERT_TRUE(
      env_.files().OpenFile(target, {platform::FileAccess::kWrite, platform::FileShare::kNone,
                                     platform::FileDisposition::kCreateAlways}));
  ASSERT_TRUE(CreateShortcut(env_, "ソフト", target, "-window 1", "説明ソ", temp_.path(),
                             lnkPrograms, "Koru\\サンプル", TWindowState::wsMinimized,
                             kHotKeyCtrl | kHotKeyShift | 'K', 2));
  const std::string link_path = temp_.path() + "\\Koru\\サンプル\\ソフト.lnk";
  const auto fields = env_.shell().LoadShellLink(link_path);
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->target, target);
  EXPECT_EQ(fields->arguments, "-window 1");
  EXPECT_EQ(fields->working_folder, temp_.path());
  EXPECT_EQ(fields->description, "説明ソ");
  EXPECT_EQ(fields->hot_key, 0x300 | 'K');
  EXPECT_EQ(fields->icon_path, target);
  EXPECT_EQ(fields->icon_index, 2);
  EXPECT_EQ(HeaderShowCommand(link_path), 7u);

  ASSERT_TRUE(CreateShortcut(env_, "max", target, "", "", "", lnkPrograms, "",
                             TWindowState::wsMaximized, 0, 0));
  EXPECT_EQ(HeaderShowCommand(temp_.path() + "\\max.lnk"), 3u);
}

TEST_F(ShellLinkWin32Test, DeleteFolder_EmptySubDirDeletesNothing) {
  ASSERT_TRUE(CreateShortcut(env_, "a", temp_.path() + "\\a.exe", "", "", "", lnkPrograms, "Koru",
                             TWindowState::wsNormal, 0, 0));
  DeleteShortcutFolder(env_, lnkPrograms, "");
  EXPECT_TRUE(env_.files().FileExists(temp_.path() + "\\Koru\\a.lnk"));
  DeleteShortcutFolder(env_, lnkPrograms, "..");
  EXPECT_TRUE(env_.files().FileExists(temp_.path() + "\\Koru\\a.lnk"));
  DeleteShortcutFolder(env_, lnkPrograms, "Koru");
  EXPECT_FALSE(env_.files().DirectoryExists(temp_.path() + "\\Koru"));
  EXPECT_TRUE(env_.files().DirectoryExists(temp_.path()));
}

}  // namespace
}  // namespace koru
