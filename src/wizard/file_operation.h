#pragma once

// The shell's file operations (copy, move, delete, rename of file lists) with a set of
// option flags, through the Env's shell.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/shell.h"

namespace koru {

enum TFileOpFlag : int {
  fofMultiDestFiles = 0,
  fofConfirmMouse,
  fofSilent,
  fofRenameOnCollision,
  fofNoConfirmation,
  fofWantMappingHandle,
  fofAllowUndo,
  fofFilesOnly,
  fofSimpleProgress,
  fofNoConfirmMkdir,
  fofNoErrorUI,
};

// A set of TFileOpFlag: bit n stands for flag n.
class TFileOpFlags {
 public:
  TFileOpFlags() = default;
  TFileOpFlags(std::initializer_list<TFileOpFlag> flags) {
    for (TFileOpFlag flag : flags) Include(flag);
  }
  void Include(TFileOpFlag flag) { bits_ |= 1u << flag; }
  void Exclude(TFileOpFlag flag) { bits_ &= ~(1u << flag); }
  bool Contains(TFileOpFlag flag) const { return (bits_ & (1u << flag)) != 0; }
  bool operator==(const TFileOpFlags&) const = default;

 private:
  uint32_t bits_ = 0;
};

class TFileOperation {
 public:
  explicit TFileOperation(platform::Env& env) : env_(env) {}

  std::vector<std::string> FromFiles;
  std::vector<std::string> ToFiles;
  TFileOpFlags Options{fofAllowUndo, fofFilesOnly};
  std::string Title;  // the progress title, shown only with fofSimpleProgress

  // Runs the operation on the two lists. Returns true when the user aborted any part.
  bool Execute(platform::FileOperationCode code, const std::vector<std::string>& from,
               const std::vector<std::string>& to);
  // The same on FromFiles and ToFiles.
  bool Execute(platform::FileOperationCode code) { return Execute(code, FromFiles, ToFiles); }

  // The shell's flag word for a set of options (fofWantMappingHandle is never passed).
  static uint16_t FlagWord(TFileOpFlags options);

 private:
  platform::Env& env_;
};

}  // namespace koru
