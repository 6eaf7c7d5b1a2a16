#include "tools/cli.h"

namespace koru::tools {

int RunImageCommand(const std::vector<std::string>& args, CommandContext& context) {
  context.err << "vfkit image: not built yet\n";
  return kExitError;
}

}  // namespace koru::tools
