#pragma once

// Install settings as JSON, for people who write or inspect install.dat files.
//
// One object whose keys are the field names of TKoruInstallSet ("DiscIndex", "Title",
// ..., "LicenseText"; the per-disc sizes and both lists as arrays) plus "Version", the
// version the file declared. Numbers are JSON numbers, flags true/false.
//
// Texts are Shift-JIS in the file and UTF-8 in JSON. A text whose bytes are not valid
// Shift-JIS, or would not come back byte for byte from Unicode (the duplicate NEC/IBM
// characters), is written as {"hex": "<its bytes as hex digits>"} so that nothing is
// lost; both forms are accepted for every text.

#include <nlohmann/json.hpp>

#include "settings/install_set.h"

namespace koru::tools {

inline constexpr const char* kJsonVersionKey = "Version";
// Most discs a JSON description may give (a guard against a mistyped count).
inline constexpr int32_t kMaxJsonDiscCount = 4096;

nlohmann::json InstallSetToJson(const TKoruInstallSet& settings, int declared_version);

// Every key is optional (a missing one keeps the value of a new object); "Version" is
// ignored, since files are always written as version 108. DiscCount, when given, must
// equal the length of every per-disc array given; when absent it is their common length.
// Throws KoruError naming the key on an unknown key, a value of the wrong type or range,
// or a text that code page 932 cannot hold.
TKoruInstallSet InstallSetFromJson(const nlohmann::json& json);

}  // namespace koru::tools
