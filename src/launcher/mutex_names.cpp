#include "launcher/mutex_names.h"

#include "base/sjis.h"
#include "settings/paths.h"

namespace koru {

std::string RunningGameMutexName(std::string_view install_path) {
  return ReplaceChar(AddBackslash(AsciiUpper(install_path)), '\\', '-');
}

}  // namespace koru
