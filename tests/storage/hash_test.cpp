#include "storage/hash.h"

#include <gtest/gtest.h>

#include <string>

#include "base/error.h"

namespace koru {
namespace {

class Names : public THashCollection {
 public:
  THashCollectionItem& AddNamed(const std::string& name) {
    THashCollectionItem& item = Add();
    item.SetName(name);
    return item;
  }
};

TEST(HashNameTest, BucketsFollowLengthFirstAndSecondToLastByte) {
  EXPECT_EQ(THashCollection::HashName("install.dat"), 122);
  EXPECT_EQ(THashCollection::HashName("INSTALL.DAT"), 122);
  EXPECT_EQ(THashCollection::HashName("\\EOF\\"), 18);
  EXPECT_EQ(THashCollection::HashName(""), 0);
  EXPECT_EQ(THashCollection::HashName("a"), 16);
  EXPECT_EQ(THashCollection::HashName("\xFF"), 16);
}

TEST(HashNameTest, BothLoweringsFileDoubleByteNamesInTheSameBucket) {
  // "ＡＢ" written as full-width letters: second bytes 0x60/0x61; and ソ whose second
  // byte 0x5C and ア (0x83 0x41) whose second byte is the code of 'A'.
  for (const std::string name :
       {"\x83\x41.txt", "\x83\x5C\\A.TXT", "\x82\x60\x82\x61", "Data\\\x83\x41\x83\x42.MUR"}) {
    EXPECT_EQ(THashCollection::HashName(name), THashCollection::HashNameDbcs(name)) << name;
  }
}

TEST(HashCollectionTest, LooksUpIgnoringAsciiCaseInBothModes) {
  for (bool japanese : {false, true}) {
    Names names;
    names.SetJapaneseNames(japanese);
    names.AddNamed("readme.txt");
    names.AddNamed("install.dat");
    EXPECT_EQ(names.IndexOf("INSTALL.DAT"), 1);
    EXPECT_EQ(names.IndexOf("Readme.Txt"), 0);
    EXPECT_EQ(names.IndexOf("install.da"), -1);
  }
}

TEST(HashCollectionTest, SecondByteOfADoubleByteCharacterIsNotLowered) {
  Names names;
  names.SetJapaneseNames(true);
  names.AddNamed("\x83\x41\x83\x42.MUR");  // アイ.MUR: second bytes 'A' and 'B'
  EXPECT_EQ(names.IndexOf("\x83\x41\x83\x42.mur"), 0);
  // Lowering the second bytes would make this a different character pair.
  EXPECT_EQ(names.IndexOf("\x83\x61\x83\x62.MUR"), -1);
}

TEST(HashCollectionTest, RenameRefilesAndEqualNamesFindTheLatest) {
  Names names;
  THashCollectionItem& a = names.AddNamed("a.txt");
  names.AddNamed("c.txt");
  a.SetName("b.txt");
  EXPECT_EQ(names.IndexOf("a.txt"), -1);
  EXPECT_EQ(names.IndexOf("b.txt"), 0);
  names.AddNamed("B.TXT");
  EXPECT_EQ(names.IndexOf("b.txt"), 2);
  // A change of case alone refiles the item at the head of its bucket.
  a.SetName("B.txt");
  EXPECT_EQ(names.IndexOf("b.txt"), 0);
}

TEST(HashCollectionTest, DeletingRenumbersTheItemsBehind) {
  Names names;
  for (int i = 0; i < 10; ++i) names.AddNamed("file" + std::to_string(i));
  names.Delete(3);
  EXPECT_EQ(names.Count(), 9);
  EXPECT_EQ(names.IndexOf("file3"), -1);
  for (int i = 4; i < 10; ++i) EXPECT_EQ(names.IndexOf("file" + std::to_string(i)), i - 1);
  for (int i = 0; i < names.Count(); ++i) EXPECT_EQ(names.ItemAt(i).Index(), i);
  names.Delete(0);
  names.Delete(names.Count() - 1);
  EXPECT_EQ(names.IndexOf("file1"), 0);
  EXPECT_EQ(names.IndexOf("file8"), 6);
  EXPECT_EQ(names.IndexOf("file9"), -1);
}

TEST(HashCollectionTest, UnnamedItemSitsInBucketZero) {
  Names names;
  names.AddNamed("x");
  names.Add();
  EXPECT_EQ(names.IndexOf(""), 1);
  EXPECT_EQ(names.ItemAt(1).DisplayName(), "THashCollectionItem");
  names.Clear();
  EXPECT_EQ(names.Count(), 0);
  EXPECT_EQ(names.IndexOf(""), -1);
  EXPECT_EQ(names.IndexOf("x"), -1);
}

TEST(HashCollectionTest, ManyCollidingNamesStayFindableAfterDeletions) {
  Names names;
  // Same length, first and second-to-last byte: one bucket.
  for (int i = 0; i < 50; ++i) {
    names.AddNamed("a" + std::to_string(10 + i) + "zz");
  }
  for (int i = 48; i >= 0; i -= 3) names.Delete(i);
  for (int i = 0; i < names.Count(); ++i) {
    EXPECT_EQ(names.IndexOf(names.ItemAt(i).Name()), i);
  }
}

}  // namespace
}  // namespace koru
