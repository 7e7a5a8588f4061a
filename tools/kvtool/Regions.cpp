// Regions from the event list: each stop closes the region opened by the start
// before it, the way the library pairs them (a stop without a new start repeats
// the previous start; a start after the last stop opens nothing).
#include "Regions.h"

#include <string>

#include "KVDataReaderLib.h"
#include "ToolError.h"

namespace kvtool {
namespace {

constexpr int32_t kStartEvent = 1;
constexpr int32_t kStopEvent = 2;

}  // namespace

std::vector<Region> LoadRegions() {
  const int32_t count = KVGetEventListCount();
  if (count < 0) CheckStatus(KVError, "counting the events");
  std::vector<KVEvent> events(static_cast<size_t>(count) + 1);
  if (count > 0) CheckStatus(KVGetEventList(events.data()), "reading the events");
  std::vector<Region> regions;
  double start = 0;
  for (int32_t i = 0; i < count; ++i) {
    const KVEvent& event = events[static_cast<size_t>(i)];
    if (event.event_type == kStartEvent) start = event.time_stamp;
    if (event.event_type == kStopEvent) regions.push_back({start, event.time_stamp});
  }
  return regions;
}

RegionSamples SamplesInRegion(const ChannelEntry& channel, int32_t region) {
  char xUnit[16], yUnit[32];
  double xStart = 0, count = 0, rate = 0;
  int32_t type = 0;
  CheckStatus(KVGetTriggerDataChannelInfoF(region, channel.listPosition, xUnit, sizeof xUnit, yUnit, sizeof yUnit,
                                           &xStart, &count, &rate, &type),
              "reading region " + std::to_string(region) + " of " + channel.name);
  return {static_cast<int64_t>(count), xStart};
}

}  // namespace kvtool
