// Time windows on the library's time-stamp scale: the sample positions of a
// channel whose time stamps t satisfy from <= t < to (half-open, so consecutive
// windows never repeat a sample). Synchronous channels of the numeric list get
// their positions from their rate and the regions; the others by a binary search
// over their time stamps. Every boundary is confirmed against the time stamps the
// library gives, so a window holds exactly the samples whose stamps lie in it.
#pragma once

#include <cstdint>
#include <vector>

#include "Catalog.h"
#include "Regions.h"

namespace kvtool {

struct SampleRange {
  int64_t first = 0;
  int64_t count = 0;
};

// The samples of channel with from <= t < to; throws ToolError (kExitBadInput)
// when from >= to or either is not a finite number.
SampleRange WindowRange(const ChannelEntry& channel, const std::vector<Region>& regions, double from, double to);

// The time stamp of sample `position` of channel (any list); throws ToolError on a
// library failure.
double SampleTime(const ChannelEntry& channel, int64_t position);

}  // namespace kvtool
