#include "wizard/file_operation.h"

namespace koru {
namespace {

// The shell's FOF_* bit of each option, in the order of TFileOpFlag; 0 = not passed
// (the name mappings are never asked for, so their handle would leak).
constexpr uint16_t kShellFlags[] = {
    0x0001,  // fofMultiDestFiles
    0x0002,  // fofConfirmMouse
    0x0004,  // fofSilent
    0x0008,  // fofRenameOnCollision
    0x0010,  // fofNoConfirmation
    0x0000,  // fofWantMappingHandle
    0x0040,  // fofAllowUndo
    0x0080,  // fofFilesOnly
    0x0100,  // fofSimpleProgress
    0x0200,  // fofNoConfirmMkdir
    0x0400,  // fofNoErrorUI
};

}  // namespace

uint16_t TFileOperation::FlagWord(TFileOpFlags options) {
  uint16_t word = 0;
  for (int flag = 0; flag <= fofNoErrorUI; ++flag) {
    if (options.Contains(static_cast<TFileOpFlag>(flag))) word |= kShellFlags[flag];
  }
  return word;
}

bool TFileOperation::Execute(platform::FileOperationCode code, const std::vector<std::string>& from,
                             const std::vector<std::string>& to) {
  platform::FileOperationRequest request;
  request.code = code;
  request.from = from;
  request.to = to;
  request.flags = FlagWord(Options);
  if (Options.Contains(fofSimpleProgress)) request.progress_title = Title;
  return env_.shell().FileOperation(request);
}

}  // namespace koru
