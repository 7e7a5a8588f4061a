// kvtool reduced FILE CHANNEL [--level L] [--json]: the statistics the recording
// stored per interval (time stamp, minimum, maximum, average, RMS), read window by
// window and printed as they come.
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "Catalog.h"
#include "Command.h"
#include "KVDataReaderLib.h"
#include "Recording.h"
#include "StreamOut.h"
#include "ToolError.h"

namespace kvtool {
namespace {

constexpr int32_t kWindowValues = 4096;
constexpr int32_t kLevelCount = 6;
constexpr int kInvalidLevelStatus = 9;

struct ReducedOptions {
  std::string file;
  std::string channel;
  std::optional<int32_t> level;
  bool json = false;
};

void CheckChannel(const ChannelEntry& channel) {
  std::string why;
  if (channel.kind == ChannelKind::kSingle) why = "is a single value";
  if (channel.list == ChannelList::kText || channel.list == ChannelList::kBinary) {
    why = std::string("is a ") + ChannelListName(channel.list) + " channel";
  }
  if (channel.arraySize > 1) why = "is an array channel (" + std::to_string(channel.arraySize) + " values per sample)";
  if (!why.empty()) {
    throw ToolError(kExitBadInput, channel.name + " " + why + ": the recording stores no reduced values for it");
  }
}

// Prints records as text rows or JSON array elements.
class ReducedPrinter {
 public:
  ReducedPrinter(StreamOut& out, bool json) : out_(out), json_(json) {}

  void Begin(const ChannelEntry& channel, std::optional<int32_t> level, double duration) {
    if (!json_) {
      const std::string unit = channel.unit.empty() ? "" : " (" + channel.unit + ")";
      out_.Text("time (s)\tmin").Text(unit).Text("\tmax").Text(unit).Text("\taverage").Text(unit);
      out_.Text("\trms").Text(unit).Char('\n');
      return;
    }
    out_.Text("{\n  \"channel\": {\"index\": ").Integer(channel.index).Text(", \"name\": ").JsonText(channel.name);
    out_.Text(", \"unit\": ").JsonText(channel.unit).Text("},\n  \"level\": ");
    if (level) {
      out_.Integer(*level);
    } else {
      out_.Text("null");
    }
    out_.Text(",\n  \"interval\": ").JsonNumber(duration).Text(",\n  \"values\": [");
  }

  void Put(const KVReducedValue& value) {
    if (!json_) {
      out_.Number(value.time_stamp).Char('\t').Number(value.min).Char('\t').Number(value.max).Char('\t');
      out_.Number(value.ave).Char('\t').Number(value.rms).Char('\n');
      return;
    }
    out_.Text(rows_ == 0 ? "\n    {\"time\": " : ",\n    {\"time\": ").JsonNumber(value.time_stamp);
    out_.Text(", \"min\": ").JsonNumber(value.min).Text(", \"max\": ").JsonNumber(value.max);
    out_.Text(", \"average\": ").JsonNumber(value.ave).Text(", \"rms\": ").JsonNumber(value.rms).Char('}');
    ++rows_;
  }

  void End() {
    if (json_) out_.Text(rows_ == 0 ? "]\n}\n" : "\n  ]\n}\n");
  }

 private:
  StreamOut& out_;
  bool json_;
  int64_t rows_ = 0;
};

// The channel's first stored level: the count says how many values there are.
void PrintStoredLevel(const ChannelEntry& channel, ReducedPrinter& printer) {
  int32_t count = 0;
  double duration = 0;
  CheckStatus(KVGetReducedValuesCount(channel.index, &count, &duration), "counting the reduced values of " + channel.name);
  printer.Begin(channel, std::nullopt, duration);
  std::vector<KVReducedValue> values(static_cast<size_t>(std::min(count, kWindowValues)));
  for (int32_t first = 0; first < count; first += kWindowValues) {
    const int32_t n = std::min(kWindowValues, count - first);
    CheckStatus(KVGetReducedValues(channel.index, first, n, values.data()),
                "reading reduced values " + std::to_string(first) + " to " + std::to_string(first + n - 1) + " of " +
                    channel.name);
    for (int32_t i = 0; i < n; ++i) printer.Put(values[static_cast<size_t>(i)]);
  }
}

// Any level: the interface gives no count per level, so each window's time stamps
// start as NaN and the values end with the first window the library fills short.
// The first window is read before anything is printed, so that a level the channel
// lacks gives its message alone.
void PrintLevel(const ChannelEntry& channel, int32_t level, ReducedPrinter& printer) {
  std::vector<KVReducedValue> values(kWindowValues);
  auto read = [&](int32_t first) {
    for (KVReducedValue& value : values) value.time_stamp = std::numeric_limits<double>::quiet_NaN();
    int32_t index = channel.index;  // the library sorts the list in place
    const KVStatus status = KVGetReducedValuesBlock(&index, 1, first, kWindowValues, level, values.data());
    if (first == 0 && (status == kInvalidLevelStatus || status == KVError)) {
      const LibraryStatus library = LastLibraryStatus();
      throw ToolError(kExitBadInput, channel.name + " has no reduced values at level " + std::to_string(level) +
                                         " (library status " + std::to_string(library.status) + ": " +
                                         library.message + ")");
    }
    CheckStatus(status, "reading reduced values of " + channel.name + " at level " + std::to_string(level));
    int32_t filled = 0;
    while (filled < kWindowValues && !std::isnan(values[static_cast<size_t>(filled)].time_stamp)) ++filled;
    return filled;
  };
  int32_t filled = read(0);
  printer.Begin(channel, level, std::numeric_limits<double>::quiet_NaN());
  for (int32_t first = 0;; first += kWindowValues) {
    for (int32_t i = 0; i < filled; ++i) printer.Put(values[static_cast<size_t>(i)]);
    if (filled < kWindowValues || first > std::numeric_limits<int32_t>::max() - 2 * kWindowValues) return;
    filled = read(first + kWindowValues);
  }
}

int RunReduced(const ReducedOptions& options) {
  if (options.level && (*options.level < 0 || *options.level >= kLevelCount)) {
    throw ToolError(kExitBadInput, "--level " + std::to_string(*options.level) + " is not a reduced level (0 to " +
                                       std::to_string(kLevelCount - 1) + ")");
  }
  Recording recording(options.file);
  const Catalog catalog = Catalog::Load();
  const ChannelEntry& channel = catalog.Resolve(options.channel);
  CheckChannel(channel);
  StreamOut out;
  ReducedPrinter printer(out, options.json);
  if (options.level) {
    PrintLevel(channel, *options.level, printer);
  } else {
    PrintStoredLevel(channel, printer);
  }
  printer.End();
  out.Flush();
  return kExitOk;
}

}  // namespace

void AddReducedCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ReducedOptions>();
  CLI::App* command = app.add_subcommand(
      "reduced", "The stored statistics of a channel per interval: time stamp, minimum, maximum, average, RMS");
  command->add_option("FILE", options->file, "The recording")->required();
  command->add_option("CHANNEL", options->channel, "The channel: its index or its name")->required();
  command->add_option("--level", options->level,
                      "Reduced level 0 to 5 (default: the channel's first stored level); each level's interval is "
                      "the one below it times the recording's reduction rate");
  command->add_flag("--json", options->json,
                    "Print {\"channel\", \"level\", \"interval\", \"values\": [{\"time\", \"min\", \"max\", "
                    "\"average\", \"rms\"}...]}");
  command->callback([options, &exitStatus] { exitStatus = RunReduced(*options); });
}

}  // namespace kvtool
