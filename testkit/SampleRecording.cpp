// SampleRecording: the demo's recording, its setup laid out with OnlineLayout so
// that every record, slice and item offset is where the stored layouts put it.
#include "testkit/SampleRecording.h"

#include <cmath>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/OnlineLayout.h"
#include "testkit/SetupBuilder.h"

namespace Korvane::DataReader::TestKit {

namespace {

constexpr int kBlockSize = 100;
constexpr double kSampleRate = 1000;
constexpr int kIBRate = 20;
constexpr int kReducedLevels = 2;
constexpr int kArrayValues = 8;
constexpr int kArraySrDiv = 10;
constexpr int32_t kTypeDouble = 7;
constexpr int32_t kTypeUInt32 = 8;
constexpr int32_t kTypeText = 11;
// Range 10 makes an analogue input's factor 10 / Range x AmplScale x Scale one:
// the doubles stored are volts, amperes and degrees.
constexpr int kAnalogueRange = 10;
constexpr char kOperatorName[] = "Ada";
// Recording blocks: 0-20, 30 to the middle of block 45, 60-80.
const std::vector<RecordedRegion> kRegions = {{0, 0, 20, 0}, {30, 0, 45, 50}, {60, 0, 80, 0}};
constexpr int64_t kPositions = 80 * kBlockSize;
// The asynchronous channel's number in the index, and its leaves (small, so that
// the index has inner levels above them).
constexpr int32_t kAsyncIndex = 0;
constexpr uint32_t kAsyncLeafCapacity = 16;

std::vector<double> Wave(int64_t count, double amplitude, double period, double offset) {
  std::vector<double> values(static_cast<size_t>(count));
  for (size_t i = 0; i < values.size(); ++i) values[i] = offset + amplitude * std::sin(2 * M_PI * double(i) / period);
  return values;
}

std::vector<double> SpectrumValues() {
  std::vector<double> values(static_cast<size_t>(kPositions / kArraySrDiv * kArrayValues));
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = 1.0 / double(1 + i % kArrayValues) + 0.001 * double(i / kArrayValues);
  }
  return values;
}

std::vector<double> CounterValues() {
  std::vector<double> values(static_cast<size_t>(kPositions));
  for (size_t i = 0; i < values.size(); ++i) values[i] = double(i / 7);
  return values;
}

std::vector<uint8_t> EncodeUInt32(const std::vector<double>& values) {
  std::vector<uint8_t> bytes;
  for (double value : values) {
    const auto word = static_cast<uint32_t>(value);
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(word >> (8 * b)));
  }
  return bytes;
}

// Pressure at irregular positions inside the regions: steps of 5 to 33 positions.
SampleAsyncChannel PressureChannel() {
  SampleAsyncChannel channel{"AI;3", "Pressure", "bar", {}, {}, Wave(kPositions, 0.3, 1700, 2.0)};
  uint32_t state = 12345;
  for (const RecordedRegion& region : kRegions) {
    const int64_t stop = int64_t{region.stopBlock} * kBlockSize + region.stopOffset;
    for (int64_t p = int64_t{region.startBlock} * kBlockSize + region.startOffset + 3; p < stop;) {
      channel.times.push_back(double(p) / kSampleRate);
      channel.values.push_back(channel.fullRate[static_cast<size_t>(p)]);
      state = state * 1103515245u + 12345u;
      p += 5 + (state >> 16) % 29;
    }
  }
  return channel;
}

LayoutChannel LayoutOf(const SampleChannel& channel) {
  LayoutChannel layout;
  layout.valueBytes = channel.dataType == kTypeUInt32 ? 4 : 8;
  layout.arraySize = channel.arraySize;
  layout.srDiv = channel.srDiv;
  layout.statisticsItems = channel.arraySize == 1 ? 1 : 0;  // no item channels
  return layout;
}

// "BitCount" above 20 makes the statistics doubles, as LayoutChannel assumes.
std::string SetupText(const std::vector<SampleChannel>& channels, const SampleAsyncChannel& async,
                      const std::vector<LayoutChannel>& layouts, const OnlineLayout& online) {
  SetupBuilder setup;
  setup.Property("SampleRate", kSampleRate).Property("BlockSize", kBlockSize).Property("IBRate", kIBRate);
  setup.Property("StartStoreTime", 46000.375);  // a morning in December 2025
  setup.MeasurementOnlineInfo(online.blockBytes, online.RecordBytes());
  const char* units[] = {"V", "A", "degC"};
  for (size_t i = 0; i < 3; ++i) {
    setup.AddChannel(channels[i].index, channels[i].name, channels[i].dataType)
        .Set("Unit", units[i])
        .Set("BitCount", 64)
        .Set("Range", kAnalogueRange)
        .With(OnlineInfoRecord(layouts[i], online.channels[i]));
  }
  setup.AddChannel(channels[3].index, channels[3].name, channels[3].dataType)
      .Set("SRDiv", kArraySrDiv)
      .Set("BitCount", 64)
      .With(ArrayInfoElement({{"Frequency", "Hz", kArrayValues, 2, 1, 0.0, 50.0}}))
      .With(OnlineInfoRecord(layouts[3], online.channels[3]));

  setup.Store(channels[4].index);
  CounterInput counter;
  counter.settings = {{"BaseMode", "0"}};
  XmlNode output = ChannelDefinition("OutputChannel", channels[4].index, channels[4].name, channels[4].dataType);
  output.Set("Unit", "rev").Set("BitCount", 32).With(OnlineInfoRecord(layouts[4], online.channels[4]));
  counter.outputs.push_back(output);
  setup.CounterDevice({counter});

  setup.Store("Variables;0");
  setup.VariableChannel("Variables;0", "Operator", kTypeText)
      .Set("SingleValue", true)
      .With(OnlineInfoRecord(layouts[5], online.channels[5]));

  setup.AddChannel(async.index, async.name, kTypeDouble)
      .Set("Unit", async.unit)
      .Set("Async", true)
      .Set("BitCount", 64)
      .Set("Range", kAnalogueRange)
      .With(OnlineInfoRecord(layouts[6], online.channels[6]));
  return setup.Text();
}

}  // namespace

SampleRecordingContents SampleRecording() {
  SampleRecordingContents contents;
  contents.layout.blockSize = kBlockSize;
  contents.layout.ibRate = kIBRate;
  contents.layout.regions = kRegions;
  contents.sampleRate = kSampleRate;
  contents.reducedLevels = kReducedLevels;
  contents.operatorName = kOperatorName;
  std::vector<SampleChannel>& channels = contents.channels;
  channels.push_back({"AI;0", "Voltage", kTypeDouble, 1, 1, Wave(kPositions, 1.5, 500, 12.0)});
  channels.push_back({"AI;1", "Current", kTypeDouble, 1, 1, Wave(kPositions, 0.2, 250, 3.0)});
  channels.push_back({"AI;2", "Temperature", kTypeDouble, 1, 1, Wave(kPositions, 4.0, 8000, 21.0)});
  channels.push_back({"Math;0", "Spectrum", kTypeDouble, kArraySrDiv, kArrayValues, SpectrumValues(), false});
  channels.push_back({"CNT;0;0", "Revolutions", kTypeUInt32, 1, 1, CounterValues()});

  std::vector<LayoutChannel> layouts;
  for (const SampleChannel& channel : channels) layouts.push_back(LayoutOf(channel));
  LayoutChannel singleValue;
  singleValue.singleValue = true;
  layouts.push_back(singleValue);
  contents.asyncChannel = PressureChannel();
  LayoutChannel indexed;
  indexed.asyncIndex = kAsyncIndex;
  layouts.push_back(indexed);
  const OnlineLayout online = PlanOnlineLayout(kBlockSize, layouts);

  std::vector<SyncChannelSamples> samples;
  std::vector<ReducedChannelValues> reduced;
  for (size_t i = 0; i < channels.size(); ++i) {
    const SampleChannel& channel = channels[i];
    const bool counter = channel.dataType == kTypeUInt32;
    samples.push_back({online.channels[i].dbOffset, layouts[i].valueBytes, channel.srDiv,
                       counter ? EncodeUInt32(channel.values) : EncodeDoubles(channel.values), channel.arraySize});
    if (channel.reduced) reduced.push_back({online.channels[i].ibOffsets, true, channel.values});
  }
  reduced.push_back({online.channels[6].ibOffsets, true, contents.asyncChannel.fullRate});

  std::vector<ReducedLevelStream> levels;
  for (int level = 0; level < kReducedLevels; ++level) {
    levels.push_back(BuildReducedLevel(contents.layout, level, online.recordBytes[static_cast<size_t>(level)], reduced));
  }

  Recording& recording = contents.recording;
  recording.setupText = SetupText(channels, contents.asyncChannel, layouts, online);
  recording.measInfoText = MeasInfoText(0);
  recording.events = RegionEventStream(contents.layout, RegionLevelOffsets(levels, contents.layout.regions.size()));
  recording.Add("DBDATA", BuildDataBlocks(contents.layout, online.blockBytes, samples));
  for (int level = 0; level < kReducedLevels; ++level) {
    recording.Add("IBDATA" + std::to_string(level), levels[static_cast<size_t>(level)].bytes);
  }
  const std::string name = kOperatorName;
  const SingleValueStreams single = BuildSingleValueStreams(
      {{online.channels[5].dbOffset, {name.begin(), name.end()}, static_cast<int32_t>(name.size())}});
  recording.Add("SVINFO", single.info).Add("SVDATA2", single.data);

  AsyncIndexChannelContents pressure;
  pressure.channelIndex = kAsyncIndex;
  pressure.valueSize = sizeof(double);
  pressure.timestamps = contents.asyncChannel.times;
  pressure.values = EncodeDoubles(contents.asyncChannel.values);
  pressure.leafCapacity = kAsyncLeafCapacity;
  AsyncIndexWriter index(true);
  index.AddChannel(pressure);
  index.EndRecords();
  recording.AddIndex(index.Streams());
  return contents;
}

}  // namespace Korvane::DataReader::TestKit
