#include "storage/entry_names.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

TEST(EntryNameTest, PlainRelativeNamesAreSafe) {
  for (const char* name : {"install.dat", "data\\bg.mur", "a/b.txt", "\x83\x5C\\x.txt", "\x83\x5C",
                           "name.", "..a", "a..b\\c"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
}

TEST(EntryNameTest, NamesThatLeaveTheFolderAreRefused) {
  for (const char* name : {"",
                           "\\EOF\\",
                           "/a.txt",
                           "\\windows\\x.dll",
                           "C:\\x",
                           "c:x",
                           "..",
                           "..\\x",
                           "a\\..\\..\\x",
                           "a/../x",
                           "a\\.\\b",
                           ".",
                           "a\\\\b",
                           "a\\",
                           ". .\\x",
                           "a\\.. \\b",
                           "x:stream",
                           "a*b",
                           "a?b",
                           "a|b",
                           "a\"b",
                           "a<b",
                           "a>b",
                           "tab\there",
                           "\\\\server\\share"}) {
    EXPECT_FALSE(IsSafeEntryName(name)) << name;
  }
}

TEST(EntryNameTest, DeviceNamesAreRefusedInEveryComponent) {
  // Extracting to these on Windows would write to a device, not a file.
  for (const char* name :
       {"CON", "con", "Prn.txt", "aux.tar.gz", "NUL", "data\\nul.dat", "COM1", "com9.log", "LPT1",
        "lpt5.x", "CON .txt", "nul ", " con", "a/Aux/b.txt", "sound\\CoM3\\x.wav"}) {
    EXPECT_FALSE(IsSafeEntryName(name)) << name;
  }
  // Names that only begin or end like a device are files.
  for (const char* name : {"console.txt", "CON_1", "com10", "LPT", "lpt10.txt", "nul1", "xcon",
                           "auxiliary\\a.txt", "data\\con1.dat", "\x83\x5Ccon"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
  EXPECT_THROW(SafeEntryPath("C:\\Game", "save\\PRN.sav"), KoruError);
}

TEST(EntryNameTest, SafeEntryPathJoinsOrThrows) {
  EXPECT_EQ(SafeEntryPath("C:\\Game", "data\\a.txt"), "C:\\Game\\data\\a.txt");
  EXPECT_EQ(SafeEntryPath("C:\\Game\\", "a.txt"), "C:\\Game\\a.txt");
  // A folder ending in ソ (second byte 0x5C) still needs its own backslash.
  EXPECT_EQ(SafeEntryPath("C:\\\x83\x5C", "a"), "C:\\\x83\x5C\\a");
  EXPECT_EQ(SafeEntryPath("", "a.txt"), "a.txt");
  try {
    SafeEntryPath("C:\\Game", "..\\boot.ini");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "..\\boot.ini:ファイル名が正しくありません");
  }
}

}  // namespace
}  // namespace koru
