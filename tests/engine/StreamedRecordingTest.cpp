// The streamed writers of the test kit against the in-memory ones: for a small
// recording, and for containers with the less common options, the file written
// piece by piece is byte for byte the file built in memory. Large benchmark
// recordings are written the streamed way and rely on this.
#include <gtest/gtest.h>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/ByteWriter.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/StreamedMeasurementData.h"
#include "testkit/StreamedAsyncIndex.h"
#include "testkit/StreamedRecording.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::TestKit {
namespace {

// Regions start and stop inside blocks; the second starts in the block (and the
// level-1 interval) where the first stops, the third after a gap.
DataLayout ThreeRegions() {
  DataLayout layout;
  layout.blockSize = 20;
  layout.ibRate = 4;
  layout.regions = {{0, 0, 7, 10}, {7, 15, 19, 0}, {24, 15, 30, 4}};
  return layout;
}

TEST(StreamedRecording, EqualsTheRecordingWrittenInMemory) {
  const DataLayout layout = ThreeRegions();
  constexpr int64_t kPositions = 31 * 20;
  std::vector<int16_t> a;
  std::vector<double> b, c, full;
  for (int64_t p = 0; p < kPositions; ++p) full.push_back(static_cast<double>((p * 37) % 101) - 50.5);
  for (int64_t k = 0; k < kPositions; ++k) a.push_back(static_cast<int16_t>(k * 7 - 900));
  for (int64_t k = 0; k < kPositions / 2; ++k) b.push_back(0.25 * static_cast<double>(k));
  for (int64_t k = 0; k < kPositions / 5 - 3; ++k) c.push_back(1.0 / static_cast<double>(k + 1));  // ends early
  const std::vector<SyncChannelSamples> channels = {
      {0, 2, 1, EncodeInt16(a)}, {40, 4, 2, EncodeFloats(b)}, {80, 8, 5, EncodeDoubles(c)}};
  constexpr int32_t kBlockBytes = 40 + 40 + 32 + 8;
  std::vector<ReducedChannelValues> reduced(2);
  reduced[0].values = full;
  reduced[1] = {{32, 32}, false, full};
  constexpr int32_t kRecordBytes = 48;

  TempDir dir;
  Recording inMemory;
  inMemory.setupText = "<setup/>";
  inMemory.events = RegionEventStream(layout);
  inMemory.Add("DBDATA", BuildDataBlocks(layout, kBlockBytes, channels));
  for (int level = 0; level < 2; ++level) {
    inMemory.Add("IBDATA" + std::to_string(level), BuildReducedLevel(layout, level, kRecordBytes, reduced).bytes);
  }
  WriteRecording(dir.File("memory.kvd"), inMemory);

  std::vector<GeneratedSyncChannel> generated;
  for (const SyncChannelSamples& channel : channels) generated.push_back(GeneratedFrom(channel));
  std::vector<GeneratedReducedChannel> generatedReduced;
  for (const ReducedChannelValues& channel : reduced) {
    generatedReduced.push_back({channel.itemOffsets, channel.doublePrecision, [&full](int64_t first, int64_t count, double* out) {
                                  std::copy_n(full.begin() + first, count, out);
                                }});
  }
  DataBlockSource blocks(layout, kBlockBytes, generated);
  ReducedLevelSource level0(layout, 0, kRecordBytes, generatedReduced);
  ReducedLevelSource level1(layout, 1, kRecordBytes, generatedReduced);
  StreamedRecording streamed;
  streamed.setupText = inMemory.setupText;
  streamed.events = inMemory.events;
  streamed.streams = {blocks.Source("DBDATA", 4096), level0.Source("IBDATA0", 4096), level1.Source("IBDATA1", 4096)};
  WriteRecordingStreamed(dir.File("streamed.kvd"), streamed);

  EXPECT_EQ(level0.regionFirstRecord(), BuildReducedLevel(layout, 0, kRecordBytes, reduced).regionFirstRecord);
  EXPECT_EQ(level1.regionFirstRecord(), BuildReducedLevel(layout, 1, kRecordBytes, reduced).regionFirstRecord);
  EXPECT_EQ(ReadFile(dir.File("streamed.kvd")), ReadFile(dir.File("memory.kvd")));
}

TEST(StreamedRecording, DataBlocksWithASharedBlockAndAnArrayChannel) {
  DataLayout layout = ThreeRegions();
  layout.regions = {{0, 0, 3, 8}, {3, 12, 6, 0}};  // the second starts in the block the first stops in
  std::vector<int16_t> values;
  for (int i = 0; i < 300; ++i) values.push_back(static_cast<int16_t>(i * 3 + 1));
  SyncChannelSamples array{4, 2, 4, EncodeInt16(values)};
  array.arraySize = 3;
  const std::vector<SyncChannelSamples> channels = {array, {0, 2, 10, EncodeInt16({7, 8, 9})}};
  constexpr int32_t kBlockBytes = 4 + 5 * 6;
  const std::vector<uint8_t> built = BuildDataBlocks(layout, kBlockBytes, channels);
  DataBlockSource source(layout, kBlockBytes, {GeneratedFrom(channels[0]), GeneratedFrom(channels[1])});
  ASSERT_EQ(source.size(), static_cast<int64_t>(built.size()));
  std::vector<uint8_t> streamed(built.size());
  // Pieces that start and end inside blocks.
  for (size_t at = 0; at < streamed.size(); at += 7) {
    source.Fill(static_cast<int64_t>(at), streamed.data() + at, std::min<size_t>(7, streamed.size() - at));
  }
  EXPECT_EQ(streamed, built);
}

TEST(StreamedRecording, RegionsOutOfOrderAreRefused) {
  DataLayout layout = ThreeRegions();
  layout.regions = {{6, 0, 9, 0}, {0, 0, 5, 0}};
  EXPECT_THROW(ReducedLevelSource(layout, 0, 32, {}), std::invalid_argument);
}

TEST(StreamedMultiStream, ContainerOptionsGiveTheSameFile) {
  struct Case {
    const char* name;
    MultiStreamOptions options;
  };
  MultiStreamOptions pageTable;
  pageTable.writePageTable = true;
  pageTable.extraPageTableRecords = {{1, 4096}};
  MultiStreamOptions firstGeneration;
  firstGeneration.generation = 1;
  firstGeneration.interleave = false;
  MultiStreamOptions third;
  third.generation = 3;
  third.description = DescriptionForVersion(8012);
  const Case cases[] = {{"page table", pageTable}, {"generation 1, one stream after another", firstGeneration},
                        {"generation 3", third}};
  const std::vector<uint8_t> large = PatternBytes(1000, 3), small = PatternBytes(77, 9), none;
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<StoredStreamLayout> layouts = {{"LARGE", large, 128, true, true}, {"EMPTY", none, 64}, {"SMALL", small, 50, true}};
    std::vector<StreamSource> sources;
    for (const StoredStreamLayout& layout : layouts) {
      sources.push_back(BytesSource(layout.code, layout.data, layout.payloadSize));
      sources.back().inPageTable = layout.inPageTable;
      sources.back().nextLinksFromTable = layout.nextLinksFromTable;
    }
    const WrittenMultiStream built = BuildMultiStreamFile(c.options, layouts);
    const StreamedMultiStream written = WriteMultiStreamFileStreamed(dir.File("f.kvd"), c.options, sources);
    EXPECT_EQ(ReadFile(dir.File("f.kvd")), built.bytes);
    ASSERT_EQ(written.streams.size(), built.streams.size());
    EXPECT_EQ(written.fileBytes, static_cast<int64_t>(built.bytes.size()));
    // The piece walk finds stream bytes where the file holds them.
    std::vector<uint8_t> back;
    ForEachFilePiece(written.streams[0], written.pageHeaderBytes, 100, 300, [&](int64_t at, int64_t n) {
      back.insert(back.end(), built.bytes.begin() + at, built.bytes.begin() + at + n);
    });
    EXPECT_EQ(back, std::vector<uint8_t>(large.begin() + 100, large.begin() + 400));
  }
}

// Each channel's time stamps: runs of equal stamps across leaf ends (the
// duplicate-continuation flag), leaf counts that fill the levels exactly, leave
// them ragged, or make a single leaf.
TEST(StreamedAsyncIndex, EqualsTheIndexWrittenInMemory) {
  struct Channel {
    uint32_t index, valueSize, leafCapacity;
    int64_t samples;
  };
  const Channel channels[] = {{4, 8, 3, 3 * 521 + 2}, {0, 4, 2, 2 * 64}, {9, 8, 512, 300}, {2, 8, 5, 0}};
  auto timestamp = [](uint32_t channel, int64_t k) { return 0.001 * static_cast<double>(k / 4 * 3 + channel); };
  auto value = [](uint32_t channel, int64_t k) { return static_cast<uint8_t>(k * 7 + channel); };

  AsyncIndexWriter inMemory(true);
  std::vector<GeneratedIndexChannel> generated;
  for (const Channel& c : channels) {
    AsyncIndexChannelContents contents;
    contents.channelIndex = c.index;
    contents.valueSize = c.valueSize;
    contents.leafCapacity = c.leafCapacity;
    for (int64_t k = 0; k < c.samples; ++k) {
      contents.timestamps.push_back(timestamp(c.index, k));
      for (uint32_t b = 0; b < c.valueSize; ++b) contents.values.push_back(value(c.index, k * c.valueSize + b));
    }
    inMemory.AddChannel(contents);
    generated.push_back({c.index, c.valueSize, c.samples, c.leafCapacity,
                         [&timestamp, c](int64_t k) { return timestamp(c.index, k); },
                         [&value, c](int64_t first, int64_t count, uint8_t* out) {
                           for (int64_t b = first * c.valueSize; b < (first + count) * c.valueSize; ++b) *out++ = value(c.index, b);
                         }});
  }
  inMemory.EndRecords();
  const AsyncIndexStreams expected = inMemory.Streams();

  StreamedAsyncIndex streamed(std::move(generated));
  const std::vector<StreamSource> sources = streamed.Sources(100);
  const std::vector<uint8_t>* wanted[] = {&expected.valueStream, &expected.nodeStream, &expected.rootNodeStream};
  for (size_t s = 0; s < sources.size(); ++s) {
    SCOPED_TRACE(sources[s].code);
    ASSERT_EQ(sources[s].size, static_cast<int64_t>(wanted[s]->size()));
    // Pieces front to back that start and end inside leaves and nodes.
    std::vector<uint8_t> bytes(static_cast<size_t>(sources[s].size));
    for (size_t at = 0; at < bytes.size(); at += 100) {
      sources[s].fill(static_cast<int64_t>(at), bytes.data() + at, std::min<size_t>(100, bytes.size() - at));
    }
    EXPECT_EQ(bytes, *wanted[s]);
  }
}

}  // namespace
}  // namespace Korvane::DataReader::TestKit
