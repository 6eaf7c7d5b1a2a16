#include "platform/host/host_env.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/error.h"
#include "base/sjis.h"

namespace koru::platform {

HostEnv::HostEnv(std::string root, std::string user_name, bool make_root_on_use)
    : files_(std::move(root), make_root_on_use),
      system_(files_, registry_, std::move(user_name)),
      shell_(files_) {}

HostEnv::~HostEnv() {
  if (registry_file_.empty() || registry_.Serialize() == registry_as_loaded_) return;
  files_.MakeRoot();
  SaveRegistry(registry_file_);
}

MemoryRegistry& HostEnv::registry() {
  if (!registry_error_.empty()) throw KoruError(registry_error_);
  return registry_;
}

bool HostEnv::LoadRegistry(const std::string& native_path) {
  std::ifstream in(native_path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return false;
  registry_.Deserialize(text.str());
  return true;
}

bool HostEnv::SaveRegistry(const std::string& native_path) const {
  const std::string temporary = native_path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << registry_.Serialize();
    out.flush();
    if (!out) return false;
  }
  return std::rename(temporary.c_str(), native_path.c_str()) == 0;
}

void HostEnv::KeepRegistryIn(const std::string& native_path) {
  try {
    std::ifstream probe(native_path);
    if (probe) {
      probe.close();
      LoadRegistry(native_path);
    }
  } catch (const KoruError& error) {
    registry_error_ = Utf8ToSjis(native_path) + ": " + error.what();
    return;
  }
  registry_file_ = native_path;
  registry_as_loaded_ = registry_.Serialize();
}

}  // namespace koru::platform
