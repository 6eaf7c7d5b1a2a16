#include "tools/cli.h"

namespace koru::tools {

int RunSettingsCommand(const std::vector<std::string>& args, CommandContext& context) {
  context.err << "vfkit settings: not built yet\n";
  return kExitError;
}

}  // namespace koru::tools
