// kvtool info FILE [--json]: rate, start times, duration, storing type, regions and
// list counts of a recording.
#include <cstdio>
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

struct InfoOptions {
  std::string file;
  bool json = false;
};

int RunInfo(const InfoOptions& options) {
  Recording recording(options.file);
  const KVMeasurementInfo& info = recording.Info();
  const int32_t storingType = KVGetStoringType();
  const int32_t multiFileIndex = KVGetMultiFileIndex();
  const int32_t counts[] = {KVGetChannelListCount(), KVGetComplexChannelListCount(), KVGetBinChannelListCount(),
                            KVGetTextChannelListCount(), KVGetEventListCount(), KVGetHeaderEntryCount()};
  for (const int32_t count : counts) {
    if (count < 0) CheckStatus(KVError, "counting the lists of " + options.file);
  }
  const size_t regions = LoadRegions().size();
  if (options.json) {
    PrintJson({{"file", options.file},
               {"sample_rate", JsonNumber(info.sample_rate)},
               {"measurement_start", DaysToIso8601(info.start_measure_time)},
               {"storing_start", DaysToIso8601(info.start_store_time)},
               {"measurement_start_days", JsonNumber(info.start_measure_time)},
               {"storing_start_days", JsonNumber(info.start_store_time)},
               {"duration", JsonNumber(info.duration)},
               {"storing_type", storingType},
               {"multi_file_index", multiFileIndex},
               {"regions", regions},
               {"channels", counts[0]},
               {"complex_channels", counts[1]},
               {"binary_channels", counts[2]},
               {"text_channels", counts[3]},
               {"events", counts[4]},
               {"header_entries", counts[5]}});
    return kExitOk;
  }
  std::printf("file                %s\n", options.file.c_str());
  std::printf("sample rate         %s Hz\n", FormatDouble(info.sample_rate).c_str());
  std::printf("measurement start   %s (day %.8f)\n", DaysToIso8601(info.start_measure_time).c_str(),
              info.start_measure_time);
  std::printf("storing start       %s (day %.8f)\n", DaysToIso8601(info.start_store_time).c_str(),
              info.start_store_time);
  std::printf("duration            %s s\n", FormatDouble(info.duration).c_str());
  std::printf("storing type        %d\n", storingType);
  std::printf("multi-file index    %d\n", multiFileIndex);
  std::printf("regions             %zu\n", regions);
  std::printf("channels            %d\n", counts[0]);
  std::printf("complex channels    %d\n", counts[1]);
  std::printf("binary channels     %d\n", counts[2]);
  std::printf("text channels       %d\n", counts[3]);
  std::printf("events              %d\n", counts[4]);
  std::printf("header entries      %d\n", counts[5]);
  return kExitOk;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* command = app.add_subcommand("info", "Rate, start times, duration, regions and list counts");
  command->add_option("FILE", options->file, "The recording (plain or zip-packaged)")->required();
  command->add_flag("--json", options->json, "Print one JSON object");
  command->callback([options, &exitStatus] { exitStatus = RunInfo(*options); });
}

}  // namespace kvtool
