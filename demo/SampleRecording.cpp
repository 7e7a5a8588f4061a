// Writes the demo's sample recording with the test kit: three analogue channels, a
// counter, an array channel and a text channel, stored in three regions with gaps
// between them, as a plain multi-stream file and as a zip-packaged one.
// Usage: kvdemo_recording <directory>   (writes sample.kvd and sample.kxz)
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "testkit/MeasurementDataWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"

using namespace Korvane::DataReader::TestKit;

namespace {

constexpr int kBlockSize = 100;
constexpr double kSampleRate = 1000;
constexpr int kArrayValues = 8;
constexpr int kArraySrDiv = 10;
// One block of "DBDATA": three double channels, the counter as int32 and the
// array channel at a tenth of the rate.
constexpr int kVoltageOffset = 0;
constexpr int kCurrentOffset = kVoltageOffset + kBlockSize * 8;
constexpr int kTemperatureOffset = kCurrentOffset + kBlockSize * 8;
constexpr int kCounterOffset = kTemperatureOffset + kBlockSize * 8;
constexpr int kArrayOffset = kCounterOffset + kBlockSize * 4;
constexpr int kBlockBytes = kArrayOffset + kBlockSize / kArraySrDiv * kArrayValues * 8;
constexpr int kRecordBytes = 3 * 32;

std::vector<double> Wave(size_t count, double amplitude, double period, double offset) {
  std::vector<double> values(count);
  for (size_t i = 0; i < count; ++i) values[i] = offset + amplitude * std::sin(2 * M_PI * double(i) / period);
  return values;
}

std::vector<uint8_t> CounterSamples(size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    const auto value = static_cast<uint32_t>(i / 7);
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(value >> (8 * b)));
  }
  return bytes;
}

std::string SetupText() {
  SetupBuilder setup;
  setup.Property("SampleRate", kSampleRate).Property("BlockSize", kBlockSize).Property("IBRate", 20);
  setup.Property("StartStoreTime", 46000.375);  // a morning in December 2025
  setup.MeasurementOnlineInfo(kBlockBytes, std::vector<int>(6, kRecordBytes));
  setup.AddChannel("AI;0", "Voltage", 7).Set("Unit", "V").Set("Description", "Supply voltage")
      .AddCopy(OnlineInfoRecord(kVoltageOffset, std::vector<int>(6, 0)));
  setup.AddChannel("AI;1", "Current", 7).Set("Unit", "A")
      .AddCopy(OnlineInfoRecord(kCurrentOffset, std::vector<int>(6, 32)));
  setup.AddChannel("AI;2", "Temperature", 7).Set("Unit", "degC")
      .AddCopy(OnlineInfoRecord(kTemperatureOffset, std::vector<int>(6, 64)));
  setup.AddChannel("Math;0", "Spectrum", 7).Set("SRDiv", kArraySrDiv)
      .AddCopy(ArrayInfoElement({{"Frequency", "Hz", kArrayValues, 2, 1, 0.0, 50.0}}))
      .AddCopy(OnlineInfoRecord(kArrayOffset));
  setup.AddChannel("Variables;0", "Operator", 11).Set("SingleValue", true);

  CounterInput counter;
  counter.settings = {{"BaseMode", "0"}};
  setup.Store("CNT;0;0");
  XmlNode output = ChannelDefinition("OutputChannel", "CNT;0;0", "Revolutions", 8);
  output.Set("Unit", "rev").AddCopy(OnlineInfoRecord(kCounterOffset));
  counter.outputs.push_back(output);
  setup.CounterDevice({counter});
  return setup.Text();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];

  DataLayout layout;
  layout.blockSize = kBlockSize;
  layout.regions = {{0, 0, 20, 0}, {30, 0, 45, 50}, {60, 0, 80, 0}};
  const size_t positions = 80 * kBlockSize;
  const std::vector<double> voltage = Wave(positions, 1.5, 500, 12.0);
  const std::vector<double> current = Wave(positions, 0.2, 250, 3.0);
  const std::vector<double> temperature = Wave(positions, 4.0, 8000, 21.0);
  std::vector<double> spectrum(positions / kArraySrDiv * kArrayValues);
  for (size_t i = 0; i < spectrum.size(); ++i) spectrum[i] = 1.0 / double(1 + i % kArrayValues);

  const std::vector<uint8_t> blocks = BuildDataBlocks(
      layout, kBlockBytes,
      {{kVoltageOffset, 8, 1, EncodeDoubles(voltage)},
       {kCurrentOffset, 8, 1, EncodeDoubles(current)},
       {kTemperatureOffset, 8, 1, EncodeDoubles(temperature)},
       {kCounterOffset, 4, 1, CounterSamples(positions)},
       {kArrayOffset, 8 * kArrayValues, kArraySrDiv, EncodeDoubles(spectrum)}});

  std::vector<ReducedLevelStream> levels;
  for (int level = 0; level < 2; ++level) {
    levels.push_back(BuildReducedLevel(layout, level, kRecordBytes,
                                       {{{0, 0, 0, 0, 0, 0}, true, voltage},
                                        {{32, 32, 32, 32, 32, 32}, true, current},
                                        {{64, 64, 64, 64, 64, 64}, true, temperature}}));
  }

  Recording recording;
  recording.setupText = SetupText();
  recording.measInfoText = MeasInfoText(0);
  recording.events = RegionEventStream(layout, RegionLevelOffsets(levels, layout.regions.size()));
  recording.Add("DBDATA", blocks);
  for (int level = 0; level < 2; ++level) recording.Add("IBDATA" + std::to_string(level), levels[level].bytes);
  SingleValueStreams text = BuildSingleValueStreams({{0, {'A', 'd', 'a'}, 3}});
  recording.Add("SVINFO", text.info).Add("SVDATA2", text.data);

  WriteRecording(directory + "/sample.kvd", recording);
  recording.zipPackaged = true;
  WriteRecording(directory + "/sample.kxz", recording);
  std::printf("wrote %s/sample.kvd and %s/sample.kxz\n", directory.c_str(), directory.c_str());
  return 0;
}
