// One channel of a recording read to its end, window by window, as a health check
// does it: how many of the samples the library counts could be read, and the
// library's status and message when a window failed.
#pragma once

#include <cstdint>
#include <string>

#include "Catalog.h"

namespace kvtool {

struct ChannelHealth {
  const ChannelEntry* channel = nullptr;
  int64_t expected = 0;  // the channel's sample count
  int64_t read = 0;      // samples of the windows read before a failure
  int status = 0;        // the library's status of the failed window, 0 when none failed
  std::string message;
  bool Complete() const { return status == 0 && read == expected; }
};

// Reads samples [0, sampleCount) of channel in windows of windowSamples; never
// throws on a library failure (it comes back in the result).
ChannelHealth ReadChannelToEnd(const ChannelEntry& channel, int64_t windowSamples = 65536);

}  // namespace kvtool
