#include "storage/hash.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"

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

TEST(HashCollectionTest, ItemsAreFiledInTheBucketOfTheirName) {
  Names names;
  EXPECT_EQ(names.Add().Bucket(), 0);
  for (const std::string name : {"install.dat", "INSTALL.DAT", "\\EOF\\", "a", "Ab", "\x83\x41",
                                 "x\x83\x41.TXT", "\x83\x41Z", "DATA\\\x83\x5C", "z\x83", "\x83"}) {
    EXPECT_EQ(names.AddNamed(name).Bucket(), THashCollection::HashName(name)) << name;
  }
  EXPECT_EQ(names.ItemAt(1).Bucket(), 122);
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

TEST(HashCollectionTest, DeletingTheNewestOfEqualNamesFindsTheOlderAgain) {
  Names names;
  names.AddNamed("a.txt");
  names.AddNamed("Setup.ini");  // 1
  names.AddNamed("b.txt");
  names.AddNamed("SETUP.INI");  // 3
  names.AddNamed("setup.ini");  // 4
  EXPECT_EQ(names.IndexOf("setup.INI"), 4);
  names.Delete(4);
  EXPECT_EQ(names.IndexOf("setup.ini"), 3);
  // Deleting the older one in front renumbers the newest without losing it.
  names.Delete(1);
  EXPECT_EQ(names.IndexOf("setup.ini"), 2);
  names.Delete(2);
  EXPECT_EQ(names.IndexOf("setup.ini"), -1);
  EXPECT_EQ(names.IndexOf("b.txt"), 1);
}

TEST(HashCollectionTest, RenamingAwayFromAndBackToAnEqualName) {
  Names names;
  THashCollectionItem& first = names.AddNamed("x.dat");
  THashCollectionItem& second = names.AddNamed("X.DAT");
  second.SetName("y.dat");
  EXPECT_EQ(names.IndexOf("x.dat"), 0);
  EXPECT_EQ(names.IndexOf("y.dat"), 1);
  second.SetName("x.Dat");
  EXPECT_EQ(names.IndexOf("x.dat"), 1);
  // Renaming the older item, even by case alone, makes it the newest.
  first.SetName("X.dat");
  EXPECT_EQ(names.IndexOf("x.dat"), 0);
  // The same name exactly is no rename and changes nothing.
  second.SetName("x.Dat");
  EXPECT_EQ(names.IndexOf("x.dat"), 0);
  first.SetName("");
  EXPECT_EQ(names.IndexOf("x.dat"), 1);
  EXPECT_EQ(names.IndexOf(""), 0);
}

TEST(HashCollectionTest, ClearForgetsEveryNameAndTheCollectionFilesAfresh) {
  Names names;
  for (int i = 0; i < 1000; ++i) names.AddNamed("dup.txt");
  for (int i = 0; i < 1000; ++i) names.AddNamed("n" + std::to_string(i));
  names.Clear();
  EXPECT_EQ(names.IndexOf("dup.txt"), -1);
  EXPECT_EQ(names.IndexOf("n5"), -1);
  names.AddNamed("N5");
  EXPECT_EQ(names.IndexOf("n5"), 0);
}

// Enough names that the look-up table grows and its probe runs cross and wrap; names
// given up in random order must leave every other name findable.
TEST(HashCollectionTest, ThousandsOfNamesSurviveRandomDeletionsAndRenames) {
  Names names;
  for (int i = 0; i < 3000; ++i) names.AddNamed("Folder\\File" + std::to_string(i) + ".DAT");
  std::mt19937 random(77);
  for (int round = 0; round < 2000; ++round) {
    const int at = static_cast<int>(random() % static_cast<unsigned>(names.Count()));
    if (round % 3 == 0) {
      names.ItemAt(at).SetName("renamed" + std::to_string(round));
    } else {
      names.Delete(at);
    }
  }
  for (int i = 0; i < names.Count(); ++i) {
    ASSERT_EQ(names.IndexOf(AsciiUpper(names.ItemAt(i).Name())), i) << names.ItemAt(i).Name();
  }
  int kept = 0;
  for (int i = 0; i < names.Count(); ++i) kept += names.ItemAt(i).Name().rfind("Folder", 0) == 0;
  int found = 0;
  for (int i = 0; i < 3000; ++i) {
    found += names.IndexOf("folder\\file" + std::to_string(i) + ".dat") >= 0;
  }
  EXPECT_EQ(found, kept);
}

// Random additions, renames and deletions over a small pool of names that collide in
// case, bucket and length, checked after every step against a plain model: the item
// whose equal name was given most recently.
TEST(HashCollectionTest, LookUpsFollowAModelThroughRandomChanges) {
  const std::vector<std::string> pool = {
      "a.txt", "A.TXT", "a.TXT",    "b.txt",    "abz",          "aaz",
      "",      "x",     "\x83\x41", "\x83\x61", "DATA\\BG.MUR", "data\\bg.mur"};
  std::mt19937 random(4242);
  for (bool japanese : {false, true}) {
    Names names;
    names.SetJapaneseNames(japanese);
    std::vector<long> filed;  // per position: when its name was last given
    long clock = 0;
    for (int step = 0; step < 3000; ++step) {
      const std::string& name = pool[random() % pool.size()];
      const unsigned action = random() % 4;
      if (action == 0 || names.Count() == 0) {
        names.AddNamed(name);
        filed.push_back(++clock);
      } else if (action == 1 && names.Count() > 0) {
        const int at = static_cast<int>(random() % static_cast<unsigned>(names.Count()));
        names.Delete(at);
        filed.erase(filed.begin() + at);
      } else {
        const int at = static_cast<int>(random() % static_cast<unsigned>(names.Count()));
        if (names.ItemAt(at).Name() != name) filed[static_cast<size_t>(at)] = ++clock;
        names.ItemAt(at).SetName(name);
      }
      for (const std::string& query : pool) {
        int expected = -1;
        for (int i = 0; i < names.Count(); ++i) {
          if (EqualsIgnoreCase(names.ItemAt(i).Name(), query) &&
              (expected < 0 ||
               filed[static_cast<size_t>(i)] > filed[static_cast<size_t>(expected)])) {
            expected = i;
          }
        }
        ASSERT_EQ(names.IndexOf(query), expected) << "step " << step << " query " << query;
      }
    }
  }
}

}  // namespace
}  // namespace koru
