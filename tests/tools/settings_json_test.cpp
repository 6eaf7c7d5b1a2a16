#include "tools/settings_json.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "settings/install_dat_writer.h"

namespace koru::tools {
namespace {

using nlohmann::json;

// Narrow literals are Shift-JIS in this program; u8 literals stay UTF-8.
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string ErrorOf(const json& j) {
  try {
    InstallSetFromJson(j);
  } catch (const KoruError& error) {
    return error.Utf8();
  }
  return "<accepted>";
}

TEST(SettingsJsonTest, KeysAreTheFieldNamesAndTextsAreUtf8) {
  const json j = InstallSetToJson(testing::SampleInstallSet(), 107);
  EXPECT_EQ(j.size(), 34u);  // 33 fields and Version
  EXPECT_EQ(j["Version"], 107);
  EXPECT_EQ(j["Title"], Utf8(u8"ソフト表示テスト"));
  EXPECT_EQ(j["DiscCount"], 2);
  EXPECT_EQ(j["DiscDataSizes"], json::array({3000, 0x7FFFFFFF}));
  EXPECT_EQ(j["DataSize"], 0x123456789A);
  EXPECT_EQ(j["ShowReadme"], true);
  EXPECT_EQ(j["BackImageLayout"], 2);
  EXPECT_EQ(j["InstalledFiles"], json::array({"game.exe", Utf8(u8"data\\ソ.dat")}));
}

TEST(SettingsJsonTest, RoundTripKeepsEveryField) {
  const TKoruInstallSet sample = testing::SampleInstallSet();
  EXPECT_EQ(InstallSetFromJson(InstallSetToJson(sample, 108)), sample);
  EXPECT_EQ(InstallSetFromJson(json::parse(InstallSetToJson(sample, 108).dump(2))), sample);
}

TEST(SettingsJsonTest, BytesThatAreNotShiftJisTravelAsHex) {
  TKoruInstallSet s;
  s.Title = "ab\x81";        // a lead byte without its second byte
  s.FooterText = "\xFF";     // never a Shift-JIS byte
  s.MediaName = "\xED\x40";  // a duplicate character: Unicode gives it back as FA 5C
  s.ExtraFiles = {"ok.txt", std::string("\x00\x85", 2)};
  const json j = InstallSetToJson(s, 108);
  EXPECT_EQ(j["Title"], json({{"hex",
                               "6162"
                               "81"}}));
  EXPECT_EQ(j["FooterText"], json({{"hex", "ff"}}));
  EXPECT_TRUE(j["MediaName"].is_object());
  EXPECT_EQ(j["ExtraFiles"][0], "ok.txt");
  EXPECT_EQ(InstallSetFromJson(j), s);
}

TEST(SettingsJsonTest, MissingKeysKeepNewObjectValuesAndDiscCountComesFromArrays) {
  const TKoruInstallSet s = InstallSetFromJson(
      json{{"Title", "x"}, {"DiscProgSizes", {1, 2}}, {"DiscMovieSizes", {3, 4}}});
  EXPECT_EQ(s.Title, "x");
  EXPECT_EQ(s.DiscCount, 2);
  EXPECT_EQ(s.DiscDataSizes, (std::vector<int64_t>{0, 0}));
  EXPECT_EQ(s.DiscMovieSizes, (std::vector<int64_t>{3, 4}));
  EXPECT_EQ(InstallSetFromJson(json{{"DiscCount", 3}}).DiscSoundSizes.size(), 3u);
  EXPECT_EQ(InstallSetFromJson(json::object()), TKoruInstallSet{});
}

TEST(SettingsJsonTest, BadInputNamesTheKey) {
  EXPECT_EQ(ErrorOf(json::array()), "settings JSON: the top level must be an object");
  EXPECT_EQ(ErrorOf(json{{"Titel", "x"}}), "settings JSON: 'Titel' is not a settings field");
  EXPECT_EQ(ErrorOf(json{{"Title", 5}}),
            "settings JSON: 'Title' must be a string or {\"hex\": \"...\"}");
  EXPECT_EQ(ErrorOf(json{{"ShowReadme", 1}}), "settings JSON: 'ShowReadme' must be true or false");
  EXPECT_EQ(ErrorOf(json{{"InstallType", 256}}), "settings JSON: 'InstallType' is out of range");
  EXPECT_EQ(ErrorOf(json{{"DiscIndex", 1.5}}), "settings JSON: 'DiscIndex' must be an integer");
  EXPECT_EQ(ErrorOf(json{{"ImageSeed", int64_t{1} << 31}}),
            "settings JSON: 'ImageSeed' is out of range");
  EXPECT_EQ(ErrorOf(json{{"ProgSize", uint64_t{1} << 63}}),
            "settings JSON: 'ProgSize' is out of range");
  EXPECT_EQ(ErrorOf(json{{"DiscCount", 2}, {"DiscProgSizes", {1}}}),
            "settings JSON: 'DiscProgSizes' must have DiscCount elements");
  EXPECT_EQ(ErrorOf(json{{"DiscProgSizes", {1}}, {"DiscDataSizes", {1, 2}}}),
            "settings JSON: 'DiscDataSizes' must have as many elements as the other per-disc "
            "arrays");
  EXPECT_EQ(ErrorOf(json{{"DiscCount", -1}}), "settings JSON: 'DiscCount' is out of range");
  EXPECT_EQ(ErrorOf(json{{"DiscCount", 1'000'000'000}}),
            "settings JSON: 'DiscCount' is out of range");
  EXPECT_EQ(ErrorOf(json{{"ExtraFiles", {"a", 2}}}),
            "settings JSON: 'ExtraFiles[1]' must be a string or {\"hex\": \"...\"}");
  EXPECT_EQ(ErrorOf(json{{"Title", "\xF0\x9F\x98\x80"}}),
            "settings JSON: 'Title' holds characters that Shift-JIS cannot hold");
  EXPECT_EQ(ErrorOf(json{{"Title", {{"hex", "8"}}}}),
            "settings JSON: 'Title' has an odd number of hex digits");
  EXPECT_EQ(ErrorOf(json{{"Title", {{"hex", "zz"}}}}),
            "settings JSON: 'Title' has a character that is no hex digit");
  EXPECT_EQ(ErrorOf(json{{"Version", "108"}}), "settings JSON: 'Version' must be an integer");
}

}  // namespace
}  // namespace koru::tools
