#pragma once

// The install settings of a game: the file "install.dat" (versions 0 to 108, always
// written as 108) and the registry values that record an installation.
//
// The object is plain data that can be copied and compared; the operations that reach
// the system take the Env as their first argument, so that temporary instances (the
// settings of another archive, a JSON description) need no platform at all.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "platform/env.h"

namespace koru {

// The version SaveToStream writes.
inline constexpr int kInstallSetVersion = 108;

// Message of a settings file that ends early or holds impossible counts or lengths.
inline constexpr const char* kInstallSetCorrupt = "インストール設定ファイルが壊れています";
// Messages of the registry values (%s = the value name).
inline constexpr const char* kRegValueTypeError = "'%s' のデータ型が不正です";
inline constexpr const char* kRegValueWriteError = "'%s' の設定に失敗しました";
// Message of SetDiscCount with a negative count, and of a save whose per-disc arrays do
// not have DiscCount elements.
inline constexpr const char* kDiscCountError = "ディスク数が不正です";

// Registry value names kept below the game's key.
inline constexpr const char* kRegInstallPath = "InstallPath";
inline constexpr const char* kRegCdDrive = "CDDrive";

class TKoruInstallSet {
 public:
  // Fields in declaration order. INVARIANT: each of the four per-disc arrays has exactly
  // DiscCount elements; change DiscCount only through SetDiscCount.
  int32_t DiscCount = 0;
  std::vector<std::string> InstalledFiles;  // relative to the install folder
  std::string SetupCaption;                 // empty: Title + "のセットアップ"
  int32_t DiscIndex = 0;                    // 0-based disc of this settings file
  std::string Title;
  std::string FooterText;
  std::string DefaultFolder;
  std::string ReadmeFile;
  uint8_t InstallType = 0;  // 0 normal, 1 full, 2 plain copy into the Windows folder
  bool ShowReadme = false;
  std::string BackImage;
  uint8_t BackImageLayout = 0;  // 0 centred, 1 stretched, 2 tiled
  std::string ExeFile;
  int32_t ImageSeed = 0;
  bool OfferRuntimeSetup = false;
  uint8_t SpareFlag = 0;
  std::string MediaName;
  std::string RegistryKey;  // below HKEY_CURRENT_USER\Software; a leading '\' is ignored
  std::vector<int64_t> DiscProgSizes;
  std::vector<int64_t> DiscDataSizes;
  std::vector<int64_t> DiscSoundSizes;
  std::vector<int64_t> DiscMovieSizes;
  int64_t ProgSize = 0;
  int64_t DataSize = 0;
  int64_t SoundSize = 0;
  int64_t MovieSize = 0;
  bool Uninstaller = false;
  bool UpdateMode = false;
  bool DataInstalled = false;
  bool ExtractFiles = false;
  std::vector<std::string> ExtraFiles;  // lower case, relative to the source folder
  std::string WelcomeText;
  std::string LicenseText;

  bool operator==(const TKoruInstallSet&) const = default;

  // Reads the file (opened for reading, writers denied) with LoadFromStream and returns
  // the version it declared. Throws the file layer's KoruError when it cannot be opened.
  int LoadFromFile(platform::Env& env, const std::string& path);
  // Reads the settings format from the stream's position (a stream that does not start
  // with "is" is read from its start as version 0) and returns the declared version.
  // Fields that the version does not hold keep their values; both lists are emptied.
  // Throws KoruError(kInstallSetCorrupt) when the data end early or hold a negative or
  // impossible count or length; the object is then left as it was.
  int LoadFromStream(Stream& stream);
  // Creates or truncates the file and writes SaveToStream to it.
  void SaveToFile(platform::Env& env, const std::string& path) const;
  // Writes the settings format, version 108, at the stream's position.
  void SaveToStream(Stream& stream) const;

  // DiscCount := n; the per-disc arrays keep their first n values and grow with zeros.
  // Throws KoruError(kDiscCountError) for a negative n.
  void SetDiscCount(int32_t n);

  // The string value name of the game's key, or default_value when RegistryKey is empty
  // or the key or value does not exist. Throws KoruError(kRegValueTypeError) when the
  // value is not of a string type.
  std::string ReadRegValue(platform::Env& env, const std::string& name,
                           const std::string& default_value) const;
  // Sets a REG_SZ value in the game's key, creating the key. Does nothing when
  // RegistryKey is empty; throws KoruError(kRegValueWriteError) when the key cannot be
  // created or the value cannot be set.
  void WriteRegValue(platform::Env& env, const std::string& name, const std::string& value) const;
  // Removes the game's key with everything below it, then every parent below Software
  // that is left without subkeys and values. Never touches Software itself.
  void DeleteRegistryKey(platform::Env& env) const;
  // True iff "InstallPath" is set and that folder holds ExeFile.
  bool IsInstalled(platform::Env& env) const;

  int32_t InstalledFileCount() const { return static_cast<int32_t>(InstalledFiles.size()); }
  // Throws KoruError when index is out of range.
  const std::string& InstalledFileAt(int32_t index) const;
  // First index whose entry equals name ignoring case, or -1.
  int32_t IndexOfInstalledFile(std::string_view name) const;
  // Appends name unless an entry equal to it ignoring case is there already.
  void AddInstalledFile(const std::string& name);
  // True iff ExtraFiles holds name, ignoring case.
  bool IsExtraFile(std::string_view name) const;
  // SetupCaption, or Title followed by "のセットアップ" when it is empty.
  std::string GetSetupCaption() const;
};

}  // namespace koru
