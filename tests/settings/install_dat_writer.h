#pragma once

// Writes install.dat files of any version, holding exactly the fields that files of that
// version carry, so that the reader can be checked against every layout.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "settings/install_set.h"

namespace koru::testing {

enum class DatHeader {
  kVersioned,  // "is" and the version as three digits
  kNone,       // no header at all: the fields start at byte 0
};

class DatBytes {
 public:
  void Raw(const std::string& bytes) { data_.insert(data_.end(), bytes.begin(), bytes.end()); }
  void U8(uint8_t v) { data_.push_back(v); }
  void I32(int32_t v) { Le(static_cast<uint32_t>(v), 4); }
  void U32(uint32_t v) { Le(v, 4); }
  void I64(int64_t v) { Le(static_cast<uint64_t>(v), 8); }
  void Str(const std::string& s) {
    I32(static_cast<int32_t>(s.size()));
    Raw(s);
  }
  void List(const std::vector<std::string>& list) {
    I32(static_cast<int32_t>(list.size()));
    for (const auto& s : list) Str(s);
  }
  std::vector<uint8_t>& data() { return data_; }

 private:
  void Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> data_;
};

inline std::vector<uint8_t> WriteInstallDat(const TKoruInstallSet& s, int version,
                                            DatHeader header = DatHeader::kVersioned) {
  DatBytes out;
  if (header == DatHeader::kVersioned) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", version);
    out.Raw("is" + std::string(digits, 3));
  }
  auto size = [&](int64_t v) {
    if (version >= 100) {
      out.I64(v);
    } else {
      out.U32(static_cast<uint32_t>(v));
    }
  };
  out.I32(s.DiscIndex);
  out.Str(s.Title);
  out.Str(s.FooterText);
  out.Str(s.DefaultFolder);
  out.Str(s.ReadmeFile);
  out.U8(s.ShowReadme);
  out.Str(s.BackImage);
  out.U8(s.BackImageLayout);
  out.I32(s.DiscCount);
  out.Str(s.ExeFile);
  out.I32(s.ImageSeed);
  out.U8(s.OfferRuntimeSetup);
  out.U8(s.SpareFlag);
  out.Str(s.MediaName);
  out.Str(s.RegistryKey);
  for (int i = 0; i < s.DiscCount; ++i) {
    size(s.DiscProgSizes[i]);
    size(s.DiscDataSizes[i]);
    size(s.DiscSoundSizes[i]);
    size(s.DiscMovieSizes[i]);
  }
  size(s.ProgSize);
  size(s.DataSize);
  size(s.SoundSize);
  size(s.MovieSize);
  out.U8(s.Uninstaller);
  if (version >= 101) out.U8(s.UpdateMode);
  if (version >= 102) out.List(s.InstalledFiles);
  if (version >= 103) out.U8(s.DataInstalled);
  if (version >= 104) out.U8(s.InstallType);
  if (version >= 105) out.U8(s.ExtractFiles);
  if (version >= 106) out.List(s.ExtraFiles);
  if (version >= 107) out.Str(s.SetupCaption);
  if (version >= 108) {
    out.Str(s.WelcomeText);
    out.Str(s.LicenseText);
  }
  return std::move(out.data());
}

// A settings object with a distinct value in every field, two discs and both lists.
inline TKoruInstallSet SampleInstallSet() {
  TKoruInstallSet s;
  s.DiscIndex = 1;
  s.Title = "ソフト表示テスト";  // both 0x5C second bytes
  s.FooterText = "(C) Maker";
  s.DefaultFolder = "<ProgramFiles>\\Maker\\Game";
  s.ReadmeFile = "readme.txt";
  s.ShowReadme = true;
  s.BackImage = "back.mur";
  s.BackImageLayout = 2;
  s.SetDiscCount(2);
  s.ExeFile = "game.exe";
  s.ImageSeed = -123456789;
  s.OfferRuntimeSetup = true;
  s.SpareFlag = 7;
  s.MediaName = "CD-ROM";
  s.RegistryKey = "\\Maker\\Game";
  s.DiscProgSizes = {1000, 2000};
  s.DiscDataSizes = {3000, 0x7FFFFFFF};
  s.DiscSoundSizes = {5000, 6000};
  s.DiscMovieSizes = {7000, 0xFFFFFFFF};
  s.ProgSize = 3000;
  s.DataSize = 0x123456789A;  // above 32 bits: only versions from 100 on keep it
  s.SoundSize = 11000;
  s.MovieSize = 0xFFFFFFFE;
  s.Uninstaller = true;
  s.UpdateMode = true;
  s.InstalledFiles = {"game.exe", "data\\ソ.dat"};
  s.DataInstalled = true;
  s.InstallType = 1;
  s.ExtractFiles = true;
  s.ExtraFiles = {"manual.pdf", "", "bonus\\x.txt"};
  s.SetupCaption = "ゲームのインストール";
  s.WelcomeText = "ようこそ";
  s.LicenseText = "使用許諾";
  return s;
}

}  // namespace koru::testing
