#include "settings/paths.h"

#include <gtest/gtest.h>

namespace koru {
namespace {

// ソ and 表 are double-byte characters whose second byte is 0x5C, the backslash.
constexpr const char* kSo = "ソ";
constexpr const char* kHyo = "表";

TEST(AddBackslashTest, AppendsUnlessLastCharacterIsADelimiter) {
  EXPECT_EQ(AddBackslash("C:\\Game"), "C:\\Game\\");
  EXPECT_EQ(AddBackslash("C:\\Game\\"), "C:\\Game\\");
  EXPECT_EQ(AddBackslash(""), "\\");
  EXPECT_EQ(AddBackslash(std::string("C:\\") + kSo), std::string("C:\\") + kSo + "\\");
  EXPECT_EQ(AddBackslash(std::string(kSo) + "\\"), std::string(kSo) + "\\");
}

TEST(ExcludeTrailingBackslashTest, KeepsSecondByteOfDoubleByteCharacter) {
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Game\\"), "C:\\Game");
  EXPECT_EQ(ExcludeTrailingBackslash(std::string("A\\") + kHyo), std::string("A\\") + kHyo);
}

TEST(StripLastPathPartTest, DropsTrailingDelimiterThenLastPart) {
  std::string path = "A\\B\\C\\";
  StripLastPathPart(path);
  EXPECT_EQ(path, "A\\B");
  StripLastPathPart(path);
  EXPECT_EQ(path, "A");
  StripLastPathPart(path);
  EXPECT_EQ(path, "");
  StripLastPathPart(path);
  EXPECT_EQ(path, "");

  // The 0x5C inside ソ is no delimiter: a lone ソ has none.
  path = std::string(kSo) + "\\" + kHyo;
  StripLastPathPart(path);
  EXPECT_EQ(path, kSo);
  StripLastPathPart(path);
  EXPECT_EQ(path, "");
}

TEST(ExtractFilePartsTest, SplitAtLastBackslashOrColon) {
  EXPECT_EQ(ExtractFilePath("C:\\Game\\a.txt"), "C:\\Game\\");
  EXPECT_EQ(ExtractFileName("C:\\Game\\a.txt"), "a.txt");
  EXPECT_EQ(ExtractFilePath("C:a.txt"), "C:");
  EXPECT_EQ(ExtractFileName("C:a.txt"), "a.txt");
  EXPECT_EQ(ExtractFilePath("a.txt"), "");
  const std::string so_file = std::string("D:\\") + kSo + kHyo + ".dat";
  EXPECT_EQ(ExtractFilePath(so_file), "D:\\");
  EXPECT_EQ(ExtractFileName(so_file), std::string(kSo) + kHyo + ".dat");
}

TEST(ExtractFileExtTest, TakesDotOfLastPartOnly) {
  EXPECT_EQ(ExtractFileExt("game.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("dir.d\\file"), "");
  EXPECT_EQ(ExtractFileExt("file."), ".");
  EXPECT_EQ(ExtractFileExt(""), "");
  EXPECT_EQ(ExtractFileExt(std::string(kSo) + ".EXE"), ".EXE");
}

TEST(ChangeFileExtTest, ReplacesAddsOrDropsExtension) {
  EXPECT_EQ(ChangeFileExt("C:\\g\\game.dat", ".ext"), "C:\\g\\game.ext");
  EXPECT_EQ(ChangeFileExt("C:\\g.d\\game", ".ext"), "C:\\g.d\\game.ext");
  EXPECT_EQ(ChangeFileExt("game.dat", ""), "game");
  EXPECT_EQ(ChangeFileExt(std::string(kHyo), ".txt"), std::string(kHyo) + ".txt");
}

TEST(ExtractFileDriveTest, DriveLetterOrUncShare) {
  EXPECT_EQ(ExtractFileDrive("C:\\Windows\\system32"), "C:");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("\\\\server"), "\\\\server");
  EXPECT_EQ(ExtractFileDrive("relative\\path"), "");
}

}  // namespace
}  // namespace koru
