#include "tools/cli.h"

namespace koru::tools {

const std::vector<std::string>& ArchiveCommandNames() {
  static const std::vector<std::string> names = {"pack",   "list",  "extract", "cat",
                                                 "verify", "merge", "sfx",     "make-disc"};
  return names;
}

int RunArchiveCommand(const std::string& command, const std::vector<std::string>& args,
                      CommandContext& context) {
  context.err << "vfkit " << command << ": not built yet\n";
  return kExitError;
}

}  // namespace koru::tools
