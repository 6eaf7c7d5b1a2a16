#include "settings/install_set.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

TEST(InstallSetTest, NewObjectIsEmpty) {
  const TKoruInstallSet s;
  EXPECT_EQ(s.DiscCount, 0);
  EXPECT_TRUE(s.DiscProgSizes.empty() && s.DiscMovieSizes.empty());
  EXPECT_EQ(s.InstalledFileCount(), 0);
  EXPECT_FALSE(s.Uninstaller);
  EXPECT_EQ(s.GetSetupCaption(), "のセットアップ");
}

TEST(InstallSetTest, SetDiscCountKeepsExistingSizesAndZeroesNewOnes) {
  TKoruInstallSet s;
  s.SetDiscCount(2);
  s.DiscProgSizes = {5, 6};
  s.DiscMovieSizes = {7, 8};
  s.SetDiscCount(3);
  EXPECT_EQ(s.DiscProgSizes, (std::vector<int64_t>{5, 6, 0}));
  EXPECT_EQ(s.DiscDataSizes, (std::vector<int64_t>{0, 0, 0}));
  s.SetDiscCount(1);
  EXPECT_EQ(s.DiscCount, 1);
  EXPECT_EQ(s.DiscMovieSizes, (std::vector<int64_t>{7}));
  EXPECT_THROW(s.SetDiscCount(-1), KoruError);
  EXPECT_EQ(s.DiscCount, 1);
}

TEST(InstallSetTest, InstalledFilesIgnoreAsciiCaseOnly) {
  TKoruInstallSet s;
  s.AddInstalledFile("Data\\Game.DAT");
  s.AddInstalledFile("data\\game.dat");
  s.AddInstalledFile("ａ.txt");  // full-width letters are not folded
  s.AddInstalledFile("Ａ.txt");
  EXPECT_EQ(s.InstalledFileCount(), 3);
  EXPECT_EQ(s.InstalledFileAt(0), "Data\\Game.DAT");
  EXPECT_EQ(s.IndexOfInstalledFile("DATA\\GAME.dat"), 0);
  EXPECT_EQ(s.IndexOfInstalledFile("Ａ.TXT"), 2);
  EXPECT_EQ(s.IndexOfInstalledFile("missing"), -1);
  EXPECT_THROW(s.InstalledFileAt(3), KoruError);
  EXPECT_THROW(s.InstalledFileAt(-1), KoruError);
}

TEST(InstallSetTest, IsExtraFileIgnoresCase) {
  TKoruInstallSet s;
  s.ExtraFiles = {"manual\\readme.txt", "ソフト.exe"};
  EXPECT_TRUE(s.IsExtraFile("Manual\\README.TXT"));
  EXPECT_TRUE(s.IsExtraFile("ソフト.EXE"));
  EXPECT_FALSE(s.IsExtraFile("manual"));
}

TEST(InstallSetTest, SetupCaptionFallsBackToTitleWithoutBlank) {
  TKoruInstallSet s;
  s.Title = "ゲーム";
  EXPECT_EQ(s.GetSetupCaption(), "ゲームのセットアップ");
  s.SetupCaption = "特別版";
  EXPECT_EQ(s.GetSetupCaption(), "特別版");
}

}  // namespace
}  // namespace koru
