#pragma once

// A one-line progress bar on stderr for the long archive commands. It draws only when
// stderr is a terminal, so logs and pipes stay free of carriage returns.

#include <cstdint>
#include <iosfwd>
#include <string>

namespace koru::tools {

class ProgressBar {
 public:
  // label: a short word shown before the bar ("pack", "verify"). enabled: draw at all.
  ProgressBar(std::ostream& err, bool enabled, std::string label);
  // Clears the line when something was drawn.
  ~ProgressBar();

  // done of total units (entries or bytes); redraws only when the shown tenth of a
  // percent changes, so a run draws at most about a thousand times. total <= 0 shows an
  // empty bar.
  void Update(int64_t done, int64_t total);
  // Clears the bar's line, so that ordinary output can follow.
  void Finish();

  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

 private:
  std::ostream& err_;
  bool enabled_;
  std::string label_;
  bool drawn_ = false;
  int last_permille_ = -1;
  int64_t last_done_ = -1;
};

}  // namespace koru::tools
