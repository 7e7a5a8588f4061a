// kvtool events FILE [--json]: the event list (position, type by name and code,
// time, text) and the recorded regions (start, stop, duration, and the samples
// each region holds, per channel of the numeric list and summed per kind).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Catalog.h"
#include "Command.h"
#include "KVDataReaderLib.h"
#include "Output.h"
#include "Recording.h"
#include "Regions.h"
#include "ToolError.h"

namespace kvtool {
namespace {

struct EventsOptions {
  std::string file;
  bool json = false;
};

const char* EventTypeName(int32_t type) {
  switch (type) {
    case 1: return "storing started";
    case 2: return "storing stopped";
    case 3: return "data trigger";
    case 11: return "video start";
    case 12: return "video stop";
    case 20: return "keyboard";
    case 21: return "notice";
    case 22: return "voice";
    case 24: return "module";
    case 25: return "alarm";
    case 26: return "alarm level";
    case 27: return "alarm";
    default: return "other";
  }
}

// A region's length for reading (to the nanosecond: the difference of two stamps
// carries rounding noise in its last digits); the JSON form keeps it exact.
std::string Duration(const Region& region) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", region.stop - region.start);
  return text;
}

struct RegionRow {
  Region region;
  // Per channel of the numeric list (catalogue order): its samples in the region.
  std::vector<int64_t> samples;
  int64_t perKind[3] = {};  // sync, async, single
};

int RunEvents(const EventsOptions& options) {
  Recording recording(options.file);
  const Catalog catalog = Catalog::Load();
  const int32_t count = KVGetEventListCount();
  if (count < 0) CheckStatus(KVError, "counting the events");
  std::vector<KVEvent> events(static_cast<size_t>(count) + 1);
  if (count > 0) CheckStatus(KVGetEventList(events.data()), "reading the events");
  events.resize(static_cast<size_t>(count));

  // The trigger table holds the regions the library reads; a region the event
  // pairs give beyond it has no sample counts.
  const int32_t triggers = std::max(KVGetTriggerDataTriggerCountF(), 0);
  std::vector<const ChannelEntry*> listed;
  for (const ChannelEntry& channel : catalog.Channels()) {
    if (channel.listPosition >= 0) listed.push_back(&channel);
  }
  std::vector<RegionRow> rows;
  for (const Region& region : LoadRegions()) {
    RegionRow row{region, {}, {}};
    const auto r = static_cast<int32_t>(rows.size());
    for (const ChannelEntry* channel : listed) {
      const int64_t samples = r < triggers ? SamplesInRegion(*channel, r).count : 0;
      row.samples.push_back(samples);
      row.perKind[static_cast<int>(channel->kind)] += samples;
    }
    rows.push_back(std::move(row));
  }

  if (options.json) {
    nlohmann::json eventList = nlohmann::json::array();
    for (size_t i = 0; i < events.size(); ++i) {
      const KVEvent& event = events[i];
      eventList.push_back({{"position", i},
                           {"type", EventTypeName(event.event_type)},
                           {"code", event.event_type},
                           {"time", JsonNumber(event.time_stamp)},
                           {"text", std::string(event.event_text, strnlen(event.event_text, sizeof event.event_text))}});
    }
    nlohmann::json regionList = nlohmann::json::array();
    for (size_t r = 0; r < rows.size(); ++r) {
      const RegionRow& row = rows[r];
      nlohmann::json channels = nlohmann::json::array();
      for (size_t c = 0; c < listed.size(); ++c) {
        channels.push_back({{"index", listed[c]->index},
                            {"name", listed[c]->name},
                            {"kind", ChannelKindName(listed[c]->kind)},
                            {"samples", row.samples[c]}});
      }
      regionList.push_back({{"position", r},
                            {"start", JsonNumber(row.region.start)},
                            {"stop", JsonNumber(row.region.stop)},
                            {"duration", JsonNumber(row.region.stop - row.region.start)},
                            {"samples", {{"sync", row.perKind[0]}, {"async", row.perKind[1]}}},
                            {"channels", channels}});
    }
    PrintJson({{"events", eventList}, {"regions", regionList}});
    return kExitOk;
  }
  std::printf("events (%d)\n%5s  %-16s %4s  %14s  %s\n", count, "#", "type", "code", "time (s)", "text");
  for (size_t i = 0; i < events.size(); ++i) {
    const KVEvent& event = events[i];
    std::printf("%5zu  %-16s %4d  %14s  %.*s\n", i, EventTypeName(event.event_type), event.event_type,
                FormatDouble(event.time_stamp).c_str(), static_cast<int>(sizeof event.event_text), event.event_text);
  }
  std::printf("\nregions (%zu)\n%5s  %14s  %14s  %14s  %14s  %14s\n", rows.size(), "#", "start (s)", "stop (s)",
              "duration (s)", "sync samples", "async samples");
  for (size_t r = 0; r < rows.size(); ++r) {
    const RegionRow& row = rows[r];
    std::printf("%5zu  %14s  %14s  %14s  %14lld  %14lld\n", r, FormatDouble(row.region.start).c_str(),
                FormatDouble(row.region.stop).c_str(), Duration(row.region).c_str(),
                static_cast<long long>(row.perKind[0]), static_cast<long long>(row.perKind[1]));
  }
  return kExitOk;
}

}  // namespace

void AddEventsCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<EventsOptions>();
  CLI::App* command = app.add_subcommand(
      "events", "The event list (type name and code, time, text) and the recorded regions with their samples");
  command->add_option("FILE", options->file, "The recording")->required();
  command->add_flag("--json", options->json,
                    "Print {\"events\": [...], \"regions\": [...]}; each region with its samples per kind and channel");
  command->callback([options, &exitStatus] { exitStatus = RunEvents(*options); });
}

}  // namespace kvtool
