// kvtool check FILE [--json]: the health report for a recording that came off a
// machine after a power loss: the regions its events store beside those the library
// reads after its repair, every channel read to its end, the setup and event
// streams copied; the exit status is the verdict.
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "Catalog.h"
#include "ChannelCheck.h"
#include "CheckCommand.h"
#include "Command.h"
#include "Output.h"
#include "Recording.h"
#include "RegionComparison.h"
#include "Regions.h"
#include "SetupProperty.h"
#include "StoredEvents.h"
#include "StreamCopy.h"
#include "ToolError.h"

namespace kvtool {
namespace {

constexpr char kCheckHelp[] =
    "Health report for a recording, e.g. one that came off a machine after a power loss: the\n"
    "regions as its events store them beside the regions the library reads after repairing a\n"
    "cut-off recording (kept, moved, closed, dropped, added), every channel read to its end, the\n"
    "setup and event streams.\n"
    "Exit status: 0 sound; 1 opens only after repair, or with damaged data (a channel or stream\n"
    "that fails or ends early); 2 does not open (the library's status and message are printed),\n"
    "or a bad command line.";

struct CheckOptions {
  std::string file;
  bool json = false;
};

struct CheckReport {
  StreamCopy setup;
  StreamCopy events;
  std::optional<int32_t> blockSize;
  std::vector<StoredEvent> storedEvents;
  std::vector<RegionRow> regions;
  std::vector<ChannelHealth> channels;
  int verdict = kCheckSound;
};

// Stored regions in seconds as the library times its events: position / sample rate.
std::vector<StoredSpan> StoredSpans(const std::vector<StoredRegion>& regions, double sampleRate) {
  std::vector<StoredSpan> spans;
  for (const StoredRegion& region : regions) {
    StoredSpan span{static_cast<double>(region.start) / sampleRate, std::nullopt};
    if (region.stop) span.stop = static_cast<double>(*region.stop) / sampleRate;
    spans.push_back(span);
  }
  return spans;
}

CheckReport Examine(const Recording& recording, const Catalog& catalog) {
  CheckReport report;
  report.setup = CopyFirstStream({"SETUP___", "SETUP__", "SETUP_", "SETUP"});
  report.events = CopyFirstStream({"EVENTS__", "EVENTS_", "EVENTS"});
  // The block size turns the stored events' block numbers into positions. It comes
  // from the setup, where the library reads it too; deriving it from the repaired
  // event times would need an event the repair left alone at a block other than 0,
  // which a recording need not have.
  if (report.setup.Readable()) {
    const std::string_view text(reinterpret_cast<const char*>(report.setup.bytes.data()), report.setup.bytes.size());
    report.blockSize = SetupBlockSize(text);
  }
  report.storedEvents = ScanStoredEvents(report.events.bytes);
  const double rate = recording.SampleRate();
  const std::vector<Region> repaired = LoadRegions();
  if (report.blockSize && rate > 0) {
    const std::vector<StoredSpan> stored = StoredSpans(PairStoredRegions(report.storedEvents, *report.blockSize), rate);
    // Half a sample: the library's times and ours are the same quotient of the same numbers.
    report.regions = CompareRegions(stored, repaired, 0.5 / rate);
  } else {
    for (const Region& region : repaired) report.regions.push_back({RegionState::kAdded, std::nullopt, region});
  }
  for (const ChannelEntry& channel : catalog.Channels()) report.channels.push_back(ReadChannelToEnd(channel));

  bool damaged = !report.setup.Readable() || !report.events.Readable() || !report.blockSize ||
                 !AllKept(report.regions);
  for (const ChannelHealth& health : report.channels) damaged = damaged || !health.Complete();
  report.verdict = damaged ? kCheckRepairedOrDamaged : kCheckSound;
  return report;
}

const char* VerdictText(int verdict) {
  switch (verdict) {
    case kCheckSound: return "sound";
    case kCheckRepairedOrDamaged: return "opens only after repair or with damaged data";
    default: return "does not open";
  }
}

nlohmann::json SpanJson(double start, std::optional<double> stop) {
  return {{"start", JsonNumber(start)}, {"stop", stop ? JsonNumber(*stop) : nlohmann::json(nullptr)}};
}

nlohmann::json StreamJson(const StreamCopy& copy) {
  return {{"code", copy.code}, {"readable", copy.Readable()}, {"bytes", copy.bytes.size()},
          {"status", copy.status}, {"message", copy.message}};
}

void PrintJsonReport(const std::string& file, const CheckReport& report) {
  nlohmann::json regions = nlohmann::json::array();
  for (const RegionRow& row : report.regions) {
    regions.push_back({{"state", RegionStateName(row.state)},
                       {"stored", row.stored ? SpanJson(row.stored->start, row.stored->stop) : nullptr},
                       {"repaired", row.repaired ? SpanJson(row.repaired->start, row.repaired->stop) : nullptr}});
  }
  nlohmann::json events = nlohmann::json::array();
  for (const StoredEvent& event : report.storedEvents) {
    events.push_back({{"type", event.type}, {"record_version", event.recordVersion}, {"block", event.block},
                      {"offset", event.offset}});
  }
  nlohmann::json channels = nlohmann::json::array();
  for (const ChannelHealth& health : report.channels) {
    channels.push_back({{"index", health.channel->index}, {"name", health.channel->name},
                        {"kind", ChannelKindName(health.channel->kind)},
                        {"list", ChannelListName(health.channel->list)}, {"expected", health.expected},
                        {"read", health.read}, {"complete", health.Complete()}, {"status", health.status},
                        {"message", health.message}});
  }
  PrintJson({{"file", file},
             {"opens", true},
             {"exit_status", report.verdict},
             {"verdict", VerdictText(report.verdict)},
             {"block_size", report.blockSize ? nlohmann::json(*report.blockSize) : nlohmann::json(nullptr)},
             {"setup_stream", StreamJson(report.setup)},
             {"event_stream", StreamJson(report.events)},
             {"stored_events", events},
             {"regions", regions},
             {"channels", channels}});
}

std::string Seconds(std::optional<double> value) { return value ? FormatDouble(*value) + " s" : "(none)"; }

void PrintStream(const char* role, const StreamCopy& copy) {
  if (copy.Readable()) {
    std::printf("  %-7s %-9s %zu bytes, readable\n", role, copy.code.c_str(), copy.bytes.size());
  } else {
    std::printf("  %-7s %-9s status %d: %s\n", role, copy.code.empty() ? "-" : copy.code.c_str(), copy.status,
                copy.message.c_str());
  }
}

void PrintTextReport(const std::string& file, const CheckReport& report) {
  std::printf("file      %s\n", file.c_str());
  std::printf("opens     yes\n");
  if (report.blockSize) {
    std::printf("block     %d samples\n", *report.blockSize);
  } else {
    std::printf("block     unknown: the setup holds no usable \"BlockSize\"\n");
  }
  std::printf("streams\n");
  PrintStream("setup", report.setup);
  PrintStream("events", report.events);
  std::printf("regions   stored -> after repair\n");
  for (size_t i = 0; i < report.regions.size(); ++i) {
    const RegionRow& row = report.regions[i];
    const std::string stored = row.stored ? Seconds(row.stored->start) + " to " + Seconds(row.stored->stop) : "-";
    const std::string repaired =
        row.repaired ? Seconds(row.repaired->start) + " to " + Seconds(row.repaired->stop) : "-";
    std::string state = RegionStateName(row.state);
    if (row.state == RegionState::kMoved) {
      state += ": stop " + Seconds(row.stored->stop) + " -> " + Seconds(row.repaired->stop);
    } else if (row.state == RegionState::kClosed) {
      state += ": stop " + Seconds(row.repaired->stop) + " added";
    }
    std::printf("  %zu  %-26s %-26s %s\n", i + 1, stored.c_str(), repaired.c_str(), state.c_str());
  }
  std::printf("channels  samples read / expected\n");
  for (const ChannelHealth& health : report.channels) {
    std::printf("  %-4d %-24s %lld / %lld  %s\n", health.channel->index, health.channel->name.c_str(),
                static_cast<long long>(health.read), static_cast<long long>(health.expected),
                health.Complete() ? "ok" : health.status != 0 ? health.message.c_str() : "ends early");
  }
  std::printf("verdict   %s (exit status %d)\n", VerdictText(report.verdict), report.verdict);
}

int RunCheck(const CheckOptions& options) {
  std::unique_ptr<Recording> recording;
  try {
    recording = std::make_unique<Recording>(options.file);
  } catch (const ToolError& error) {
    if (options.json) {
      PrintJson({{"file", options.file}, {"opens", false}, {"exit_status", kCheckDoesNotOpen},
                 {"verdict", VerdictText(kCheckDoesNotOpen)}, {"status", error.LibraryStatusCode()},
                 {"message", error.what()}});
    } else {
      std::printf("file      %s\nopens     no: %s\nverdict   %s (exit status %d)\n", options.file.c_str(),
                  error.what(), VerdictText(kCheckDoesNotOpen), kCheckDoesNotOpen);
    }
    return kCheckDoesNotOpen;
  }
  const Catalog catalog = Catalog::Load();
  const CheckReport report = Examine(*recording, catalog);
  if (options.json) {
    PrintJsonReport(options.file, report);
  } else {
    PrintTextReport(options.file, report);
  }
  return report.verdict;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand("check", "Health report: stored and repaired regions, every channel read");
  command->footer(kCheckHelp);
  command->add_option("FILE", options->file, "The recording (plain or zip-packaged)")->required();
  command->add_flag("--json", options->json, "Print one JSON object");
  command->callback([options, &exitStatus] { exitStatus = RunCheck(*options); });
}

}  // namespace kvtool
