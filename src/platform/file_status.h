#pragma once

// The outcome of a file operation: success, or why it failed. A caller that only needs
// to know whether it worked tests it like a bool; one that must tell a file in use from
// one that is gone asks failure(), and messages shown to the user add reason().

#include <string>
#include <utility>

namespace koru::platform {

enum class FileFailure {
  kNone,
  kNotFound,       // the file or a folder on its path does not exist
  kInUse,          // another program holds it open
  kAccessDenied,   // read-only, protected, or a folder where a file was meant
  kAlreadyExists,  // the target exists and is not to be replaced
  kDiskFull,
  kOther,
};

class FileStatus {
 public:
  // true: success; false: a failure of no known kind.
  FileStatus(bool ok) : failure_(ok ? FileFailure::kNone : FileFailure::kOther) {}  // NOLINT
  FileStatus(FileFailure failure, std::string reason = std::string())
      : failure_(failure), reason_(std::move(reason)) {}

  explicit operator bool() const { return failure_ == FileFailure::kNone; }
  bool ok() const { return failure_ == FileFailure::kNone; }
  FileFailure failure() const { return failure_; }
  // The system's own words for the failure (Shift-JIS), or empty.
  const std::string& reason() const { return reason_; }

 private:
  FileFailure failure_;
  std::string reason_;
};

}  // namespace koru::platform
