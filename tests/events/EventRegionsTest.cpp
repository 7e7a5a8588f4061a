// The public event list and the recorded regions derived from the stored events.
#include <gtest/gtest.h>

#include "common/DataReaderLibException.h"
#include "events/CKVEventHelper.h"
#include "testkit/EventStreamWriter.h"
#include "tests/events/EventStreamFixture.h"

namespace Korvane::DataReader::Events {
namespace {

using TestKit::EventRecord;
using TestKit::EventStreamWriter;

class EventRegions : public EventStreamFixture {
 protected:
  void SetUp() override {
    helper_.SetBlockSize(100);
    helper_.SetSampleRate(1000);
    helper_.SetIBRates({100, 20, 20, 20, 20, 20});
  }

  std::vector<KVStartStopEvent> Regions() {
    std::vector<KVStartStopEvent> regions(static_cast<size_t>(helper_.GetStartStopEventListCnt()));
    helper_.GetStartStopEventList(regions.data());
    return regions;
  }
};

TEST_F(EventRegions, OneRegionAtEveryLevel) {
  Read(EventStreamWriter(2, false).AddStart(2, 10, {5, 6, 7, 8, 9, 10}).AddStop(5, 0).Finish());
  const std::vector<KVStartStopEvent> regions = Regions();
  ASSERT_EQ(regions.size(), 1u);
  const KVStartStopEvent& r = regions[0];
  EXPECT_EQ(r.start_pos, 210);
  EXPECT_EQ(r.stop_pos, 500);
  EXPECT_EQ(r.start_block, 2);
  EXPECT_EQ(r.start_offset, 10);
  EXPECT_EQ(r.stop_block, 5);
  EXPECT_EQ(r.stop_offset, 0);
  EXPECT_EQ(r.first_index[0], 2);
  EXPECT_EQ(r.first_index[1], 0);
  EXPECT_EQ(r.end_index[0], 5);
  EXPECT_EQ(r.end_index[1], 1);
  for (int k = 0; k < kReducedLevelCount; ++k) {
    EXPECT_EQ(r.stored_block_base[k], 0) << k;  // nothing before the first start is stored
    EXPECT_EQ(r.event_first_block[k], 5 + k) << k;
  }
  EXPECT_EQ(helper_.GetStartEvent(), 210);
  EXPECT_EQ(helper_.GetStopEvent(), 500);
}

TEST_F(EventRegions, GapsBetweenRegionsAreLeftOutOfTheStoredBase) {
  EventStreamWriter writer(2, false);
  writer.AddStart(0, 0).AddStop(10, 0).AddStart(15, 0).AddStop(20, 0);
  Read(writer.Finish());
  const std::vector<KVStartStopEvent> regions = Regions();
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[1].stored_block_base[0], 10);  // 15 - 5 blocks of gap
  // Level 1 holds one value per 20 blocks: both regions start in value 0.
  EXPECT_EQ(regions[1].stored_block_base[1], 0);
  EXPECT_EQ(regions[1].first_index[0], 15);
  EXPECT_EQ(regions[1].end_index[0], 20);
}

TEST_F(EventRegions, GapsAtHigherLevels) {
  // Regions at blocks 0-10, 45-50 and 100-110: at level 1 (20 blocks a value) the
  // first region ends in value 0 (rounded up: 1), the second starts in value 2.
  EventStreamWriter writer(2, false);
  writer.AddStart(0, 0).AddStop(10, 0).AddStart(45, 0).AddStop(50, 0).AddStart(100, 0).AddStop(110, 0);
  Read(writer.Finish());
  const std::vector<KVStartStopEvent> regions = Regions();
  ASSERT_EQ(regions.size(), 3u);
  EXPECT_EQ(regions[1].stored_block_base[0], 45 - 35);
  EXPECT_EQ(regions[1].stored_block_base[1], 20 * (2 - 1));
  EXPECT_EQ(regions[2].stored_block_base[0], 100 - 35 - 50);
  EXPECT_EQ(regions[2].stored_block_base[1], 20 * (5 - 1 - 2));
}

TEST_F(EventRegions, StopInsideABlockKeepsThatBlockStored) {
  // Regions at blocks 0-20, 30 to the stop in block 40, and 60-80. A stop inside
  // block 40 leaves that block stored (and level-1 value 2, blocks 40-59, with it),
  // so the third region begins one stored block later, and at level 1 right after
  // value 2 instead of where a stop at block 40 would leave it.
  struct Case {
    int32_t stopOffset;
    int64_t base0;
    int64_t base1;
  };
  for (const Case& c : {Case{0, 20 + 10, 20 * 2}, Case{50, 20 + 11, 20 * 3}, Case{-50, 20 + 10, 20 * 2}}) {
    helper_.Clear();
    EventStreamWriter writer(2, false);
    writer.AddStart(0, 0).AddStop(20, 0).AddStart(30, 0).AddStop(40, c.stopOffset).AddStart(60, 0).AddStop(80, 0);
    Read(writer.Finish());
    const std::vector<KVStartStopEvent> regions = Regions();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[2].stored_block_base[0], c.base0) << c.stopOffset;
    EXPECT_EQ(regions[2].stored_block_base[1], c.base1) << c.stopOffset;
    EXPECT_EQ(regions[1].end_index[0], c.stopOffset > 0 ? 41 : 40) << c.stopOffset;
  }
}

TEST_F(EventRegions, OnlyAStartGivesNoRegionAndNoFirstStart) {
  Read(EventStreamWriter(2, false).AddStart(1, 0).Finish());
  EXPECT_EQ(helper_.GetStartEvent(), -1);
  EXPECT_EQ(helper_.GetStopEvent(), -1);
  EXPECT_EQ(helper_.GetStartStopEventListCnt(), 0);
}

TEST_F(EventRegions, StopWithoutNewStartRepeatsThePreviousStart) {
  Read(EventStreamWriter(2, false).AddStart(1, 0, {3}).AddStop(4, 0).AddStop(6, 0).Finish());
  const std::vector<KVStartStopEvent> regions = Regions();
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[1].start_pos, 100);
  EXPECT_EQ(regions[1].stop_pos, 600);
  EXPECT_EQ(regions[1].event_first_block[0], 3);
}

TEST_F(EventRegions, SecondStartInARowWinsAndStartAfterLastStopIsDropped) {
  EventStreamWriter writer(2, false);
  writer.AddStart(1, 0, {1, 1, 1, 1, 1, 1}).AddStart(2, 0, {2}).AddStop(4, 0).AddStart(9, 0);
  Read(writer.Finish());
  const std::vector<KVStartStopEvent> regions = Regions();
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(regions[0].start_pos, 200);
  EXPECT_EQ(regions[0].event_first_block[0], 2);
  for (int k = 1; k < kReducedLevelCount; ++k) EXPECT_EQ(regions[0].event_first_block[k], 0) << k;
  EXPECT_EQ(helper_.GetStartEvent(), 100);
  EXPECT_EQ(helper_.GetStopEvent(), 400);
}

TEST_F(EventRegions, StopWithoutAnyStartStartsAtZero) {
  Read(EventStreamWriter(2, false).AddStop(3, 50).Finish());
  const std::vector<KVStartStopEvent> regions = Regions();
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(regions[0].start_pos, 0);
  EXPECT_EQ(regions[0].stop_pos, 350);
}

TEST_F(EventRegions, ImpossibleRatesAreCorruptInsteadOfDividingByZero) {
  Read(EventStreamWriter(2, false).AddStart(0, 0).AddStop(1, 0).Finish());
  std::vector<KVStartStopEvent> regions(1);
  helper_.SetIBRates({100, 0, 20, 20, 20, 20});
  EXPECT_THROW(helper_.GetStartStopEventList(regions.data()), FileCorruptException);
  helper_.SetIBRates({100, 20, 20, 20, 20, 20});
  helper_.SetBlockSize(0);
  EXPECT_THROW(helper_.GetStartStopEventList(regions.data()), FileCorruptException);
  helper_.SetBlockSize(100);
  helper_.SetIBRates({100, 0x7fffffff, 0x7fffffff, 0x7fffffff, 20, 20});
  EXPECT_THROW(helper_.GetStartStopEventList(regions.data()), FileCorruptException);
}

TEST_F(EventRegions, PublicListHasTimesInSecondsAndDisplayTexts) {
  EventRecord keyboard;
  keyboard.type = kKeyboardEvent;
  keyboard.block = 3;
  keyboard.offset = 20;
  keyboard.recordVersion = 2;
  keyboard.text = "mark";
  Read(EventStreamWriter(2, false).AddStart(0, 0).Add(keyboard).Finish());
  ASSERT_EQ(helper_.GetEventListCnt(), 2);
  KVEvent events[2];
  helper_.GetEventList(events);
  EXPECT_EQ(events[0].event_type, kStartEvent);
  EXPECT_STREQ(events[0].event_text, "storing started");
  EXPECT_EQ(events[1].event_type, kKeyboardEvent);
  EXPECT_DOUBLE_EQ(events[1].time_stamp, 0.32);
  EXPECT_STREQ(events[1].event_text, "Keyboard event; mark");
}

}  // namespace
}  // namespace Korvane::DataReader::Events
