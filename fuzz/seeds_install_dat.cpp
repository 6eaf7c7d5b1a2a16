// Settings files written by TKoruInstallSet::SaveToStream, and the same fields under the
// older version numbers the reader still accepts.

#include <cstring>

#include "base/stream.h"
#include "fuzz_target.h"
#include "settings/install_set.h"

namespace koru::fuzz {
namespace {

std::vector<uint8_t> Save(const TKoruInstallSet& set) {
  MemoryStream out;
  set.SaveToStream(out);
  return out.Release();
}

TKoruInstallSet Typical() {
  TKoruInstallSet s;
  s.Title = "月下の庭";
  s.FooterText = "(C) 2026 Koru";
  s.DefaultFolder = "C:\\Games\\Gekka";
  s.ReadmeFile = "readme.txt";
  s.ShowReadme = true;
  s.BackImage = "back.mur";
  s.BackImageLayout = 2;
  s.ExeFile = "gekka.exe";
  s.ImageSeed = 0x1234567;
  s.MediaName = "GEKKA_1";
  s.RegistryKey = "\\Koru\\Gekka";
  s.SetDiscCount(2);
  s.DiscProgSizes = {100, 0};
  s.DiscDataSizes = {int64_t{5} << 32, 77};
  s.DiscSoundSizes = {3, 4};
  s.DiscMovieSizes = {0, int64_t{1} << 40};
  s.ProgSize = 100;
  s.DataSize = 200;
  s.Uninstaller = true;
  s.InstalledFiles = {"gekka.exe", "data\\a.dat", "セーブ\\save.dat"};
  s.ExtraFiles = {"dx\\setup.exe", ""};
  s.InstallType = 1;
  s.ExtractFiles = true;
  s.SetupCaption = "月下の庭 セットアップ";
  s.WelcomeText = "ようこそ\r\n";
  s.LicenseText = "使用許諾";
  return s;
}

TKoruInstallSet ManyDiscs() {
  TKoruInstallSet s;
  s.Title = "x";
  s.SetDiscCount(9);
  for (int i = 0; i < 9; ++i) s.DiscProgSizes[static_cast<size_t>(i)] = i * 1000;
  s.DiscIndex = 4;
  s.UpdateMode = true;
  s.DataInstalled = true;
  return s;
}

// The same bytes under another version: the fields are what a file of that version
// would hold only in part, which is what the mutations need as a start.
std::vector<uint8_t> WithVersion(std::vector<uint8_t> bytes, const char* digits) {
  std::memcpy(bytes.data() + 2, digits, 3);
  return bytes;
}

}  // namespace

std::vector<Seed> MakeSeeds() {
  std::vector<Seed> seeds;
  const std::vector<uint8_t> typical = Save(Typical());
  seeds.push_back({"empty settings", Save(TKoruInstallSet{})});
  seeds.push_back({"typical settings", typical});
  seeds.push_back({"nine discs", Save(ManyDiscs())});
  for (const char* version : {"000", "099", "100", "102", "105", "107", "x08"}) {
    seeds.push_back({std::string("typical as is") + version, WithVersion(typical, version)});
  }
  // Without "is", the file is read from its first byte as version 0.
  seeds.push_back(
      {"typical without header", std::vector<uint8_t>(typical.begin() + 5, typical.end())});
  return seeds;
}

}  // namespace koru::fuzz
