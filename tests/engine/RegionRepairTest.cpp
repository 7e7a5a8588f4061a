// The region repair on recordings whose events disagree with the stored data:
// stops beyond the data, open starts, empty lists, regions wholly beyond the data,
// and limits that come from the reduced levels.
#include <gtest/gtest.h>

#include <limits>

#include "EngineTestSupport.h"
#include "common/DataReaderLibException.h"
#include "engine/CheckAndRepairEventList.h"
#include "testkit/EventStreamWriter.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::BaseSetup;
using EngineTest::DataBlocks;
using EngineTest::OpenedRecording;
using View = OpenedRecording::EventView;
using TestKit::EventStreamWriter;

TestKit::Recording FullRecording(const EventStreamWriter& events, int dataBlocks) {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = events.Finish();
  recording.Add("DBDATA", DataBlocks(dataBlocks));
  recording.Add("IBDATA0", std::vector<uint8_t>(10000 * EngineTest::kRecordBytes, 0));
  return recording;
}

TEST(RegionRepair, StopBeyondTheStoredBlocksMovesToTheirEnd) {
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(500, 40);
  OpenedRecording opened(FullRecording(events, 300));
  EXPECT_EQ(opened.EventList(), (std::vector<View>{{1, 0, 0, ""}, {2, 300, 0, ""}}));
  ASSERT_EQ(opened.engine().GetRegionCount(), 1);
  EXPECT_EQ(opened.engine().GetRegions()[0].stop_pos, 300 * EngineTest::kBlockSize);
  EXPECT_DOUBLE_EQ(opened.engine().GetDuration(), 30.0);
}

TEST(RegionRepair, StopWithinTheStoredBlocksStays) {
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(299, 99);
  OpenedRecording opened(FullRecording(events, 300));
  EXPECT_EQ(opened.EventList(), (std::vector<View>{{1, 0, 0, ""}, {2, 299, 99, ""}}));
}

TEST(RegionRepair, StopInsideABlockNeedsThatBlockStored) {
  // A stop at block 40, offset 50 needs blocks 0 to 40: without block 40 the
  // region ends where the stored blocks end.
  struct Case {
    int dataBlocks;
    View stop;
  };
  for (const Case& c : {Case{41, {2, 40, 50, ""}}, Case{40, {2, 40, 0, ""}}}) {
    EventStreamWriter events(2, false);
    events.AddStart(0, 0, {0}).AddStop(40, 50);
    OpenedRecording opened(FullRecording(events, c.dataBlocks));
    EXPECT_EQ(opened.EventList().back(), c.stop) << c.dataBlocks;
  }
}

TEST(RegionRepair, OpenStartIsClosedAtTheEndOfTheStoredData) {
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0});
  OpenedRecording opened(FullRecording(events, 200));
  EXPECT_EQ(opened.EventList(), (std::vector<View>{{1, 0, 0, ""}, {2, 200, 0, "E"}}));
  EXPECT_EQ(opened.events().Events().back()->secondCode(), 255);
  EXPECT_EQ(opened.engine().GetRegionCount(), 1);
}

TEST(RegionRepair, OpenStartOfASecondRegionEndsWhereItsStoredBlocksEnd) {
  // Blocks 0-99 then 300-...: the second region's data start at stored block 100.
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(100, 0).AddStart(300, 0, {100});
  OpenedRecording opened(FullRecording(events, 150));
  EXPECT_EQ(opened.EventList().back(), (View{2, 350, 0, "E"}));
  EXPECT_EQ(opened.engine().GetRegionCount(), 2);
}

TEST(RegionRepair, StopBeforeAnyStartIsCorrupt) {
  EventStreamWriter events(2, false);
  events.AddStop(10, 0).AddStart(20, 0, {0});
  try {
    OpenedRecording opened(FullRecording(events, 100));
    FAIL() << "the file opened";
  } catch (const FileCorruptException& error) {
    EXPECT_EQ(error.status(), KVFileCorrupt);
  }
}

TEST(RegionRepair, EmptyListGetsOneRegionOverTheCoveredBlocks) {
  OpenedRecording opened(FullRecording(EventStreamWriter(2, false), 120));
  EXPECT_EQ(opened.EventList(), (std::vector<View>{{1, 0, 0, "B"}, {2, 120, 0, "E"}}));
  ASSERT_EQ(opened.engine().GetRegionCount(), 1);
  EXPECT_EQ(opened.engine().GetRegions()[0].stop_pos, 12000);
}

TEST(RegionRepair, RegionWhollyBeyondTheDataIsDropped) {
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(100, 0);
  events.AddStart(200, 0, {100}).AddStop(300, 0);
  events.AddStart(400, 0, {200}).AddStop(500, 0);
  OpenedRecording opened(FullRecording(events, 200));
  EXPECT_EQ(opened.EventList(),
            (std::vector<View>{{1, 0, 0, ""}, {2, 100, 0, ""}, {1, 200, 0, ""}, {2, 300, 0, ""}}));
  EXPECT_EQ(opened.engine().GetRegionCount(), 2);
}

TEST(RegionRepair, OnlyRegionWithoutDataIsReplacedByTheCoveredBlocks) {
  EventStreamWriter events(2, false);
  events.AddStart(50, 0, {80}).AddStop(90, 0);
  OpenedRecording opened(FullRecording(events, 80));
  EXPECT_EQ(opened.EventList(), (std::vector<View>{{1, 0, 0, "B"}, {2, 80, 0, "E"}}));
}

TEST(RegionRepair, EmptyDataStreamLeavesNoRegionWithData) {
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(50, 0);
  OpenedRecording opened(FullRecording(events, 0));
  EXPECT_EQ(opened.EventList(), (std::vector<View>{{1, 0, 0, "B"}, {2, 0, 0, "E"}}));
  EXPECT_EQ(opened.engine().GetSamplesCount(&opened.Channel("AI;0")), 0);
}

TEST(RegionRepair, EventsAfterTheLastStopDoNotFailTheOpen) {
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(50, 0);
  TestKit::EventRecord notice;
  notice.type = 21;
  notice.block = 60;
  notice.blockText = "after";
  events.Add(notice);
  OpenedRecording opened(FullRecording(events, 100));
  EXPECT_EQ(opened.EventList().size(), 3u);
  EXPECT_EQ(opened.engine().GetRegionCount(), 1);
}

TEST(RegionRepair, ReducedLevelRecordsLimitTheStop) {
  // A reduced-only recording: level 0 holds 30 records of 100 samples.
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0}).AddStop(50, 0);
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = events.Finish();
  recording.storingWords = "reduced";
  recording.Add("IBDATA0", std::vector<uint8_t>(30 * EngineTest::kRecordBytes, 0));
  OpenedRecording opened(recording);
  EXPECT_EQ(opened.engine().GetStoringKind(), Reduced);
  EXPECT_EQ(opened.EventList().back(), (View{2, 30, 0, ""}));
}

TEST(RegionRepair, HugeLevelRateWithNegativeStoredOffsetSaturates) {
  // Level 5 holds 6000^5 blocks per value and the damaged start claims a negative
  // stored offset there: the moved stop is held at the largest block instead of
  // wrapping around. An open start's stop is the smaller of the stored blocks
  // (300 + 3 for a level-0 offset of -3) and the level-5 limit, which saturates.
  struct Case {
    std::vector<int32_t> offsets;
    bool closed;
    int32_t stopBlock;
  };
  for (const Case& c : {Case{{0, 0, 0, 0, 0, -2}, true, std::numeric_limits<int32_t>::max()},
                        Case{{-3, 0, 0, 0, 0, -2}, false, 303}}) {
    TestKit::SetupBuilder setup;
    setup.Property("SampleRate", EngineTest::kSampleRate).Property("BlockSize", 1).Property("IBRate", 6000);
    setup.Property("StartStoreTime", 0.0).Property("StartingIBLevel", 5);
    setup.MeasurementOnlineInfo(EngineTest::kBlockBytes, std::vector<int>(6, EngineTest::kRecordBytes));
    setup.AddChannel("AI;0", "Voltage", 7).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
    EventStreamWriter events(2, false);
    events.AddStart(0, 0, c.offsets);
    if (c.closed) events.AddStop(500, 0);
    TestKit::Recording recording;
    recording.setupText = setup.Text();
    recording.events = events.Finish();
    recording.Add("DBDATA", DataBlocks(300));
    recording.Add("IBDATA5", std::vector<uint8_t>(4 * EngineTest::kRecordBytes, 0));
    OpenedRecording opened(recording);
    const View stop = opened.EventList().back();
    EXPECT_EQ(stop.type, 2) << c.closed;
    EXPECT_EQ(stop.block, c.stopBlock) << c.closed;
  }
}

TEST(RegionRepair, PartlyFilledRecordCountsOnTheLevelAbove) {
  StoredDataExtent extent;
  extent.levelCount = 3;
  extent.midRates = {1, 20, 400, 8000, 160000, 3200000};
  extent.levelRecords = {45, 2, 0, -1, -1, -1};
  CountPartlyFilledRecords(extent);
  EXPECT_EQ(extent.levelRecords[1], 3);  // 45 = 2 x 20 + 5: a third, partly filled record
  EXPECT_EQ(extent.levelRecords[2], 1);
  extent.levelRecords = {40, 2, 0, -1, -1, -1};
  CountPartlyFilledRecords(extent);
  EXPECT_EQ(extent.levelRecords[1], 2);  // whole records only
}

}  // namespace
}  // namespace Korvane::DataReader
