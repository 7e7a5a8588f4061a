// Reads through SampleWindows, so the check of a channel of any length holds one
// window in memory.
#include "ChannelCheck.h"

#include "SampleWindows.h"
#include "ToolError.h"

namespace kvtool {

ChannelHealth ReadChannelToEnd(const ChannelEntry& channel, int64_t windowSamples) {
  ChannelHealth health;
  health.channel = &channel;
  health.expected = channel.sampleCount;
  if (channel.sampleCount < 0) {
    health.status = 1;
    health.message = "the library counts " + std::to_string(channel.sampleCount) + " samples";
    return health;
  }
  SampleWindows windows(channel, {0, channel.sampleCount}, false, windowSamples);
  SampleWindow window;
  try {
    while (windows.Next(window)) {
    }
  } catch (const ToolError& error) {
    // A window kvtool itself cannot take (a text index beyond int32) counts as a
    // general failure; its message says why.
    health.status = error.LibraryStatusCode() != 0 ? error.LibraryStatusCode() : 1;
    health.message = error.what();
  }
  health.read = windows.Delivered();
  return health;
}

}  // namespace kvtool
