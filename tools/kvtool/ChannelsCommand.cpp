// kvtool channels FILE [--json]: every channel with its list, kind, own rate,
// scaling and sample count.
#include <cstdio>
#include <memory>

#include "Catalog.h"
#include "Command.h"
#include "Output.h"
#include "Recording.h"
#include "ToolError.h"

namespace kvtool {
namespace {

struct ChannelsOptions {
  std::string file;
  bool json = false;
};

int RunChannels(const ChannelsOptions& options) {
  Recording recording(options.file);
  const Catalog catalog = Catalog::Load();
  if (options.json) {
    nlohmann::json channels = nlohmann::json::array();
    for (const ChannelEntry& channel : catalog.Channels()) {
      channels.push_back({{"index", channel.index},
                          {"name", channel.name},
                          {"unit", channel.unit},
                          {"description", channel.description},
                          {"list", ChannelListName(channel.list)},
                          {"kind", ChannelKindName(channel.kind)},
                          {"data_type", channel.dataType},
                          {"array_size", channel.arraySize},
                          {"rate", JsonNumber(channel.rate)},
                          {"scale", JsonNumber(channel.scale)},
                          {"offset", JsonNumber(channel.offset)},
                          {"samples", channel.sampleCount}});
    }
    PrintJson(channels);
    return kExitOk;
  }
  std::printf("%5s  %-24s %-8s %-8s %-6s %4s %12s %12s %12s %6s %12s\n", "index", "name", "unit", "list", "kind", "dt",
              "rate", "scale", "offset", "values", "samples");
  for (const ChannelEntry& channel : catalog.Channels()) {
    std::printf("%5d  %-24.24s %-8.8s %-8s %-6s %4d %12.6g %12.6g %12.6g %6d %12lld\n", channel.index,
                channel.name.c_str(), channel.unit.c_str(), ChannelListName(channel.list),
                ChannelKindName(channel.kind), channel.dataType, channel.rate, channel.scale, channel.offset,
                channel.arraySize, static_cast<long long>(channel.sampleCount));
  }
  return kExitOk;
}

}  // namespace

void AddChannelsCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ChannelsOptions>();
  CLI::App* command = app.add_subcommand("channels", "Every channel: list, kind, own rate, scaling, sample count");
  command->add_option("FILE", options->file, "The recording")->required();
  command->add_flag("--json", options->json, "Print a JSON array of channel objects");
  command->callback([options, &exitStatus] { exitStatus = RunChannels(*options); });
}

}  // namespace kvtool
