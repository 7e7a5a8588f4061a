// Reads a range of a channel's samples window by window, so that a command's
// memory stays the same for a recording of any size. Numeric channels give doubles
// (scaled, or the stored values converted exactly with raw); complex channels give
// real and imaginary parts side by side; text channels give texts; binary channels
// give their payloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Catalog.h"
#include "TimeWindow.h"

namespace kvtool {

// One window of samples, first..first+count-1 of the channel.
struct SampleWindow {
  int64_t first = 0;
  int64_t count = 0;
  std::vector<double> time;    // count time stamps
  // Numeric: count x arraySize values, sample after sample. Complex: count x 2
  // (re, im). Raw reads of 64-bit integers beyond 2^53 are exact in rawText.
  std::vector<double> values;
  // Text channels: one text per sample. Binary channels: one payload per sample.
  // Raw reads: each stored value printed exactly ("-17", "4294967295").
  std::vector<std::string> texts;
};

class SampleWindows {
 public:
  // Samples range of channel, at most windowSamples per window (at least 1).
  SampleWindows(const ChannelEntry& channel, SampleRange range, bool raw = false, int64_t windowSamples = 65536);

  // Fills the next window; false when the range is read. Throws ToolError on a
  // library failure (the window's status and message).
  bool Next(SampleWindow& window);

  // Samples delivered so far.
  int64_t Delivered() const { return next_ - range_.first; }

 private:
  const ChannelEntry& channel_;
  SampleRange range_;
  bool raw_;
  int64_t windowSamples_;
  int64_t next_;
  std::vector<uint8_t> rawBytes_;
};

}  // namespace kvtool
