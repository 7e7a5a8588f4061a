// Engine initialisation on recordings written by the test kit: the reduced level
// count, the storing kind, durations and start times, sample counts, reduced block
// ranges and the attachment of the timestamp indexes.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "common/DataReaderLibException.h"
#include "testkit/AsyncIndexWriter.h"
#include "testkit/EventStreamWriter.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::BaseSetup;
using EngineTest::DataBlocks;
using EngineTest::kRecordBytes;
using EngineTest::OpenedRecording;
using TestKit::ChannelDefinition;
using TestKit::EventStreamWriter;
using TestKit::OfflineInfoRecord;
using TestKit::OfflineRecord;
using TestKit::OnlineInfoRecord;

OfflineRecord OwnStreams(int status, const std::string& dataStream, int64_t position = 0,
                         std::vector<std::pair<std::string, int64_t>> levelStreams = {}) {
  OfflineRecord record;
  record.status = status;
  record.dbStreamName = dataStream;
  record.posInDBStream = position;
  record.ibStreams = std::move(levelStreams);
  return record;
}

std::vector<uint8_t> Records(int count) { return std::vector<uint8_t>(static_cast<size_t>(count) * kRecordBytes, 1); }

TestKit::Recording WithRegions(const TestKit::SetupBuilder& setup, const std::vector<TestKit::RecordedRegion>& regions) {
  TestKit::DataLayout layout;
  layout.regions = regions;
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  std::vector<std::vector<int32_t>> offsets;
  for (size_t r = 0; r < regions.size(); ++r) offsets.push_back({static_cast<int32_t>(layout.StoredBlockBase(r))});
  recording.events = TestKit::RegionEventStream(layout, offsets);
  return recording;
}

// The base setup over the regions, with `blocks` data blocks and level-0 records.
TestKit::Recording StoredRecording(const std::vector<TestKit::RecordedRegion>& regions, int blocks) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  TestKit::Recording recording = WithRegions(setup, regions);
  recording.Add("DBDATA", DataBlocks(blocks)).Add("IBDATA0", Records(blocks));
  return recording;
}

TEST(EngineLevels, CountEndsAtTheHighestNonEmptyLevelStream) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 100, 0}});
  recording.Add("DBDATA", DataBlocks(100)).Add("IBDATA0", Records(100)).Add("IBDATA1", Records(5));
  recording.Add("IBDATA2", {});
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetIBLevelCount(), 2);
  EXPECT_EQ(opened.engine().GetStream(CDataLoadEngine::kLevelSlot, 2), nullptr);
  EXPECT_EQ(opened.engine().GetAllBlocksInStream(1), 5);
  EXPECT_EQ(opened.engine().GetAllBlocksInStream(2), 0);
}

TEST(EngineLevels, WithoutLevelStreamsTheFirstOwnStreamsChannelCounts) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  const OfflineRecord twoLevels = OwnStreams(2, "OWN1", 0, {{"OWN1IB0", 0}, {"OWN1IB1", 0}});
  const OfflineRecord fourLevels = OwnStreams(3, "OWN2", 0, {{"I0", 0}, {"I1", 0}, {"I2", 0}, {"I3", 0}});
  const OfflineRecord threeLevels = OwnStreams(3, "OWN3", 0, {{"J0", 0}, {"J1", 0}, {"J2", 0}});
  setup.AddChannel("AI;1", "two", 7).With(OfflineInfoRecord(twoLevels));
  setup.AddChannel("AI;2", "four", 7).With(OfflineInfoRecord(fourLevels));
  setup.AddChannel("AI;3", "three", 7).With(OfflineInfoRecord(threeLevels));
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10));
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetIBLevelCount(), 4);
}

TEST(EngineLevels, NoLevelAndNoSingleValueIsCorrupt) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", {});
  EXPECT_THROW(OpenedRecording opened(recording), FileCorruptException);
}

TEST(EngineLevels, SingleValuesAloneNeedNoLevel) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;1", "result", 7).Set("SingleValue", true).With(OnlineInfoRecord(8));
  setup.AddChannel("AI;2", "missing", 7).Set("SingleValue", true).With(OnlineInfoRecord(16));
  TestKit::SingleValueStreams values =
      TestKit::BuildSingleValueStreams({{8, TestKit::EncodeDoubles({2.5}), 1}, {16, {}, 0}});
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10)).Add("SVINFO", values.info).Add("SVDATA2", values.data);
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetIBLevelCount(), 0);
  EXPECT_EQ(opened.engine().GetSamplesCount(&opened.Channel("AI;1")), 1);
  EXPECT_EQ(opened.engine().GetSamplesCount(&opened.Channel("AI;2")), 0);
}

TEST(EngineSingleValues, OwnStreamFlagAndDamagedPositions) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  const OfflineRecord stored = OwnStreams(2, "SV1", 4);
  const OfflineRecord unstored = OwnStreams(2, "SV2", 0);
  const OfflineRecord beyond = OwnStreams(2, "SV1", 4000);
  setup.AddChannel("AI;1", "a", 7).Set("SingleValue", true).With(OfflineInfoRecord(stored));
  setup.AddChannel("AI;2", "b", 7).Set("SingleValue", true).With(OfflineInfoRecord(unstored));
  setup.AddChannel("AI;3", "c", 7).Set("SingleValue", true).With(OfflineInfoRecord(beyond));
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", Records(10));
  recording.Add("SV1", TestKit::OwnSingleValue(true, TestKit::EncodeDoubles({1.0}), 4));
  recording.Add("SV2", TestKit::OwnSingleValue(false, TestKit::EncodeDoubles({1.0})));
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetSingleValueCount(&opened.Channel("AI;1")), 1);
  EXPECT_EQ(opened.engine().GetSingleValueCount(&opened.Channel("AI;2")), 0);
  EXPECT_THROW(opened.engine().GetSingleValueCount(&opened.Channel("AI;3")), FileCorruptException);
}

TEST(EngineStoringKind, ReducedRecordingCountsNoSynchronousSamples) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.storingWords = "reduced data";
  recording.Add("IBDATA0", Records(10));
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetStoringKind(), Reduced);
  EXPECT_EQ(opened.engine().GetSamplesCount(&opened.Channel("AI;0")), 0);
}

TEST(EngineStoringKind, MixedRecordingSkipsTheRepairAndMeasuresTheLevelStream) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  // Events far beyond the data stay as they are; the first start lies after 0.
  TestKit::Recording recording = WithRegions(setup, {{50, 0, 5000, 0}});
  recording.storingWords = "mixed reduced";
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", Records(400)).Add("IBDATA1", Records(20));
  recording.Add("IBDATA2", Records(1));
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetStoringKind(), Mixed);
  EXPECT_EQ(opened.engine().GetRegions().at(0).stop_pos, 500000);
  EXPECT_EQ(opened.engine().GetOffsetStartStoreTimeUTC(), 0.0);
  // Three levels: the second-highest (level 1) holds 20 records of 2000 samples.
  EXPECT_DOUBLE_EQ(opened.engine().GetDuration(), 20 * 2000 / 1000.0);
}

TEST(EngineStoringKind, MixedZipPackagedRecording) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.storingWords = "mixed";
  recording.zipPackaged = true;
  recording.Add("IBDATA0", Records(7));
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetStoringKind(), Mixed);
  EXPECT_DOUBLE_EQ(opened.engine().GetDuration(), 7 * 100 / 1000.0);
}

TEST(EngineTimes, DurationAndStartTimesOfAFullRecording) {
  TestKit::Recording recording = StoredRecording({{10, 50, 30, 0}, {40, 0, 60, 25}}, 41);
  OpenedRecording opened(recording);
  CDataLoadEngine& engine = opened.engine();
  EXPECT_EQ(engine.GetStoringKind(), Full);
  EXPECT_DOUBLE_EQ(engine.GetDuration(), (6025 - 1050) / 1000.0);
  EXPECT_DOUBLE_EQ(engine.GetStartMeasureTimeUTC(), 45000.5);
  EXPECT_DOUBLE_EQ(engine.GetOffsetStartStoreTimeUTC(), 1050 / 1000.0 / 86400.0);
  EXPECT_DOUBLE_EQ(engine.GetStartStoreTimeUTC(), 45000.5 + 1050 / 1000.0 / 86400.0);
  EXPECT_DOUBLE_EQ(engine.GetTimeVal({3, 20}), 0.32);
  EXPECT_DOUBLE_EQ(engine.getEventStartTime(1), 4.0);
  EXPECT_DOUBLE_EQ(engine.getEventStopTime(1), 6.025);
  EXPECT_THROW(engine.getEventStartTime(2), InvalidIndexException);
}

TEST(EngineTimes, FirstStartAtZeroGivesNoOffset) {
  TestKit::Recording recording = StoredRecording({{0, 0, 10, 0}}, 10);
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetOffsetStartStoreTimeUTC(), 0.0);
  EXPECT_EQ(opened.engine().GetStartStoreTimeUTC(), 45000.5);
}

TEST(EngineCounts, SynchronousCountsFollowTheDividerOverRegions) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;1", "slow", 2).Set("SRDiv", 3).With(OnlineInfoRecord(800, std::vector<int>(6, 0)));
  // Region 0: positions 10 to 20; region 1: 1000 to 1100.
  TestKit::Recording recording = WithRegions(setup, {{0, 10, 0, 20}, {10, 0, 11, 0}});
  recording.Add("DBDATA", DataBlocks(2)).Add("IBDATA0", Records(2));
  OpenedRecording opened(recording);
  const CKVChannel* slow = &opened.Channel("AI;1");
  EXPECT_EQ(opened.engine().GetSyncSamplesCount(slow, 0, 0), 3);  // 12, 15, 18
  EXPECT_EQ(opened.engine().GetSyncSamplesCount(slow, 1, 1), 33);
  EXPECT_EQ(opened.engine().GetSamplesCount(slow), 36);
  EXPECT_EQ(opened.engine().GetSamplesCount(&opened.Channel("AI;0")), 110);
  EXPECT_EQ(opened.engine().GetSyncSamplesCount(slow, 1, 0), 0);
}

TEST(EngineBlocks, ReducedBlockRangesOfRegions) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;1", "level one", 7)
      .Set("Async", true)
      .Set("StoredFirstAsyncIBLevel", 1)
      .With(OnlineInfoRecord(800, std::vector<int>(6, 0)));
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 50, 0}, {100, 0, 130, 0}};
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  // Level 1 (20 blocks per value): region 0 stores values 0-2, region 1 values 5-6.
  recording.events = TestKit::RegionEventStream(layout, {{0, 0}, {50, 3}});
  recording.Add("DBDATA", DataBlocks(80)).Add("IBDATA0", Records(80)).Add("IBDATA1", Records(5));
  OpenedRecording opened(recording);
  CDataLoadEngine& engine = opened.engine();
  const CKVChannel* channel = &opened.Channel("AI;1");
  int first = -1;
  int last = -1;
  engine.getChBlockNoForStartStopEvent(0, channel, first, last);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 2);
  engine.getChBlockNoForStartStopEvent(1, channel, first, last);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 4);
  EXPECT_EQ(engine.getChMaxBlockNo(channel), 4);
  // Value 3 of region 1 is the first of that region: recording value 5 at 10 s.
  EXPECT_DOUBLE_EQ(engine.getBlockTS(channel, 1, 3), 10.0);
}

// An index channel of `count` samples, one every 10 ms, written with its own
// starts (channels stored on their own) or from the streams' beginnings.
TestKit::AsyncIndexChannelInfo AddIndexChannel(TestKit::AsyncIndexWriter& writer, uint32_t channelIndex,
                                                size_t count, bool ownStarts = true) {
  TestKit::AsyncIndexChannelContents contents;
  contents.channelIndex = channelIndex;
  contents.valueSize = 8;
  for (size_t i = 0; i < count; ++i) contents.timestamps.push_back(0.01 * static_cast<double>(i));
  contents.ownStarts = ownStarts;
  contents.valueStreamGap = 16;
  contents.nodeStreamGap = 8;
  return writer.AddChannel(contents);
}

TEST(EngineIndexes, OwnStreamChannelsShareAManagerPerNodeStream) {
  TestKit::AsyncIndexWriter shared(true);
  const auto a = AddIndexChannel(shared, 0, 30);
  const auto b = AddIndexChannel(shared, 1, 50);
  shared.EndRecords();
  TestKit::AsyncIndexWriter separate(true);
  const auto c = AddIndexChannel(separate, 0, 20);
  separate.EndRecords();

  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  auto offline = [](const std::string& prefix, const TestKit::AsyncIndexChannelInfo& info) {
    OfflineRecord record = OwnStreams(3, prefix + "V", static_cast<int64_t>(info.valueStreamStart));
    record.nodeStreamName = prefix + "N";
    record.posInNodeStream = static_cast<int64_t>(info.nodeStreamStart);
    record.rootNodeStreamName = prefix + "R";
    record.asyncIndex = static_cast<int>(info.channelIndex);
    return record;
  };
  setup.AddChannel("AI;1", "a", 7).Set("Async", true).With(OfflineInfoRecord(offline("S", a)));
  setup.AddChannel("AI;2", "b", 7).Set("Async", true).With(OfflineInfoRecord(offline("S", b)));
  setup.AddChannel("AI;3", "c", 7).Set("Async", true).With(OfflineInfoRecord(offline("T", c)));
  OfflineRecord missing = offline("U", c);
  setup.AddChannel("AI;4", "d", 7).Set("Async", true).With(OfflineInfoRecord(missing));
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", Records(10));
  recording.AddIndex(shared.Streams(), "SV", "SN", "SR").AddIndex(separate.Streams(), "TV", "TN", "TR");
  OpenedRecording opened(recording);
  CDataLoadEngine& engine = opened.engine();
  AsyncIndexManager* first = engine.getChannelAsyncManager(&opened.Channel("AI;1"));
  AsyncIndexManager* second = engine.getChannelAsyncManager(&opened.Channel("AI;2"));
  AsyncIndexManager* third = engine.getChannelAsyncManager(&opened.Channel("AI;3"));
  EXPECT_EQ(first, second);
  EXPECT_NE(first, third);
  EXPECT_EQ(first->getSampleCount(0, 0.0, 1.0, false), 30u);
  EXPECT_EQ(first->getSampleCount(1, 0.0, 1.0, false), 50u);
  EXPECT_EQ(third->getSampleCount(0, 0.0, 1.0, false), 20u);
  EXPECT_THROW(engine.getChannelAsyncManager(&opened.Channel("AI;4")), FileCorruptException);
  EXPECT_EQ(engine.GetQueries().size(), opened.setup().GetChannelList().size());
}

TEST(EngineIndexes, SharedIndexServesOnlineChannels) {
  TestKit::AsyncIndexWriter writer(true);
  AddIndexChannel(writer, 4, 25, false);
  writer.EndRecords();
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;1", "events", 7).Set("Async", true).With(OnlineInfoRecord(800, std::vector<int>(6, 0), 4));
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", Records(10));
  TestKit::AsyncIndexStreams streams = writer.Streams();
  recording.AddIndex(streams);
  OpenedRecording opened(recording);
  AsyncIndexManager* manager = opened.engine().getChannelAsyncManager(&opened.Channel("AI;1"));
  EXPECT_EQ(manager->getState(), AsyncIndexManager::Loaded);
  EXPECT_EQ(manager->getSampleCount(4, 0.0, 1.0, false), 25u);
}

TEST(EngineIndexes, DamagedRootNodeStreamIsACorruptFile) {
  TestKit::AsyncIndexWriter writer(true);
  AddIndexChannel(writer, 4, 25, false);
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;1", "events", 7).Set("Async", true).With(OnlineInfoRecord(800, std::vector<int>(6, 0), 4));
  TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", Records(10));
  TestKit::AsyncIndexStreams streams = writer.Streams();
  // The channel's record ends inside its root position.
  streams.rootNodeStream.resize(streams.rootNodeStream.size() - 3);
  recording.AddIndex(streams);
  try {
    OpenedRecording opened(recording);
    FAIL() << "the file opened";
  } catch (const FileCorruptException& error) {
    EXPECT_EQ(error.status(), KVFileCorrupt);
  }
}

// Two channels naming one AsyncIndex, in the shared index (online) and in one
// node stream (offline): the setup is damaged, so the open reports a corrupt file.
TEST(EngineIndexes, TwoChannelsWithOneAsyncIndexAreACorruptFile) {
  for (const bool online : {true, false}) {
    SCOPED_TRACE(online ? "online" : "offline");
    TestKit::AsyncIndexWriter writer(true);
    const auto info = AddIndexChannel(writer, 4, 25, !online);
    writer.EndRecords();
    TestKit::SetupBuilder setup;
    BaseSetup(setup);
    for (const char* name : {"AI;1", "AI;2"}) {
      TestKit::XmlNode& channel = setup.AddChannel(name, name, 7).Set("Async", true);
      if (online) {
        channel.With(OnlineInfoRecord(800, std::vector<int>(6, 0), 4));
      } else {
        OfflineRecord record = OwnStreams(3, "SV", static_cast<int64_t>(info.valueStreamStart));
        record.nodeStreamName = "SN";
        record.posInNodeStream = static_cast<int64_t>(info.nodeStreamStart);
        record.rootNodeStreamName = "SR";
        record.asyncIndex = 4;
        channel.With(OfflineInfoRecord(record));
      }
    }
    TestKit::Recording recording = WithRegions(setup, {{0, 0, 10, 0}});
    recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", Records(10));
    if (online) recording.AddIndex(writer.Streams());
    else recording.AddIndex(writer.Streams(), "SV", "SN", "SR");
    try {
      OpenedRecording opened(recording);
      ADD_FAILURE() << "the file opened";
    } catch (const FileCorruptException& error) {
      EXPECT_EQ(error.status(), KVFileCorrupt);
    }
  }
}

TEST(EngineIndexes, ClearReleasesEverythingAndInitiateRebuilds) {
  TestKit::Recording recording = StoredRecording({{0, 0, 10, 0}, {20, 0, 30, 0}}, 20);
  OpenedRecording opened(recording);
  opened.engine().Clear();
  EXPECT_EQ(opened.engine().GetRegionCount(), 0);
  EXPECT_TRUE(opened.engine().GetQueries().empty());
  EXPECT_EQ(opened.engine().GetDataStream(), nullptr);
  opened.engine().Initiate();
  EXPECT_EQ(opened.engine().GetRegionCount(), 2);
}

}  // namespace
}  // namespace Korvane::DataReader
