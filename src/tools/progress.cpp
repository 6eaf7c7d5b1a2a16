#include "tools/progress.h"

#include <ostream>

namespace koru::tools {
namespace {

constexpr int kBarWidth = 30;

}  // namespace

ProgressBar::ProgressBar(std::ostream& err, bool enabled, std::string label)
    : err_(err), enabled_(enabled), label_(std::move(label)) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(int64_t done, int64_t total) {
  if (!enabled_) return;
  if (done < 0) done = 0;
  if (total > 0 && done > total) done = total;
  // Per mille in 64 bits: done * 1000 cannot overflow for any count a file can hold.
  const int permille = total > 0 ? static_cast<int>(done * 1000 / total) : 0;
  // <chrono> cannot be compiled for the Shift-JIS execution character set, so the bar
  // is throttled by its own progress rather than by time.
  if (drawn_ && permille == last_permille_ && (total > 1000 || done == last_done_)) return;
  last_permille_ = permille;
  last_done_ = done;
  const int filled = permille * kBarWidth / 1000;
  std::string line = "\r" + label_ + " [";
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(kBarWidth - filled), '-');
  line += "] " + std::to_string(permille / 10) + "% " + std::to_string(done) + "/" +
          std::to_string(total > 0 ? total : 0) + "\x1b[K";
  err_ << line << std::flush;
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  err_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace koru::tools
