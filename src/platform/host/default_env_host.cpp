#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "base/error.h"
#include "platform/host/host_env.h"

namespace koru::platform {
namespace {

std::string DefaultRoot() {
  if (const char* root = std::getenv("KORU_HOST_ROOT"); root != nullptr && *root != '\0') {
    return root;
  }
  const char* home = std::getenv("HOME");
  const std::string base = home != nullptr && *home != '\0' ? home : ".";
  // Created level by level; HostEnv makes the last one.
  for (const char* part : {"/.local", "/.local/share", "/.local/share/korusetup"}) {
    ::mkdir((base + part).c_str(), 0777);
  }
  return base + "/.local/share/korusetup/root";
}

}  // namespace

Env& DefaultEnv() {
  static HostEnv* env = [] {
    static HostEnv host(DefaultRoot());
    try {
      host.KeepRegistryIn(host.root() + "/registry.txt");
    } catch (const KoruError&) {
      // A damaged registry file is left alone (and replaced on exit) rather than
      // keeping every command from starting.
    }
    return &host;
  }();
  return *env;
}

}  // namespace koru::platform
