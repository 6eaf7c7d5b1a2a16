#include <cstdlib>
#include <string>

#include "platform/host/host_env.h"

namespace koru::platform {
namespace {

std::string DefaultRoot() {
  if (const char* root = std::getenv("KORU_HOST_ROOT"); root != nullptr && *root != '\0') {
    return root;
  }
  const char* home = std::getenv("HOME");
  const std::string base = home != nullptr && *home != '\0' ? home : ".";
  return base + "/.local/share/korusetup/root";
}

}  // namespace

Env& DefaultEnv() {
  static HostEnv* env = [] {
    // Nothing is made in the user's home until a drive path, a mutex or a changed
    // registry needs it.
    static HostEnv host(DefaultRoot(), HostUserName(), /*make_root_on_use=*/true);
    host.KeepRegistryIn(host.root() + "/registry.txt");
    return &host;
  }();
  return *env;
}

}  // namespace koru::platform
