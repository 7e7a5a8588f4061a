#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Output.h"

namespace kvtool {
namespace {

struct ListedChannel {
  KVChannel record;
  const char* list;
};

const char* ChannelTypeName(int32_t type) {
  switch (type) {
    case KVChannelSynchronous: return "sync";
    case KVChannelAsynchronous: return "async";
    case KVChannelSingleValue: return "single";
    default: return "?";
  }
}

// Appends the records of one list; false (status kept) when a call failed.
bool AppendList(int32_t (*count)(void), KVStatus (*fill)(KVChannel*), const char* list,
                std::vector<ListedChannel>& out) {
  const int32_t n = count();
  if (n < 0) return false;
  std::vector<KVChannel> records(static_cast<size_t>(n) + 1);
  if (fill(records.data()) != KVOk) return false;
  for (int32_t i = 0; i < n; ++i) out.push_back({records[static_cast<size_t>(i)], list});
  return true;
}

int32_t IntProperty(int32_t index, int32_t selector) {
  int32_t value = 0;
  int32_t size = sizeof value;
  return KVGetChannelProps(index, selector, &value, &size) == KVOk ? value : -1;
}

}  // namespace

int Info() {
  KVMeasurementInfo info{};
  if (KVGetMeasurementInfo(&info) != KVOk) return ReportFailure("KVGetMeasurementInfo");
  const int32_t multiFileIndex = KVGetMultiFileIndex();
  const int32_t storingType = KVGetStoringType();
  const int32_t channels = KVGetChannelListCount();
  const int32_t complexChannels = KVGetComplexChannelListCount();
  const int32_t binaryChannels = KVGetBinChannelListCount();
  const int32_t textChannels = KVGetTextChannelListCount();
  if (channels < 0 || complexChannels < 0 || binaryChannels < 0 || textChannels < 0) {
    return ReportFailure("counting channels");
  }
  std::printf("sample rate         %.6g Hz\n", info.sample_rate);
  std::printf("measurement start   %s (day %.8f)\n", DaysToIso8601(info.start_measure_time).c_str(),
              info.start_measure_time);
  std::printf("storing start       %s (day %.8f)\n", DaysToIso8601(info.start_store_time).c_str(),
              info.start_store_time);
  std::printf("duration            %.6f s\n", info.duration);
  std::printf("storing type        %d\n", storingType);
  std::printf("multi-file index    %d\n", multiFileIndex);
  std::printf("channels            %d\n", channels);
  std::printf("complex channels    %d\n", complexChannels);
  std::printf("binary channels     %d\n", binaryChannels);
  std::printf("text channels       %d\n", textChannels);
  return 0;
}

int Channels(bool json) {
  std::vector<ListedChannel> channels;
  if (!AppendList(KVGetChannelListCount, KVGetChannelList, "numeric", channels) ||
      !AppendList(KVGetComplexChannelListCount, KVGetComplexChannelList, "complex", channels) ||
      !AppendList(KVGetBinChannelListCount, KVGetBinChannelList, "binary", channels) ||
      !AppendList(KVGetTextChannelListCount, KVGetTextChannelList, "text", channels)) {
    return ReportFailure("listing channels");
  }
  std::sort(channels.begin(), channels.end(),
            [](const ListedChannel& a, const ListedChannel& b) { return a.record.index < b.record.index; });
  KVMeasurementInfo info{};
  if (KVGetMeasurementInfo(&info) != KVOk) return ReportFailure("KVGetMeasurementInfo");

  if (!json) {
    std::printf("%5s  %-24s %-8s %-6s %4s %-8s %12s %12s %12s %6s\n", "index", "name", "unit", "type", "dt",
                "list", "rate", "scale", "offset", "values");
  } else {
    std::printf("[");
  }
  bool first = true;
  for (const ListedChannel& channel : channels) {
    const KVChannel& r = channel.record;
    double scale = 0, offset = 0;
    if (KVGetChannelFactors(r.index, &scale, &offset) != KVOk) return ReportFailure("KVGetChannelFactors");
    const int32_t type = IntProperty(r.index, KVChType);
    const double rate = type == KVChannelSynchronous ? info.sample_rate : 0.0;
    if (!json) {
      std::printf("%5d  %-24.24s %-8.8s %-6s %4d %-8s %12.6g %12.6g %12.6g %6d\n", r.index, r.name, r.unit,
                  ChannelTypeName(type), r.data_type, channel.list, rate, scale, offset, r.array_size);
    } else {
      std::printf("%s\n  {\"index\": %d, \"name\": %s, \"unit\": %s, \"description\": %s, \"type\": \"%s\", "
                  "\"data_type\": %d, \"list\": \"%s\", \"rate\": %.17g, \"scale\": %.17g, \"offset\": %.17g, "
                  "\"array_size\": %d, \"color\": %u}",
                  first ? "" : ",", r.index, JsonString(r.name).c_str(), JsonString(r.unit).c_str(),
                  JsonString(r.description).c_str(), ChannelTypeName(type), r.data_type, channel.list, rate,
                  scale, offset, r.array_size, r.color);
    }
    first = false;
  }
  if (json) std::printf("%s]\n", channels.empty() ? "" : "\n");
  return 0;
}

int Header(const char* outPath) {
  if (outPath != nullptr) {
    if (KVExportHeader(outPath) != KVOk) return ReportFailure("KVExportHeader");
    return 0;
  }
  const char* codes[] = {"SETUP___", "SETUP__", "SETUP_", "SETUP"};
  for (const char* code : codes) {
    int32_t size = 0;
    if (KVGetStream(code, nullptr, &size) != KVOk) continue;
    std::vector<char> text(static_cast<size_t>(size));
    if (KVGetStream(code, text.data(), &size) != KVOk) return ReportFailure("KVGetStream");
    std::fwrite(text.data(), 1, static_cast<size_t>(size) - 1, stdout);
    return 0;
  }
  return ReportFailure("reading the setup stream");
}

}  // namespace kvtool
