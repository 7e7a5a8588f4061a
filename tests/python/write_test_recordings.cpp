// Writes the recordings the Python package's tests read, with the values they hold:
// the sample recording (sample.kvd, sample.kxz), a recording of complex, binary and
// text channels (kinds.kvd), the viewer's recording (viewer.kvd), and damaged files. The values written go to
// expected.json, so the tests compare arrays with what was written, not with what
// the library reads elsewhere.
// Usage: write_test_recordings <directory>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/OnlineLayout.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/SetupBuilder.h"

using namespace Korvane::DataReader::TestKit;

namespace {

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string Numbers(const std::vector<double>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + Number(values[i]);
  return out + "]";
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const uint8_t b : bytes) out += {digits[b >> 4], digits[b & 15]};
  return out;
}

// The sample recording's synchronous channels as stored: the written values at the
// positions the regions keep, with their time stamps.
std::string SampleExpected(const SampleRecordingContents& contents) {
  std::ostringstream out;
  std::vector<double> regions;
  for (const RecordedRegion& region : contents.layout.regions) {
    regions.push_back(double(region.startBlock * contents.layout.blockSize + region.startOffset) / contents.sampleRate);
    regions.push_back(double(region.stopBlock * contents.layout.blockSize + region.stopOffset) / contents.sampleRate);
  }
  out << "{\"sampleRate\":" << Number(contents.sampleRate) << ",\"operator\":" << Quoted(contents.operatorName)
      << ",\"regions\":" << Numbers(regions) << ",\"channels\":{";
  bool first = true;
  for (const SampleChannel& channel : contents.channels) {
    std::vector<double> values, times;
    for (const int64_t sample : RegionSampleIndexes(contents.layout, channel.srDiv)) {
      times.push_back(double(sample * channel.srDiv) / contents.sampleRate);
      for (int32_t e = 0; e < channel.arraySize; ++e) {
        values.push_back(channel.values[size_t(sample * channel.arraySize + e)]);
      }
    }
    out << (first ? "" : ",") << Quoted(channel.name) << ":{\"dataType\":" << channel.dataType
        << ",\"arraySize\":" << channel.arraySize << ",\"values\":" << Numbers(values) << ",\"times\":" << Numbers(times)
        << "}";
    first = false;
  }
  const SampleAsyncChannel& async = contents.asyncChannel;
  out << "," << Quoted(async.name) << ":{\"dataType\":7,\"arraySize\":1,\"values\":" << Numbers(async.values)
      << ",\"times\":" << Numbers(async.times) << "}}}";
  return out.str();
}

constexpr int kBlockSize = 100;
constexpr int kBlocks = 10;
constexpr int kTextBytes = 256;

// Voltage (doubles k / 4), Frames (8-byte CAN messages, on no list), Phase (complex
// doubles k - 2ki, scaled by 2 and offset by 1), and two asynchronous channels in
// the timestamp index: Pictures (binary payloads) and Notes (texts).
struct KindsRecording {
  Recording recording;
  std::vector<double> voltage, phaseRe, phaseIm, times;
  std::vector<std::vector<uint8_t>> pictures;
  std::vector<double> pictureTimes;
  std::vector<std::string> notes;
  std::vector<double> noteTimes;
};

KindsRecording Kinds() {
  KindsRecording kinds;
  std::vector<uint8_t> payloads(7, 0xAA);  // lead bytes before the first payload
  AsyncIndexChannelContents pictures;
  pictures.channelIndex = 0;
  pictures.valueSize = 16;
  pictures.leafCapacity = 3;
  const std::vector<int64_t> sizes = {25, 10, 0, 30, 3};
  for (size_t i = 0; i < sizes.size(); ++i) {
    const int64_t locator[2] = {static_cast<int64_t>(payloads.size()), sizes[i]};
    std::vector<uint8_t> payload;
    for (int64_t b = 0; b < sizes[i]; ++b) payload.push_back(static_cast<uint8_t>(i * 40 + b));
    payloads.insert(payloads.end(), payload.begin(), payload.end());
    kinds.pictures.push_back(payload);
    const auto* bytes = reinterpret_cast<const uint8_t*>(locator);
    pictures.values.insert(pictures.values.end(), bytes, bytes + sizeof locator);
    pictures.timestamps.push_back(0.1 * double(i + 1));
  }
  kinds.pictureTimes = pictures.timestamps;

  // A stored text sample is 256 values of the text type (4 bytes each, the
  // characters' codes); the library's data type table reads every such value as 0,
  // so these samples come back as empty texts with their own time stamps.
  AsyncIndexChannelContents notes;
  notes.channelIndex = 1;
  notes.valueSize = kTextBytes * 4;
  notes.leafCapacity = 2;
  const std::vector<std::string> written = {"first note", "", "second", std::string(kTextBytes - 1, 'x'), "last"};
  for (size_t i = 0; i < written.size(); ++i) {
    std::vector<uint8_t> value(size_t(kTextBytes) * 4, 0);
    for (size_t c = 0; c < written[i].size(); ++c) value[c * 4] = static_cast<uint8_t>(written[i][c]);
    notes.values.insert(notes.values.end(), value.begin(), value.end());
    notes.timestamps.push_back(0.05 + 0.17 * double(i));
    kinds.notes.push_back("");
  }
  kinds.noteTimes = notes.timestamps;

  AsyncIndexWriter index(true);
  index.AddChannel(pictures);
  index.AddChannel(notes);
  index.EndRecords();

  constexpr int kBlockBytes = kBlockSize * 8 + kBlockSize * 8 + kBlockSize * 16;
  SetupBuilder setup;
  setup.Property("SampleRate", 1000.0).Property("BlockSize", kBlockSize).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(kBlockBytes, std::vector<int>(6, 32));
  setup.AddChannel("AI;0", "Voltage", 7)
      .Set("Unit", "V")
      .Set("Description", "supply voltage")
      .With(CustomPropsElement({{"Gain", {{"Int", "5"}}}, {"Sensor", {{"String", "PT100"}}}}))
      .With(OnlineInfoRecord(0, std::vector<int>(6, 0)));
  setup.AddChannel("AI;1", "Pictures", 12).Set("Async", true).With(OnlineInfoRecord(0, {}, 0, "BINDATA"));
  setup.AddChannel("CAN;4;7", "Frames", 15).With(OnlineInfoRecord(800, std::vector<int>(6, 0)));
  setup.AddChannel("AI;2", "Phase", 10).With(OnlineInfoRecord(1600, std::vector<int>(6, 0)));
  setup.AddChannel("AI;3", "Notes", 11).Set("Async", true).With(OnlineInfoRecord(0, {}, 1));
  // Header entries: single values of the variables kept in the single-value streams.
  for (const auto& [entry, name, type, offset] : std::vector<std::tuple<std::string, std::string, int, int>>{
           {"Variables;1;0", "Serial", 11, 0}, {"Variables;1;1", "Count", 4, 8}, {"Variables;1;2", "Gain", 7, 16}}) {
    setup.Store(entry);
    setup.VariableChannel(entry, name, type).Set("SingleValue", true).With(OnlineInfoRecord(offset));
  }
  const std::string serial = "SN-42";
  const int32_t count = 42;
  const double gain = 1.5;
  std::vector<uint8_t> countBytes(4), gainBytes(8);
  std::memcpy(countBytes.data(), &count, 4);
  std::memcpy(gainBytes.data(), &gain, 8);
  const SingleValueStreams single = BuildSingleValueStreams(
      {{0, {serial.begin(), serial.end()}, int32_t(serial.size())}, {8, countBytes, 1}, {16, gainBytes, 1}});
  std::vector<uint8_t> blocks(size_t(kBlocks) * kBlockBytes, 0);
  for (int k = 0; k < kBlocks * kBlockSize; ++k) {
    const double volts = k / 4.0;
    const double parts[2] = {double(k), -2.0 * k};
    std::memcpy(blocks.data() + (k / kBlockSize) * kBlockBytes + (k % kBlockSize) * 8, &volts, 8);
    std::memcpy(blocks.data() + (k / kBlockSize) * kBlockBytes + 1600 + (k % kBlockSize) * 16, parts, 16);
    kinds.voltage.push_back(volts);
    kinds.phaseRe.push_back(parts[0]);
    kinds.phaseIm.push_back(parts[1]);
    kinds.times.push_back(k / 1000.0);
  }
  DataLayout layout;
  layout.regions = {{0, 0, kBlocks, 0}};
  kinds.recording.setupText = setup.Text();
  // One region with a keyboard mark inside it.
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0, 0, 0, 0, 0, 0});
  EventRecord mark;
  mark.type = 20;
  mark.recordVersion = 2;
  mark.block = 2;
  mark.offset = 50;
  mark.text = "valve opened";
  events.Add(mark);
  events.AddStop(kBlocks, 0);
  kinds.recording.events = events.Finish();
  kinds.recording.Add("DBDATA", blocks).Add("IBDATA0", std::vector<uint8_t>(size_t(kBlocks) * 32, 0));
  kinds.recording.AddIndex(index.Streams());
  kinds.recording.Add("BINDATA", payloads);
  kinds.recording.Add("SVINFO", single.info).Add("SVDATA2", single.data);
  return kinds;
}

std::string KindsExpected(const KindsRecording& kinds) {
  std::ostringstream out;
  out << "{\"Voltage\":{\"values\":" << Numbers(kinds.voltage) << ",\"times\":" << Numbers(kinds.times) << "},"
      << "\"Phase\":{\"re\":" << Numbers(kinds.phaseRe) << ",\"im\":" << Numbers(kinds.phaseIm)
      << ",\"times\":" << Numbers(kinds.times) << "},\"Pictures\":{\"payloads\":[";
  for (size_t i = 0; i < kinds.pictures.size(); ++i) out << (i ? "," : "") << Quoted(Hex(kinds.pictures[i]));
  out << "],\"times\":" << Numbers(kinds.pictureTimes) << "},\"Notes\":{\"texts\":[";
  for (size_t i = 0; i < kinds.notes.size(); ++i) out << (i ? "," : "") << Quoted(Hex({kinds.notes[i].begin(), kinds.notes[i].end()}));
  out << "],\"times\":" << Numbers(kinds.noteTimes) << "},"
      << "\"header\":{\"Serial\":\"SN-42\",\"Count\":42,\"Gain\":1.5},"
      << "\"mark\":{\"type\":20,\"time\":0.25,\"text\":\"valve opened\"}}";
  return out.str();
}

// The viewer's recording: four reduced levels at IBRate 4 over 40 s at 1 kHz, in
// three regions: the second starts inside a block and inside the level-2 and
// level-3 intervals the first stopped in (those records hold samples of both),
// the third after a long gap. Voltage (doubles), Current (int16, negative scale:
// its reduced extremes come out exchanged), Torque (a quarter of the rate) and
// Pressure (asynchronous, in the timestamp index, whose reduced items hold the
// statistics of the signal it was taken from, not of its samples). The values are
// noise with spikes, so extremes lie anywhere inside an interval.
constexpr int kViewerBlockSize = 100;
constexpr int kViewerIBRate = 4;
constexpr int kViewerLevels = 4;
constexpr int kViewerDivider = 4;
constexpr int64_t kViewerPositions = 400 * kViewerBlockSize;
const std::vector<RecordedRegion> kViewerRegions = {{0, 0, 120, 0}, {125, 40, 200, 60}, {260, 0, 400, 0}};

std::vector<double> Noise(int64_t count, uint32_t seed, double scale, double spike) {
  std::vector<double> values(static_cast<size_t>(count));
  uint32_t state = seed;
  for (size_t i = 0; i < values.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    const double unit = double(state >> 8) / double(1 << 24);
    values[i] = scale * (std::sin(double(i) / 700.0) + 0.5 * unit) + ((state >> 4) % 997 == 0 ? spike : 0.0);
  }
  return values;
}

void WriteViewerRecording(const std::string& path) {
  DataLayout layout;
  layout.blockSize = kViewerBlockSize;
  layout.ibRate = kViewerIBRate;
  layout.regions = kViewerRegions;

  std::vector<double> voltage = Noise(kViewerPositions, 7, 10.0, 25.0);
  std::vector<double> currentStored = Noise(kViewerPositions, 31, 3000.0, 20000.0);
  std::vector<int16_t> current(currentStored.size());
  for (size_t i = 0; i < current.size(); ++i) {
    current[i] = static_cast<int16_t>(std::lround(currentStored[i]));
    currentStored[i] = current[i];
  }
  // Torque: one sample per kViewerDivider positions; its statistics over an
  // interval are those of the samples, so each position holds its sample's value.
  const std::vector<double> torqueSamples = Noise(kViewerPositions / kViewerDivider, 99, 50.0, -400.0);
  std::vector<double> torqueHeld(static_cast<size_t>(kViewerPositions));
  for (size_t p = 0; p < torqueHeld.size(); ++p) torqueHeld[p] = torqueSamples[p / kViewerDivider];
  const std::vector<double> pressureSignal = Noise(kViewerPositions, 1234, 2.0, 9.0);

  std::vector<LayoutChannel> layouts(4);
  layouts[1].valueBytes = 2;
  layouts[1].doublePrecision = false;
  layouts[2].srDiv = kViewerDivider;
  layouts[3].asyncIndex = 0;
  const OnlineLayout online = PlanOnlineLayout(kViewerBlockSize, layouts);

  AsyncIndexChannelContents pressure;
  pressure.channelIndex = 0;
  pressure.valueSize = sizeof(double);
  pressure.leafCapacity = 64;
  std::vector<double> pressureValues;
  uint32_t state = 4321;
  for (const RecordedRegion& region : kViewerRegions) {
    const int64_t stop = int64_t{region.stopBlock} * kViewerBlockSize + region.stopOffset;
    for (int64_t p = int64_t{region.startBlock} * kViewerBlockSize + region.startOffset + 2; p < stop;) {
      pressure.timestamps.push_back(double(p) / 1000.0);
      pressureValues.push_back(pressureSignal[static_cast<size_t>(p)]);
      state = state * 1103515245u + 12345u;
      p += 1 + (state >> 16) % 40;
    }
  }
  pressure.values = EncodeDoubles(pressureValues);
  AsyncIndexWriter index(true);
  index.AddChannel(pressure);
  index.EndRecords();

  const std::vector<SyncChannelSamples> samples = {
      {online.channels[0].dbOffset, 8, 1, EncodeDoubles(voltage)},
      {online.channels[1].dbOffset, 2, 1, EncodeInt16(current)},
      {online.channels[2].dbOffset, 8, kViewerDivider, EncodeDoubles(torqueSamples)}};
  const std::vector<ReducedChannelValues> reduced = {{online.channels[0].ibOffsets, true, voltage},
                                                     {online.channels[1].ibOffsets, false, currentStored},
                                                     {online.channels[2].ibOffsets, true, torqueHeld},
                                                     {online.channels[3].ibOffsets, true, pressureSignal}};
  std::vector<ReducedLevelStream> levels;
  for (int level = 0; level < kViewerLevels; ++level) {
    levels.push_back(BuildReducedLevel(layout, level, online.recordBytes[static_cast<size_t>(level)], reduced));
  }

  SetupBuilder setup;
  setup.Property("SampleRate", 1000.0).Property("BlockSize", kViewerBlockSize).Property("IBRate", kViewerIBRate);
  setup.Property("StartStoreTime", 46001.5);
  setup.MeasurementOnlineInfo(online.blockBytes, online.RecordBytes());
  setup.AddChannel("AI;0", "Voltage", 7).Set("Unit", "V").Set("BitCount", 64).Set("Range", 10)
      .With(OnlineInfoRecord(layouts[0], online.channels[0]));
  setup.AddChannel("AI;1", "Current", 2).Set("Unit", "A").Set("BitCount", 16).Set("Scale", -0.01)
      .Set("Offset", 2.5).With(OnlineInfoRecord(layouts[1], online.channels[1]));
  setup.AddChannel("AI;2", "Torque", 7).Set("Unit", "Nm").Set("BitCount", 64).Set("Range", 10)
      .Set("SRDiv", kViewerDivider).With(OnlineInfoRecord(layouts[2], online.channels[2]));
  setup.AddChannel("AI;3", "Pressure", 7).Set("Unit", "bar").Set("Async", true).Set("BitCount", 64)
      .Set("Range", 10).With(OnlineInfoRecord(layouts[3], online.channels[3]));

  Recording recording;
  recording.setupText = setup.Text();
  recording.measInfoText = MeasInfoText(0);
  recording.events = RegionEventStream(layout, RegionLevelOffsets(levels, layout.regions.size()));
  recording.Add("DBDATA", BuildDataBlocks(layout, online.blockBytes, samples));
  for (int level = 0; level < kViewerLevels; ++level) {
    recording.Add("IBDATA" + std::to_string(level), levels[static_cast<size_t>(level)].bytes);
  }
  recording.AddIndex(index.Streams());
  WriteRecording(path, recording);
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];
  SampleRecordingContents sample = SampleRecording();
  WriteRecording(directory + "/sample.kvd", sample.recording);
  const KindsRecording kinds = Kinds();
  WriteRecording(directory + "/kinds.kvd", kinds.recording);
  WriteViewerRecording(directory + "/viewer.kvd");
  WriteText(directory + "/expected.json",
            "{\"sample\":" + SampleExpected(sample) + ",\"kinds\":" + KindsExpected(kinds) + "}\n");
  sample.recording.zipPackaged = true;
  WriteRecording(directory + "/sample.kxz", sample.recording);
  // Damaged: a recording without its setup document, and bytes that are no recording.
  Recording noSetup = sample.recording;
  noSetup.zipPackaged = false;
  noSetup.setupText.clear();
  WriteRecording(directory + "/nosetup.kvd", noSetup);
  WriteText(directory + "/garbage.kvd", std::string(4096, '\x5a'));
  std::printf("wrote the test recordings to %s\n", directory.c_str());
  return 0;
}
