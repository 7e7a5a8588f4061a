// The recorded regions as the library reads them (after its repair of a cut-off
// recording): start and stop in seconds from the event list, and, asked per
// channel of the numeric list, its samples inside a region (trigger-data table).
#pragma once

#include <cstdint>
#include <vector>

#include "Catalog.h"

namespace kvtool {

struct Region {
  double start = 0;  // seconds
  double stop = 0;   // seconds, exclusive
};

// In time order; throws ToolError on a library failure.
std::vector<Region> LoadRegions();

struct RegionSamples {
  int64_t count = 0;      // samples of the channel inside the region
  double firstTime = 0;   // time stamp of the first of them, 0 when there is none
};

// A channel of the numeric list (listPosition >= 0) inside region `region`.
RegionSamples SamplesInRegion(const ChannelEntry& channel, int32_t region);

}  // namespace kvtool
