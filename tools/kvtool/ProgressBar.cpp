// Drawing of the progress line with a carriage return; cleared with spaces so the
// shell prompt or a following message starts on a clean line.
#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace kvtool {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
constexpr int kLineWidth = 79;

}  // namespace

ProgressBar::ProgressBar(int64_t totalBytes, bool wanted)
    : active_(wanted && isatty(STDERR_FILENO) == 1),
      total_(std::max<int64_t>(totalBytes, 1)),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Advance(int64_t bytes) {
  done_ += bytes;
  if (!active_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ >= kRedrawInterval) Draw(now);
}

void ProgressBar::Draw(std::chrono::steady_clock::time_point now) {
  lastDraw_ = now;
  const double fraction = std::min(1.0, static_cast<double>(done_) / static_cast<double>(total_));
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
  const double left = rate > 0 ? static_cast<double>(total_ - std::min(done_, total_)) / rate : 0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  char bar[kBarWidth + 1];
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kBarWidth] = 0;
  const auto leftSeconds = static_cast<long>(left + 0.5);
  std::fprintf(stderr, "\r[%s] %5.1f%%  %8.1f MB/s  %3ld:%02ld left ", bar, 100 * fraction, rate / 1e6,
               leftSeconds / 60, leftSeconds % 60);
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace kvtool
