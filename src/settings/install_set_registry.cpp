// The game's key below HKEY_CURRENT_USER\Software and its two string values.
#include "base/error.h"
#include "base/sjis.h"
#include "settings/install_set.h"
#include "settings/paths.h"

namespace koru {
namespace {

using platform::RegistryRoot;

constexpr const char* kSoftware = "Software";

// RegistryKey without its one leading backslash.
std::string GamePath(const std::string& registry_key) {
  return registry_key.starts_with('\\') ? registry_key.substr(1) : registry_key;
}

// Software\path.
std::string BelowSoftware(const std::string& path) {
  std::string full = kSoftware;
  full += '\\';
  full += path;
  return full;
}

// Deletes Software\path with everything below it; false when Software cannot be opened.
bool DeleteBelowSoftware(platform::Registry& registry, const std::string& path) {
  if (!registry.OpenKey(RegistryRoot::kCurrentUser, kSoftware, false, false)) return false;
  std::string parent = path;
  StripLastPathPart(parent);
  const std::string whole = ExcludeTrailingBackslash(path);
  const size_t cut = FindLastChar(whole, '\\');
  const std::string name = cut == std::string::npos ? whole : whole.substr(cut + 1);
  registry.DeleteKeyTree(RegistryRoot::kCurrentUser,
                         parent.empty() ? std::string(kSoftware) : BelowSoftware(parent), name);
  return true;
}

bool IsEmptyKey(platform::Registry& registry, const std::string& path) {
  const auto key = registry.OpenKey(RegistryRoot::kCurrentUser, BelowSoftware(path),
                                    /*create=*/false, /*writable=*/false);
  return key && key->SubkeyCount() == 0 && key->ValueCount() == 0;
}

}  // namespace

std::string TKoruInstallSet::ReadRegValue(platform::Env& env, const std::string& name,
                                          const std::string& default_value) const {
  if (RegistryKey.empty()) return default_value;
  const auto key =
      env.registry().OpenKey(RegistryRoot::kCurrentUser, BelowSoftware(GamePath(RegistryKey)),
                             /*create=*/false, /*writable=*/false);
  if (!key) return default_value;
  const auto value = key->ReadValue(name);
  if (!value) return default_value;
  if (value->type == platform::RegistryValueType::kOther) {
    throw KoruError(Format(kRegValueTypeError, name.c_str()));
  }
  return value->data;
}

void TKoruInstallSet::WriteRegValue(platform::Env& env, const std::string& name,
                                    const std::string& value) const {
  if (RegistryKey.empty()) return;
  const auto key =
      env.registry().OpenKey(RegistryRoot::kCurrentUser, BelowSoftware(GamePath(RegistryKey)),
                             /*create=*/true, /*writable=*/true);
  // A key that cannot be created means the value was not set: say so.
  if (!key || !key->WriteString(name, value)) {
    throw KoruError(Format(kRegValueWriteError, name.c_str()));
  }
}

void TKoruInstallSet::DeleteRegistryKey(platform::Env& env) const {
  if (RegistryKey.empty()) return;
  std::string path = GamePath(RegistryKey);
  // A key of backslashes only would name Software itself.
  if (path.find_first_not_of('\\') == std::string::npos) return;
  platform::Registry& registry = env.registry();
  if (!DeleteBelowSoftware(registry, path)) return;
  StripLastPathPart(path);
  while (!path.empty()) {
    if (!IsEmptyKey(registry, path)) return;
    if (!DeleteBelowSoftware(registry, path)) return;
    StripLastPathPart(path);
  }
}

bool TKoruInstallSet::IsInstalled(platform::Env& env) const {
  const std::string folder = ReadRegValue(env, kRegInstallPath, "");
  return !folder.empty() && env.files().FileExists(AddBackslash(folder) + ExeFile);
}

}  // namespace koru
