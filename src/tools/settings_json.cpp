#include "tools/settings_json.h"

#include <limits>
#include <set>

#include "base/error.h"
#include "base/sjis.h"

namespace koru::tools {
namespace {

using nlohmann::json;

constexpr const char* kDiscCountKey = "DiscCount";
constexpr const char* kHexKey = "hex";

// Calls visit(name, field) for every field but DiscCount, in declaration order.
template <typename Settings, typename Visit>
void VisitFields(Settings& s, Visit&& visit) {
  visit("InstalledFiles", s.InstalledFiles);
  visit("SetupCaption", s.SetupCaption);
  visit("DiscIndex", s.DiscIndex);
  visit("Title", s.Title);
  visit("FooterText", s.FooterText);
  visit("DefaultFolder", s.DefaultFolder);
  visit("ReadmeFile", s.ReadmeFile);
  visit("InstallType", s.InstallType);
  visit("ShowReadme", s.ShowReadme);
  visit("BackImage", s.BackImage);
  visit("BackImageLayout", s.BackImageLayout);
  visit("ExeFile", s.ExeFile);
  visit("ImageSeed", s.ImageSeed);
  visit("OfferRuntimeSetup", s.OfferRuntimeSetup);
  visit("SpareFlag", s.SpareFlag);
  visit("MediaName", s.MediaName);
  visit("RegistryKey", s.RegistryKey);
  visit("DiscProgSizes", s.DiscProgSizes);
  visit("DiscDataSizes", s.DiscDataSizes);
  visit("DiscSoundSizes", s.DiscSoundSizes);
  visit("DiscMovieSizes", s.DiscMovieSizes);
  visit("ProgSize", s.ProgSize);
  visit("DataSize", s.DataSize);
  visit("SoundSize", s.SoundSize);
  visit("MovieSize", s.MovieSize);
  visit("Uninstaller", s.Uninstaller);
  visit("UpdateMode", s.UpdateMode);
  visit("DataInstalled", s.DataInstalled);
  visit("ExtractFiles", s.ExtractFiles);
  visit("ExtraFiles", s.ExtraFiles);
  visit("WelcomeText", s.WelcomeText);
  visit("LicenseText", s.LicenseText);
}

constexpr const char* kPerDiscKeys[] = {"DiscProgSizes", "DiscDataSizes", "DiscSoundSizes",
                                        "DiscMovieSizes"};

// ---- to JSON

json TextToJson(const std::string& sjis) {
  std::string utf8;
  std::string back;
  if (TrySjisToUtf8(sjis, &utf8) && TryUtf8ToSjis(utf8, &back) && back == sjis) return utf8;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : sjis) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return json{{kHexKey, hex}};
}

json ToJson(const std::string& text) { return TextToJson(text); }
json ToJson(const std::vector<std::string>& list) {
  json array = json::array();
  for (const std::string& text : list) array.push_back(TextToJson(text));
  return array;
}
json ToJson(const std::vector<int64_t>& sizes) { return sizes; }
json ToJson(bool flag) { return flag; }
json ToJson(uint8_t number) { return static_cast<int>(number); }
json ToJson(int32_t number) { return number; }
json ToJson(int64_t number) { return number; }

// ---- from JSON

[[noreturn]] void Fail(const std::string& key, const std::string& problem) {
  throw KoruError(Utf8ToSjis("settings JSON: '" + key + "' " + problem));
}

int64_t IntegerIn(const json& value, const std::string& key, int64_t low, int64_t high) {
  if (!value.is_number_integer()) Fail(key, "must be an integer");
  if (value.is_number_unsigned() &&
      value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    Fail(key, "is out of range");
  }
  const int64_t number = value.get<int64_t>();
  if (number < low || number > high) Fail(key, "is out of range");
  return number;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string TextFromJson(const json& value, const std::string& key) {
  if (value.is_string()) {
    std::string sjis;
    if (!TryUtf8ToSjis(value.get<std::string>(), &sjis)) {
      Fail(key, "holds characters that Shift-JIS cannot hold");
    }
    return sjis;
  }
  if (value.is_object() && value.size() == 1 && value.contains(kHexKey) &&
      value[kHexKey].is_string()) {
    const std::string hex = value[kHexKey].get<std::string>();
    if (hex.size() % 2 != 0) Fail(key, "has an odd number of hex digits");
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
      const int high = HexDigit(hex[i]);
      const int low = HexDigit(hex[i + 1]);
      if (high < 0 || low < 0) Fail(key, "has a character that is no hex digit");
      bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
  }
  Fail(key, "must be a string or {\"hex\": \"...\"}");
}

void FromJson(const json& value, const std::string& key, std::string& field) {
  field = TextFromJson(value, key);
}
void FromJson(const json& value, const std::string& key, std::vector<std::string>& field) {
  if (!value.is_array()) Fail(key, "must be an array of strings");
  field.clear();
  for (size_t i = 0; i < value.size(); ++i) {
    field.push_back(TextFromJson(value[i], key + "[" + std::to_string(i) + "]"));
  }
}
void FromJson(const json& value, const std::string& key, std::vector<int64_t>& field) {
  if (!value.is_array()) Fail(key, "must be an array of integers");
  if (value.size() != field.size()) Fail(key, "must have DiscCount elements");
  for (size_t i = 0; i < value.size(); ++i) {
    field[i] = IntegerIn(value[i], key + "[" + std::to_string(i) + "]",
                         std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  }
}
void FromJson(const json& value, const std::string& key, bool& field) {
  if (!value.is_boolean()) Fail(key, "must be true or false");
  field = value.get<bool>();
}
void FromJson(const json& value, const std::string& key, uint8_t& field) {
  field = static_cast<uint8_t>(IntegerIn(value, key, 0, 255));
}
void FromJson(const json& value, const std::string& key, int32_t& field) {
  field = static_cast<int32_t>(IntegerIn(value, key, std::numeric_limits<int32_t>::min(),
                                         std::numeric_limits<int32_t>::max()));
}
void FromJson(const json& value, const std::string& key, int64_t& field) {
  field = IntegerIn(value, key, std::numeric_limits<int64_t>::min(),
                    std::numeric_limits<int64_t>::max());
}

// DiscCount as given, or the common length of the per-disc arrays given.
int32_t DiscCountOf(const json& object) {
  if (object.contains(kDiscCountKey)) {
    return static_cast<int32_t>(
        IntegerIn(object[kDiscCountKey], kDiscCountKey, 0, kMaxJsonDiscCount));
  }
  std::optional<size_t> length;
  for (const char* key : kPerDiscKeys) {
    if (!object.contains(key) || !object[key].is_array()) continue;
    if (length && *length != object[key].size()) {
      Fail(key, "must have as many elements as the other per-disc arrays");
    }
    length = object[key].size();
  }
  if (length.value_or(0) > static_cast<size_t>(kMaxJsonDiscCount)) {
    Fail(kDiscCountKey, "is out of range");
  }
  return static_cast<int32_t>(length.value_or(0));
}

}  // namespace

json InstallSetToJson(const TKoruInstallSet& settings, int declared_version) {
  json object = json::object();
  object[kJsonVersionKey] = declared_version;
  object[kDiscCountKey] = settings.DiscCount;
  VisitFields(settings, [&](const char* name, const auto& field) { object[name] = ToJson(field); });
  return object;
}

TKoruInstallSet InstallSetFromJson(const json& object) {
  if (!object.is_object()) throw KoruError("settings JSON: the top level must be an object");
  std::set<std::string> known = {kJsonVersionKey, kDiscCountKey};
  TKoruInstallSet settings;
  VisitFields(settings, [&](const char* name, auto&) { known.insert(name); });
  for (const auto& item : object.items()) {
    if (!known.count(item.key())) Fail(item.key(), "is not a settings field");
  }
  if (object.contains(kJsonVersionKey)) {
    IntegerIn(object[kJsonVersionKey], kJsonVersionKey, 0, 999);
  }

  settings.SetDiscCount(DiscCountOf(object));
  VisitFields(settings, [&](const char* name, auto& field) {
    if (object.contains(name)) FromJson(object[name], name, field);
  });
  return settings;
}

}  // namespace koru::tools
