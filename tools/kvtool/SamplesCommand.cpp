// kvtool samples FILE CHANNEL [--start N] [--count N | --from S --to S] [--raw]
// [--json]: a channel's values with their time stamps, read window by window and
// printed as they come, so that memory stays the same for any length of output.
#include <cmath>
#include <memory>
#include <optional>

#include "Catalog.h"
#include "Command.h"
#include "KVDataReaderLib.h"
#include "Output.h"
#include "Recording.h"
#include "Regions.h"
#include "SampleWindows.h"
#include "StreamOut.h"
#include "TimeWindow.h"
#include "ToolError.h"

namespace kvtool {
namespace {

struct SamplesOptions {
  std::string file;
  std::string channel;
  std::optional<int64_t> start;
  std::optional<int64_t> count;
  std::optional<double> from;
  std::optional<double> to;
  bool raw = false;
  bool json = false;
};

// Checks the options that do not need the recording.
void CheckOptions(const SamplesOptions& options) {
  if (options.count && (options.from || options.to)) {
    throw ToolError(kExitBadInput, "give either --count or --from/--to, not both");
  }
  if (options.from.has_value() != options.to.has_value()) {
    throw ToolError(kExitBadInput, "a time window needs both --from and --to (seconds, from <= t < to)");
  }
  if (options.start && options.from) {
    throw ToolError(kExitBadInput, "--start counts samples; a time window is given with --from/--to alone");
  }
  if (options.start && *options.start < 0) {
    throw ToolError(kExitBadInput, "--start " + std::to_string(*options.start) + " is negative");
  }
  if (options.count && *options.count < 0) {
    throw ToolError(kExitBadInput, "--count " + std::to_string(*options.count) + " is negative");
  }
}

// The samples asked for: a time window, or a count (all, by default) from --start.
SampleRange ChosenRange(const SamplesOptions& options, const ChannelEntry& channel) {
  if (options.from) return WindowRange(channel, LoadRegions(), *options.from, *options.to);
  const int64_t start = options.start.value_or(0);
  if (start > 0 && start >= channel.sampleCount) {
    throw ToolError(kExitBadInput, "--start " + std::to_string(start) + " is beyond the last sample: " +
                                       channel.name + " has " + std::to_string(channel.sampleCount) +
                                       " samples (0 to " + std::to_string(channel.sampleCount - 1) + ")");
  }
  const int64_t left = channel.sampleCount - start;
  return {start, options.count ? std::min(*options.count, left) : left};
}

// The values of sample k of a window: as stored (raw texts when there are) or scaled.
void PutValue(StreamOut& out, const SampleWindow& window, size_t v, bool json) {
  if (v < window.texts.size() && !window.texts[v].empty()) {
    out.Text(window.texts[v]);  // an exact integer or hex: valid as a JSON number only when it is one
  } else if (json) {
    out.JsonNumber(window.values[v]);
  } else {
    out.Number(window.values[v]);
  }
}

// Raw texts hold numbers except for stored forms without one, which are hex.
bool RawTextIsHex(const ChannelEntry& channel) { return channel.dataType > KVDataTypeUInt32; }

void PrintTextRows(StreamOut& out, const ChannelEntry& channel, SampleWindows& windows) {
  out.Text("time (s)");
  if (channel.list == ChannelList::kComplex) {
    out.Text("\tre\tim");
  } else if (channel.list == ChannelList::kNumeric && channel.arraySize > 1) {
    for (int32_t e = 0; e < channel.arraySize; ++e) out.Text("\t").Text(channel.name).Text("[").Integer(e).Text("]");
  } else {
    out.Char('\t').Text(channel.name);
  }
  if (!channel.unit.empty()) out.Text(" (").Text(channel.unit).Text(")");
  out.Char('\n');
  SampleWindow window;
  while (windows.Next(window)) {
    const size_t per = channel.list == ChannelList::kComplex ? 2 : static_cast<size_t>(channel.arraySize);
    for (size_t k = 0; k < static_cast<size_t>(window.count); ++k) {
      out.Number(window.time[k]);
      if (channel.list == ChannelList::kText || channel.list == ChannelList::kBinary) {
        out.Char('\t').CellText(window.texts[k]);
      } else {
        for (size_t e = 0; e < per; ++e) PutValue(out.Char('\t'), window, k * per + e, false);
      }
      out.Char('\n');
    }
  }
}

void PutJsonValue(StreamOut& out, const ChannelEntry& channel, const SampleWindow& window, size_t k, bool raw) {
  if (channel.list == ChannelList::kText || channel.list == ChannelList::kBinary) {
    out.JsonText(window.texts[k]);
    return;
  }
  if (channel.list == ChannelList::kComplex) {
    out.Text("{\"re\": ").JsonNumber(window.values[2 * k]).Text(", \"im\": ").JsonNumber(window.values[2 * k + 1]);
    out.Char('}');
    return;
  }
  const bool hex = raw && RawTextIsHex(channel);
  const auto per = static_cast<size_t>(channel.arraySize);
  if (per > 1) out.Char('[');
  for (size_t e = 0; e < per; ++e) {
    if (e > 0) out.Text(", ");
    const size_t v = k * per + e;
    if (hex) {
      out.JsonText(window.texts[v]);
    } else {
      PutValue(out, window, v, true);
    }
  }
  if (per > 1) out.Char(']');
}

void PrintJsonRows(StreamOut& out, const ChannelEntry& channel, SampleRange range, bool raw, SampleWindows& windows) {
  out.Text("{\n  \"channel\": {\"index\": ").Integer(channel.index).Text(", \"name\": ").JsonText(channel.name);
  out.Text(", \"unit\": ").JsonText(channel.unit).Text(", \"list\": \"").Text(ChannelListName(channel.list));
  out.Text("\", \"kind\": \"").Text(ChannelKindName(channel.kind)).Text("\", \"array_size\": ").Integer(channel.arraySize);
  out.Text(", \"samples\": ").Integer(channel.sampleCount).Text("},\n  \"first\": ").Integer(range.first);
  out.Text(",\n  \"count\": ").Integer(range.count).Text(",\n  \"raw\": ").Text(raw ? "true" : "false");
  out.Text(",\n  \"samples\": [");
  SampleWindow window;
  bool first = true;
  while (windows.Next(window)) {
    for (size_t k = 0; k < static_cast<size_t>(window.count); ++k) {
      out.Text(first ? "\n    {\"time\": " : ",\n    {\"time\": ").JsonNumber(window.time[k]).Text(", \"value\": ");
      PutJsonValue(out, channel, window, k, raw);
      out.Char('}');
      first = false;
    }
  }
  out.Text(first ? "]\n}\n" : "\n  ]\n}\n");
}

int RunSamples(const SamplesOptions& options) {
  CheckOptions(options);
  Recording recording(options.file);
  const Catalog catalog = Catalog::Load();
  const ChannelEntry& channel = catalog.Resolve(options.channel);
  const SampleRange range = ChosenRange(options, channel);
  SampleWindows windows(channel, range, options.raw);
  StreamOut out;
  if (options.json) {
    PrintJsonRows(out, channel, range, options.raw, windows);
  } else {
    PrintTextRows(out, channel, windows);
  }
  out.Flush();
  return kExitOk;
}

}  // namespace

void AddSamplesCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<SamplesOptions>();
  CLI::App* command = app.add_subcommand("samples", "A channel's values with their time stamps (seconds)");
  command->add_option("FILE", options->file, "The recording")->required();
  command->add_option("CHANNEL", options->channel, "The channel: its index or its name")->required();
  command->add_option("--start", options->start, "First sample number (default 0)");
  command->add_option("--count", options->count, "Number of samples (default: all from --start)");
  command->add_option("--from", options->from, "Time window start in seconds (from <= t)");
  command->add_option("--to", options->to, "Time window end in seconds (t < to); windows never overlap");
  command->add_flag("--raw", options->raw, "The stored values, exact, instead of the scaled ones");
  command->add_flag("--json", options->json,
                    "Print {\"channel\", \"first\", \"count\", \"raw\", \"samples\": [{\"time\", \"value\"}...]}");
  command->footer(
      "Rows: time, then the value; an array channel all values of a sample, a complex channel re and im, a text\n"
      "channel its text, a binary channel its payload in hex. Numbers read back bit for bit.");
  command->callback([options, &exitStatus] { exitStatus = RunSamples(*options); });
}

}  // namespace kvtool
