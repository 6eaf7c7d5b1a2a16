#include "platform/win32/win32_env.h"

namespace koru::platform {

Env& DefaultEnv() {
  static Win32Env env;
  return env;
}

}  // namespace koru::platform
