#include "launcher/self_copy.h"

#include "base/error.h"
#include "settings/file_routines.h"
#include "settings/paths.h"

namespace koru {
namespace {

constexpr int kCopyAttempts = 100;

}  // namespace

std::optional<LaunchRequest> CopySelfToTemp(platform::Env& env) {
  const std::string temp = AddBackslash(env.system().TempFolder());
  const std::string executable = env.system().ExecutablePath();
  LaunchRequest request;
  request.file = temp + "~kinstall.exe";
  request.parameters = "\"" + ExtractFilePath(executable) + "\"";
  ClearReadOnly(env, request.file);
  for (int i = 0; i < kCopyAttempts; ++i) {
    if (env.files().CopyFileTo(executable, request.file, /*fail_if_exists=*/false)) {
      return request;
    }
    request.file = temp + Format("~kinstall%d.exe", i);
    ClearReadOnly(env, request.file);
  }
  return std::nullopt;
}

}  // namespace koru
