// The progress of a long command on standard error: percent done, MB/s and the
// time left, redrawn in place at most ten times a second. It draws only when
// standard error is a terminal, so logs and pipes never see it.
#pragma once

#include <chrono>
#include <cstdint>

namespace kvtool {

class ProgressBar {
 public:
  // totalBytes of work; wanted false (--quiet) keeps it silent.
  ProgressBar(int64_t totalBytes, bool wanted);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Advance(int64_t bytes);
  // Clears the bar's line (also on destruction).
  void Finish();

 private:
  void Draw(std::chrono::steady_clock::time_point now);

  bool active_;
  bool drawn_ = false;
  int64_t total_;
  int64_t done_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kvtool
