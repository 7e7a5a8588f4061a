// Sample positions of time windows. A synchronous channel's samples lie 1 / rate
// apart inside each region, so its position for a time is computed and then only
// confirmed against the library's stamps; the others are searched.
#include "TimeWindow.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "KVDataReaderLib.h"
#include "ToolError.h"

namespace kvtool {
namespace {

std::string Seconds(double seconds) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", seconds);
  return text;
}

// The first position in [low, high) whose time stamp is at or after t (high when none).
int64_t SearchAtOrAfter(const ChannelEntry& channel, double t, int64_t low, int64_t high) {
  while (low < high) {
    const int64_t middle = low + (high - low) / 2;
    if (SampleTime(channel, middle) < t) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

// The same for a synchronous channel of the numeric list, region by region.
int64_t SyncAtOrAfter(const ChannelEntry& channel, int32_t regionCount, double t) {
  int64_t base = 0;
  for (int32_t region = 0; region < regionCount; ++region) {
    const RegionSamples inRegion = SamplesInRegion(channel, region);
    if (inRegion.count <= 0) continue;
    if (SampleTime(channel, base + inRegion.count - 1) < t) {
      base += inRegion.count;
      continue;
    }
    const double estimate = std::ceil((t - inRegion.firstTime) * channel.rate);
    int64_t i = estimate <= 0 ? 0 : estimate >= double(inRegion.count) ? inRegion.count : int64_t(estimate);
    // Rounding of the estimate is put right against the stamps themselves.
    while (i > 0 && SampleTime(channel, base + i - 1) >= t) --i;
    while (i < inRegion.count && SampleTime(channel, base + i) < t) ++i;
    return base + i;
  }
  return base;
}

}  // namespace

double SampleTime(const ChannelEntry& channel, int64_t position) {
  double time = 0;
  KVStatus status = KVOk;
  switch (channel.list) {
    case ChannelList::kNumeric: {
      std::vector<double> values(static_cast<size_t>(channel.arraySize));
      status = KVGetScaledSamples(channel.index, position, 1, values.data(), &time);
      break;
    }
    case ChannelList::kComplex: {
      KVComplex value{};
      status = KVGetComplexScaledSamples(channel.index, position, 1, &value, &time);
      break;
    }
    case ChannelList::kBinary: {
      KVBinarySample record{};
      status = KVGetBinRecSamples(channel.index, position, 1, &record, &time);
      break;
    }
    case ChannelList::kText: {
      if (position > INT32_MAX) throw ToolError(kExitBadInput, "text value " + std::to_string(position) + " is out of reach");
      std::vector<char> text(static_cast<size_t>(channel.arraySize));
      status = KVGetTextValues(channel.index, static_cast<int32_t>(position), 1, text.data(), &time);
      break;
    }
  }
  CheckStatus(status, "reading the time stamp of sample " + std::to_string(position) + " of " + channel.name);
  return time;
}

SampleRange WindowRange(const ChannelEntry& channel, const std::vector<Region>& regions, double from, double to) {
  if (!std::isfinite(from) || !std::isfinite(to) || !(from < to)) {
    throw ToolError(kExitBadInput, "the window --from " + Seconds(from) + " --to " + Seconds(to) +
                                       " is empty: give finite seconds with from < to");
  }
  if (regions.empty() || to <= regions.front().start || from >= regions.back().stop) {
    const std::string span = regions.empty() ? std::string("no recorded region")
                                             : "regions from " + Seconds(regions.front().start) + " s to " +
                                                   Seconds(regions.back().stop) + " s";
    throw ToolError(kExitBadInput,
                    "the window [" + Seconds(from) + " s, " + Seconds(to) + " s) lies outside the recording (" + span + ")");
  }
  int64_t first = 0, end = 0;
  if (channel.kind == ChannelKind::kSync && channel.listPosition >= 0 && channel.rate > 0) {
    const auto regionCount = static_cast<int32_t>(regions.size());
    first = SyncAtOrAfter(channel, regionCount, from);
    end = SyncAtOrAfter(channel, regionCount, to);
  } else {
    first = SearchAtOrAfter(channel, from, 0, channel.sampleCount);
    end = SearchAtOrAfter(channel, to, first, channel.sampleCount);
  }
  return {first, end > first ? end - first : 0};
}

}  // namespace kvtool
