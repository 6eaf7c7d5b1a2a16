#pragma once

// A file that is written completely beside its target and only then put in its place, so
// that the target is never seen half-written: a failure (a full disc, a file in use)
// leaves the earlier file as it was, and no temporary file behind.
//
//   ReplacementFile file(env, folder + "install.dat");
//   settings.SaveToStream(file.Create());
//   if (!file.PutInPlace()) throw ...;  // the old install.dat is still whole

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/env.h"

namespace koru {

// The most temporary names tried beside one target before giving up: each one taken is
// the leftover of an interrupted run, so a few are plenty.
inline constexpr int kMaxReplacementNames = 100;

class ReplacementFile {
 public:
  // Chooses a free temporary name in target's folder ("~name.tmp", "~name.2.tmp", ...).
  // Creates nothing yet.
  ReplacementFile(platform::Env& env, std::string target);
  // Closes and removes the temporary file unless it was put in place.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file (empty, others shut out) and returns it for writing.
  // Throws the file layer's KoruError, and KoruError(kStreamWriteError) when every
  // temporary name is taken.
  platform::File& Create();
  // Copies source into the temporary file instead (the system's file copy); false on
  // failure. REQUIRES: Create was not called.
  platform::FileStatus CopyFrom(const std::string& source);
  // Flushes and closes the temporary file, gives it dos_time when set, and moves it over
  // the target. False when the move is refused; the target is then untouched and the
  // temporary file removed. Flushing throws the file layer's KoruError.
  platform::FileStatus PutInPlace(std::optional<uint32_t> dos_time = std::nullopt);

  const std::string& target() const { return target_; }
  // Empty when no free name was found.
  const std::string& temporary() const { return temporary_; }

 private:
  void Discard();

  platform::Env& env_;
  std::string target_;
  std::string temporary_;
  std::unique_ptr<platform::File> file_;
  bool made_ = false;
};

}  // namespace koru
