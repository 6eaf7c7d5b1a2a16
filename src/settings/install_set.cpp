#include "settings/install_set.h"

#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"

namespace koru {

void TKoruInstallSet::SetDiscCount(int32_t n) {
  if (n < 0) throw KoruError(kDiscCountError);
  DiscCount = n;
  const size_t size = static_cast<size_t>(n);
  DiscProgSizes.resize(size, 0);
  DiscDataSizes.resize(size, 0);
  DiscSoundSizes.resize(size, 0);
  DiscMovieSizes.resize(size, 0);
}

const std::string& TKoruInstallSet::InstalledFileAt(int32_t index) const {
  if (index < 0 || index >= InstalledFileCount()) {
    throw KoruError(Format("リストのインデックスが範囲を超えています (%d)", index));
  }
  return InstalledFiles[static_cast<size_t>(index)];
}

int32_t TKoruInstallSet::IndexOfInstalledFile(std::string_view name) const {
  for (size_t i = 0; i < InstalledFiles.size(); ++i) {
    if (EqualsIgnoreCase(InstalledFiles[i], name)) return static_cast<int32_t>(i);
  }
  return -1;
}

void TKoruInstallSet::AddInstalledFile(const std::string& name) {
  if (IndexOfInstalledFile(name) < 0) InstalledFiles.push_back(name);
}

bool TKoruInstallSet::IsExtraFile(std::string_view name) const {
  const std::string lower = AsciiLower(name);
  return std::any_of(ExtraFiles.begin(), ExtraFiles.end(),
                     [&](const std::string& entry) { return EqualsIgnoreCase(entry, lower); });
}

std::string TKoruInstallSet::GetSetupCaption() const {
  return SetupCaption.empty() ? Title + "のセットアップ" : SetupCaption;
}

}  // namespace koru
