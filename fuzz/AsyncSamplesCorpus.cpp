// Writes the seed corpus of async_samples_fuzzer with the test kit: small plain
// recordings whose asynchronous channels lie in legacy blocks (online at levels 0
// and 1, offline on their own streams, an array channel) or in timestamp indexes
// (shared and per node stream, finalized and unfinished, small leaves, runs of
// equal time stamps across leaves and at region edges, an array channel, a binary
// channel with its payload stream). Usage: async_samples_corpus_writer <directory>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/LegacyAsyncWriter.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"

using namespace Korvane::DataReader::TestKit;

namespace {

constexpr int kBlockSize = 100;
constexpr double kSampleRate = 1000;
constexpr int kIBRate = 4;
constexpr int kBlocks = 12;
constexpr int kSyncBlockBytes = kBlockSize * 8;
constexpr int kTypeFloat = 5;
constexpr int kTypeDouble = 7;
constexpr int kTypeBinary = 12;

// Regions [0.1, 0.35) s, [0.5, 0.9) s and [0.92, 1.2) s: the first stops inside a
// block, the third starts in the block the second stopped before.
DataLayout Layout(bool oneRegion = false) {
  DataLayout layout;
  layout.blockSize = kBlockSize;
  layout.ibRate = kIBRate;
  layout.regions = {{1, 0, 3, 50}, {5, 0, 9, 0}, {9, 20, 12, 0}};
  if (oneRegion) layout.regions = {{0, 0, kBlocks, 0}};
  return layout;
}

// Time stamps from `from` to `to` seconds, `count` of them, each `repeat` times
// where i % every == 0 (runs of equal time stamps), plus runs at the region edges.
std::vector<double> Times(double from, double to, int count, int every, int repeat, bool edges) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const double t = from + (to - from) * i / count;
    const int copies = every > 0 && i % every == 0 ? repeat : 1;
    for (int c = 0; c < copies; ++c) times.push_back(t);
    if (edges && i + 1 < count) {
      const double next = from + (to - from) * (i + 1) / count;
      for (const double edge : {0.1, 0.35, 0.5, 0.9, 0.92}) {
        if (t < edge && edge <= next) times.insert(times.end(), 5, edge);
      }
    }
  }
  return times;
}

SetupBuilder& BaseSetup(SetupBuilder& setup, const std::vector<int>& recordBytes, int storeMode) {
  setup.Property("SampleRate", kSampleRate).Property("BlockSize", kBlockSize).Property("IBRate", kIBRate);
  setup.Property("StartStoreTime", 46000.25).Property("StartingIBLevel", 0);
  if (storeMode >= 0) setup.DataStoreMode(storeMode);
  setup.MeasurementOnlineInfo(kSyncBlockBytes, recordBytes);
  setup.AddChannel("AI;0", "Sync", kTypeDouble).Set("BitCount", 64).With(OnlineInfoRecord(0, std::vector<int>(6, 0)));
  return setup;
}

ReducedChannelValues Reduced(int level, int32_t offset, double value) {
  ReducedChannelValues item;
  item.itemOffsets[static_cast<size_t>(level)] = offset;
  item.values.assign(static_cast<size_t>(kBlocks * kBlockSize), value);
  return item;
}

std::vector<uint8_t> SyncBlocks(const DataLayout& layout) {
  std::vector<double> values(static_cast<size_t>(kBlocks * kBlockSize));
  for (size_t i = 0; i < values.size(); ++i) values[i] = 0.5 * static_cast<double>(i % 17);
  return BuildDataBlocks(layout, kSyncBlockBytes, {{0, 8, 1, EncodeDoubles(values), 1}});
}

// As WriteRecording writes a plain file, with small pages so that the seeds stay
// small and a mutation lands in stored bytes more often than in page padding.
void Write(const std::string& path, const Recording& recording) {
  constexpr int32_t kPayloadBytes = 512;
  std::vector<StoredStreamLayout> layouts;
  auto add = [&](const std::string& code, std::vector<uint8_t> data) {
    layouts.push_back({.code = code, .data = std::move(data), .payloadSize = kPayloadBytes});
  };
  add(kSetupStreamCode, std::vector<uint8_t>(recording.setupText.begin(), recording.setupText.end()));
  add(kEventStreamCode, recording.events);
  for (const auto& [code, data] : recording.streams) add(code, data);
  MultiStreamOptions options;
  options.description = DescriptionForVersion(recording.version);
  options.interleave = false;
  WriteMultiStreamFile(path, options, layouts);
  std::printf("%s\n", path.c_str());
}

// Legacy blocks: "X" online at level 0 (item, then tail), "Y" online at level 1,
// "Z" on its own streams with items, "W" a float array of three on its own
// streams storing tails alone.
Recording LegacyRecording(bool oneRegion, int storeMode, double density) {
  const DataLayout layout = Layout(oneRegion);
  const int32_t record0 = 32 + 32 + 24;  // Sync item, X item, X tail
  const int32_t record1 = 64 + 32 + 24;  // Sync item and sums, Y item, Y tail
  SetupBuilder setup;
  BaseSetup(setup, {record0, record1, 0, 0, 0, 0}, storeMode);
  setup.AddChannel("AI;1", "X", kTypeDouble).Set("Async", true).Set("BitCount", 64)
      .With(OnlineInfoRecord(0, {32, 0, 0, 0, 0, 0}));
  setup.AddChannel("AI;2", "Y", kTypeDouble).Set("Async", true).Set("BitCount", 64)
      .Set("StoredFirstAsyncIBLevel", 1).With(OnlineInfoRecord(0, {0, 64, 0, 0, 0, 0}));

  auto channel = [&](int count, int level, int32_t sampleBytes, int32_t arraySize) {
    LegacyAsyncChannel c;
    c.timestamps = Times(0.0, 1.25, static_cast<int>(count * density), 7, 3, true);
    c.level = level;
    c.sampleBytes = sampleBytes;
    c.arraySize = arraySize;
    c.sampleRate = kSampleRate;
    return c;
  };
  const LegacyAsyncBlocks x = BuildLegacyAsyncBlocks(layout, channel(60, 0, 8, 1));
  const LegacyAsyncBlocks y = BuildLegacyAsyncBlocks(layout, channel(30, 1, 8, 1));
  const LegacyAsyncBlocks z = BuildLegacyAsyncBlocks(layout, channel(40, 0, 8, 1), 5);
  const LegacyAsyncBlocks w = BuildLegacyAsyncBlocks(layout, channel(20, 0, 4, 3), 3);

  ReducedLevelStream level0 = BuildReducedLevel(layout, 0, record0, {Reduced(0, 0, 1.0), Reduced(0, 32, 2.0)});
  ReducedLevelStream level1 = BuildReducedLevel(layout, 1, record1, {Reduced(1, 0, 1.0), Reduced(1, 64, 3.0)});
  PatchLegacyTails(level0.bytes, record0, 64, x);
  PatchLegacyTails(level1.bytes, record1, 96, y);

  ReducedChannelValues zItem = Reduced(0, 0, 4.0);
  OfflineRecord zRecord;
  zRecord.status = 3;
  zRecord.dbStreamName = "ZDATA";
  zRecord.posInDBStream = static_cast<int64_t>(z.dataStart);
  zRecord.ibStreams = {{"ZIB0", 6}};
  zRecord.startPos = 0;  // the own streams cover every block
  zRecord.endPos = kBlocks;
  setup.AddChannel("AI;3", "Z", kTypeDouble).Set("Async", true).Set("BitCount", 64).With(OfflineInfoRecord(zRecord));
  OfflineRecord wRecord = zRecord;
  wRecord.dbStreamName = "WDATA";
  wRecord.posInDBStream = static_cast<int64_t>(w.dataStart);
  wRecord.ibStreams = {{"WIB0", 0}};
  setup.AddChannel("AI;4", "W", kTypeFloat).Set("Async", true)
      .With(ArrayInfoElement({{"x", "", 3}})).With(OfflineInfoRecord(wRecord));

  Recording recording;
  recording.setupText = setup.Text();
  recording.events = RegionEventStream(layout, RegionLevelOffsets({level0, level1}, layout.regions.size()));
  // Only one seed carries the data blocks: the asynchronous reads never need them.
  if (!oneRegion && storeMode < 0) recording.Add("DBDATA", SyncBlocks(layout));
  recording.Add("IBDATA0", level0.bytes).Add("IBDATA1", level1.bytes);
  recording.Add("DBASDAT0", x.data).Add("DBASDAT1", y.data);
  recording.Add("ZDATA", z.data).Add("ZIB0", BuildOwnLegacyReducedStream(layout, &zItem, z, 6));
  recording.Add("WDATA", w.data).Add("WIB0", BuildOwnLegacyReducedStream(layout, nullptr, w));
  return recording;
}

struct IndexOptions {
  bool finalized = true;
  uint32_t leafCapacity = 4;
  int count = 40;
  bool oneRegion = false;
  bool withBinary = true;
  int storeMode = -1;
};

AsyncIndexChannelContents IndexChannel(uint32_t index, uint32_t valueSize, std::vector<double> times,
                                       uint32_t leafCapacity) {
  AsyncIndexChannelContents contents;
  contents.channelIndex = index;
  contents.valueSize = valueSize;
  contents.timestamps = std::move(times);
  contents.leafCapacity = leafCapacity;
  return contents;
}

// Payloads of 0 to 12 bytes back to back, and the locators of `count` samples.
std::pair<std::vector<uint8_t>, std::vector<uint8_t>> BinaryPayloads(size_t count) {
  std::vector<uint8_t> payloads;
  std::vector<uint8_t> locators;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t position = payloads.size();
    const uint64_t size = i % 13;
    for (uint64_t k = 0; k < size; ++k) payloads.push_back(static_cast<uint8_t>(i * 16 + k));
    for (const uint64_t word : {position, size}) {
      for (int b = 0; b < 8; ++b) locators.push_back(static_cast<uint8_t>(word >> (8 * b)));
    }
  }
  return {payloads, locators};
}

// The shared index ("DBASDATX"): "A" doubles with runs of equal time stamps, "B" a
// float array of three, "Bin" binary samples locating payloads in "BINDATA".
Recording SharedIndexRecording(const IndexOptions& options) {
  const DataLayout layout = Layout(options.oneRegion);
  SetupBuilder setup;
  BaseSetup(setup, {32, 0, 0, 0, 0, 0}, options.storeMode);
  AsyncIndexWriter writer(options.finalized);
  writer.AddChannel(IndexChannel(0, 8, Times(0.0, 1.25, options.count, 5, 4, true), options.leafCapacity));
  writer.AddChannel(IndexChannel(1, 12, Times(0.05, 1.1, options.count / 2, 0, 1, false), options.leafCapacity + 1));
  setup.AddChannel("AI;1", "A", kTypeDouble).Set("Async", true).With(OnlineInfoRecord(0, std::vector<int>(6, 0), 0));
  setup.AddChannel("AI;2", "B", kTypeFloat).Set("Async", true).With(ArrayInfoElement({{"x", "", 3}}))
      .With(OnlineInfoRecord(0, std::vector<int>(6, 0), 1));
  std::vector<uint8_t> payloads;
  if (options.withBinary) {
    const std::vector<double> times = Times(0.0, 1.2, 30, 6, 2, false);
    auto [data, locators] = BinaryPayloads(times.size());
    payloads = std::move(data);
    AsyncIndexChannelContents contents = IndexChannel(2, 16, times, 3);
    contents.values = std::move(locators);
    writer.AddChannel(contents);
    setup.AddChannel("AI;3", "Bin", kTypeBinary).Set("Async", true)
        .With(OnlineInfoRecord(0, std::vector<int>(6, 0), 2, "BINDATA"));
  }
  writer.EndRecords();
  ReducedLevelStream level0 = BuildReducedLevel(layout, 0, 32, {Reduced(0, 0, 1.0)});
  Recording recording;
  recording.setupText = setup.Text();
  recording.events = RegionEventStream(layout, RegionLevelOffsets({level0}, layout.regions.size()));
  recording.Add("IBDATA0", level0.bytes);
  recording.AddIndex(writer.Streams());
  if (options.withBinary) recording.Add("BINDATA", payloads);
  return recording;
}

// Channels on their own streams: two share the node stream "SN" (one manager),
// one has "TN" to itself; "S" finalized, "T" not.
Recording OfflineIndexRecording(uint32_t leafCapacity) {
  const DataLayout layout = Layout();
  SetupBuilder setup;
  BaseSetup(setup, {32, 0, 0, 0, 0, 0}, -1);
  AsyncIndexWriter shared(true);
  AsyncIndexWriter single(false);
  auto own = [&](AsyncIndexWriter& writer, uint32_t index, std::vector<double> times) {
    AsyncIndexChannelContents contents = IndexChannel(index, 8, std::move(times), leafCapacity);
    contents.ownStarts = true;
    contents.valueStreamGap = 16;
    contents.nodeStreamGap = 8;
    return writer.AddChannel(contents);
  };
  const AsyncIndexChannelInfo a = own(shared, 0, Times(0.0, 1.25, 50, 4, 3, true));
  const AsyncIndexChannelInfo b = own(shared, 1, Times(0.3, 0.95, 20, 0, 1, false));
  const AsyncIndexChannelInfo c = own(single, 0, Times(0.0, 1.25, 35, 6, 5, true));
  shared.EndRecords();
  single.EndRecords();
  auto offline = [](const std::string& prefix, const AsyncIndexChannelInfo& info) {
    OfflineRecord record;
    record.status = 3;
    record.dbStreamName = prefix + "V";
    record.posInDBStream = static_cast<int64_t>(info.valueStreamStart);
    record.nodeStreamName = prefix + "N";
    record.posInNodeStream = static_cast<int64_t>(info.nodeStreamStart);
    record.rootNodeStreamName = prefix + "R";
    record.asyncIndex = static_cast<int>(info.channelIndex);
    return record;
  };
  setup.AddChannel("AI;1", "a", kTypeDouble).Set("Async", true).With(OfflineInfoRecord(offline("S", a)));
  setup.AddChannel("AI;2", "b", kTypeDouble).Set("Async", true).With(OfflineInfoRecord(offline("S", b)));
  setup.AddChannel("AI;3", "c", kTypeDouble).Set("Async", true).With(OfflineInfoRecord(offline("T", c)));
  ReducedLevelStream level0 = BuildReducedLevel(layout, 0, 32, {Reduced(0, 0, 1.0)});
  Recording recording;
  recording.setupText = setup.Text();
  recording.events = RegionEventStream(layout, RegionLevelOffsets({level0}, layout.regions.size()));
  recording.Add("IBDATA0", level0.bytes);
  recording.AddIndex(shared.Streams(), "SV", "SN", "SR").AddIndex(single.Streams(), "TV", "TN", "TR");
  return recording;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  Write(out + "legacy-regions.kvd", LegacyRecording(false, -1, 1.0));
  Write(out + "legacy-one-region.kvd", LegacyRecording(true, -1, 0.5));
  Write(out + "legacy-store-mode-2.kvd", LegacyRecording(false, 2, 1.5));
  IndexOptions options;
  Write(out + "index-shared-finalized.kvd", SharedIndexRecording(options));
  options.finalized = false;
  Write(out + "index-shared-unfinished.kvd", SharedIndexRecording(options));
  options.leafCapacity = 2;
  options.count = 300;
  options.withBinary = false;
  Write(out + "index-unfinished-small-leaves.kvd", SharedIndexRecording(options));
  options.finalized = true;
  options.count = 600;
  options.leafCapacity = 3;
  Write(out + "index-finalized-deep.kvd", SharedIndexRecording(options));
  options = IndexOptions{};
  options.oneRegion = true;
  options.storeMode = 2;
  options.leafCapacity = 1;
  Write(out + "index-one-region-leaves-of-one.kvd", SharedIndexRecording(options));
  Write(out + "index-offline.kvd", OfflineIndexRecording(4));
  Write(out + "index-offline-small-leaves.kvd", OfflineIndexRecording(2));
  return 0;
}
