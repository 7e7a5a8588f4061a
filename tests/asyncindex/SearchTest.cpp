// Positioning by time stamp: every strategy at the first and last sample, across
// leaf boundaries, and in runs of equal time stamps that span leaves.
#include <gtest/gtest.h>

#include "IndexTestSupport.h"

namespace Korvane::DataReader::AsyncIndexTest {
namespace {

struct Hit {
  int64_t number;
  FoundPosition position;
};

Hit Search(Manager& manager, double t, DuplFoundStrategy dupl, NotFoundStrategy miss, uint32_t channel = 1) {
  FoundPosition position = FoundPosition::Exact;
  IterPtr it = manager.searchTimestamp(channel, t, dupl, miss, &position);
  EXPECT_EQ(it == nullptr, position == FoundPosition::NotFound);
  return Hit{NumberOf(it), position};
}

void ExpectHit(const Hit& hit, int64_t number, FoundPosition position) {
  EXPECT_EQ(hit.number, number);
  EXPECT_EQ(hit.position, position);
}

constexpr auto kFirst = DuplFoundStrategy::First;
constexpr auto kLast = DuplFoundStrategy::Last;

TEST(IndexSearch, DuplicatesInOneLeafAndEveryMissStrategy) {
  LoadedIndex index = LoadOne(ChannelContents(1, {1.0, 2.0, 2.0, 2.0, 3.0}, 8));
  Manager& m = *index.manager;
  ExpectHit(Search(m, 2.0, kFirst, NotFoundStrategy::Fail), 1, FoundPosition::Exact);
  ExpectHit(Search(m, 2.0, kLast, NotFoundStrategy::Fail), 3, FoundPosition::Exact);
  ExpectHit(Search(m, 2.00000000001, kFirst, NotFoundStrategy::Fail), 1, FoundPosition::Exact);
  ExpectHit(Search(m, 1.99999999999, kLast, NotFoundStrategy::Fail), 3, FoundPosition::Exact);

  ExpectHit(Search(m, 2.5, kFirst, NotFoundStrategy::Fail), -1, FoundPosition::NotFound);
  ExpectHit(Search(m, 2.5, kFirst, NotFoundStrategy::Previous), 3, FoundPosition::Before);
  ExpectHit(Search(m, 2.5, kFirst, NotFoundStrategy::Next), 4, FoundPosition::After);
  ExpectHit(Search(m, 2.5, kFirst, NotFoundStrategy::NearestPreferNext), 4, FoundPosition::After);
  ExpectHit(Search(m, 2.5, kFirst, NotFoundStrategy::NearestPreferPrevious), 3, FoundPosition::Before);
  ExpectHit(Search(m, 2.4, kFirst, NotFoundStrategy::NearestPreferNext), 3, FoundPosition::Before);
  ExpectHit(Search(m, 2.6, kFirst, NotFoundStrategy::NearestPreferPrevious), 4, FoundPosition::After);

  // Below the first sample.
  ExpectHit(Search(m, 0.5, kFirst, NotFoundStrategy::Previous), -1, FoundPosition::NotFound);
  ExpectHit(Search(m, 0.5, kFirst, NotFoundStrategy::PreviousOrNext), 0, FoundPosition::After);
  ExpectHit(Search(m, 0.5, kFirst, NotFoundStrategy::Next), 0, FoundPosition::After);
  ExpectHit(Search(m, 0.5, kFirst, NotFoundStrategy::NearestPreferPrevious), 0, FoundPosition::After);
  // Beyond the last sample.
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::Next), -1, FoundPosition::NotFound);
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::NextOrPrevious), 4, FoundPosition::Before);
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::Previous), 4, FoundPosition::Before);
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::NearestPreferNext), 4, FoundPosition::Before);
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::Fail), -1, FoundPosition::NotFound);
  // Unknown strategies miss like Fail.
  ExpectHit(Search(m, 2.5, kFirst, static_cast<NotFoundStrategy>(7)), -1, FoundPosition::NotFound);
  ExpectHit(Search(m, 2.5, kFirst, static_cast<NotFoundStrategy>(-1)), -1, FoundPosition::NotFound);
  ExpectHit(Search(m, 2.0, kFirst, static_cast<NotFoundStrategy>(9)), 1, FoundPosition::Exact);
}

TEST(IndexSearch, EveryTimeStampAndEveryGapAcrossLeafBoundariesOfADeepTree) {
  // 1000 samples in leaves of 4: 250 leaves under three inner levels.
  AsyncIndexChannelInfo info;
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(1000), 4), true, &info);
  ASSERT_EQ(info.treeHeight, 3u);
  Manager& m = *index.manager;
  for (int64_t k = 0; k < 1000; ++k) {
    const double t = static_cast<double>(k);
    ExpectHit(Search(m, t, kFirst, NotFoundStrategy::Fail), k, FoundPosition::Exact);
    ExpectHit(Search(m, t, kLast, NotFoundStrategy::Fail), k, FoundPosition::Exact);
    ExpectHit(Search(m, t + 0.5, kFirst, NotFoundStrategy::Previous), k, FoundPosition::Before);
    ExpectHit(Search(m, t - 0.5, kFirst, NotFoundStrategy::Next), k, FoundPosition::After);
    ExpectHit(Search(m, t + 0.25, kFirst, NotFoundStrategy::NearestPreferNext), k, FoundPosition::Before);
    ExpectHit(Search(m, t - 0.25, kFirst, NotFoundStrategy::NearestPreferPrevious), k, FoundPosition::After);
  }
  // The last gap of every leaf lies between two leaves.
  for (int64_t k = 3; k < 999; k += 4) {
    const double t = static_cast<double>(k) + 0.5;
    ExpectHit(Search(m, t, kFirst, NotFoundStrategy::NearestPreferNext), k + 1, FoundPosition::After);
    ExpectHit(Search(m, t, kFirst, NotFoundStrategy::NearestPreferPrevious), k, FoundPosition::Before);
    ExpectHit(Search(m, t, kFirst, NotFoundStrategy::NextOrPrevious), k + 1, FoundPosition::After);
    ExpectHit(Search(m, t, kFirst, NotFoundStrategy::PreviousOrNext), k, FoundPosition::Before);
  }
  ExpectHit(Search(m, 999.5, kFirst, NotFoundStrategy::NearestPreferNext), 999, FoundPosition::Before);
  ExpectHit(Search(m, -0.5, kFirst, NotFoundStrategy::NearestPreferPrevious), 0, FoundPosition::After);
}

TEST(IndexSearch, FoundIteratorsResolveToTheStoredValueAndTime) {
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(100, 0.25), 6));
  for (int k = 0; k < 100; ++k) {
    IterPtr it = index.manager->searchTimestamp(1, k * 0.25, kFirst, NotFoundStrategy::Fail);
    ASSERT_TRUE(it);
    EXPECT_EQ(ValueOf(it), static_cast<uint64_t>(k));
    EXPECT_EQ(it->getCurrentTimestamp(), k * 0.25);
  }
}

// 1 2 3 3 | 3 3 3 3 | 3 3 4 5 | 6: a run of 3.0 over three leaves.
std::vector<double> RunOverThreeLeaves() { return {1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 4, 5, 6}; }

TEST(IndexSearch, RunsOfEqualTimeStampsSpanningLeaves) {
  LoadedIndex index = LoadOne(ChannelContents(1, RunOverThreeLeaves(), 4));
  Manager& m = *index.manager;
  ExpectHit(Search(m, 3.0, kFirst, NotFoundStrategy::Fail), 2, FoundPosition::Exact);
  ExpectHit(Search(m, 3.0, kLast, NotFoundStrategy::Fail), 9, FoundPosition::Exact);
  ExpectHit(Search(m, 2.5, kFirst, NotFoundStrategy::Next), 2, FoundPosition::After);
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::Previous), 9, FoundPosition::Before);
  ExpectHit(Search(m, 3.5, kFirst, NotFoundStrategy::Next), 10, FoundPosition::After);

  // Windows that start or end on the run: [3, 4) holds all eight, [2, 3) one.
  EXPECT_EQ(m.getSampleCount(1, 3.0, 4.0, false), 8u);
  EXPECT_EQ(m.getSampleCount(1, 2.0, 3.0, false), 1u);
  EXPECT_EQ(m.getSampleCount(1, 3.0, 3.0, false), 0u);
  EXPECT_EQ(NumberOf(m.searchTimestampForEndPos(1, 3.0, false)), 2);
  EXPECT_EQ(NumberOf(m.searchTimestampForEndPos(1, 3.0, true)), 10);
  EXPECT_EQ(NumberOf(m.searchTimestampForStartPos(1, 3.0, false)), 2);
}

TEST(IndexSearch, RunEndingExactlyAtALeafEndStopsThere) {
  // 1 3 3 3 | 4 ...: the next leaf is not marked and does not start with 3.
  LoadedIndex index = LoadOne(ChannelContents(1, {1, 3, 3, 3, 4, 5, 6, 7}, 4));
  ExpectHit(Search(*index.manager, 3.0, kLast, NotFoundStrategy::Fail), 3, FoundPosition::Exact);
  EXPECT_EQ(index.manager->getSampleCount(1, 3.0, 4.0, false), 3u);
}

TEST(IndexSearch, LastFollowsOnlyLeavesMarkedAsContinuingTheRun) {
  AsyncIndexChannelContents contents = ChannelContents(1, RunOverThreeLeaves(), 4);
  contents.markDuplicateContinuation = false;
  LoadedIndex unmarked = LoadOne(contents);
  ExpectHit(Search(*unmarked.manager, 3.0, kLast, NotFoundStrategy::Fail), 3, FoundPosition::Exact);

  // A mark on a leaf whose first time stamp differs is not followed.
  AsyncIndexWriter writer(true);
  const AsyncIndexChannelInfo info = writer.AddChannel(ChannelContents(1, {1, 2, 3, 3, 4, 5, 6, 7}, 4));
  AsyncIndexStreams streams = writer.Streams();
  ASSERT_EQ(streams.nodeStream[info.leafOffsets[1]] & 0x02, 0);
  streams.nodeStream[info.leafOffsets[1]] |= 0x02;
  LoadedIndex marked = LoadIndex(streams, {SetupOf(info)});
  ExpectHit(Search(*marked.manager, 3.0, kLast, NotFoundStrategy::Fail), 3, FoundPosition::Exact);
}

TEST(IndexSearch, UnfinishedTreeFindsEverySampleThroughItsRemainder) {
  // 157 leaves of 2: unattached are 2 nodes of level 1, 3 of level 0 and 5 leaves.
  const size_t samples = (2 * 64 + 3 * 8 + 5) * 2;
  std::vector<double> stamps = Ramp(samples);
  stamps[300] = stamps[301] = stamps[302] = 300.0;  // a run across a leaf boundary
  LoadedIndex index = LoadOne(ChannelContents(1, stamps, 2), false);
  const auto& channel = *index.manager->getChannel(1);
  ASSERT_FALSE(channel.isFinalized());
  ASSERT_EQ(channel.getRemainderLevels().size(), 2u);
  EXPECT_EQ(channel.getRemainderLevels()[1].size(), 2u);
  EXPECT_EQ(channel.getRemainderLevels()[0].size(), 3u);
  EXPECT_EQ(channel.getRemainderLeaves().size(), 5u);
  Manager& m = *index.manager;
  for (size_t k = 0; k < samples; ++k) {
    if (k >= 300 && k <= 302) continue;
    ExpectHit(Search(m, stamps[k], kFirst, NotFoundStrategy::Fail), static_cast<int64_t>(k), FoundPosition::Exact);
    ExpectHit(Search(m, stamps[k] + 0.5, kFirst, NotFoundStrategy::Previous), static_cast<int64_t>(k),
              FoundPosition::Before);
  }
  ExpectHit(Search(m, 300.0, kFirst, NotFoundStrategy::Fail), 300, FoundPosition::Exact);
  ExpectHit(Search(m, 300.0, kLast, NotFoundStrategy::Fail), 302, FoundPosition::Exact);
  ExpectHit(Search(m, samples + 5.0, kFirst, NotFoundStrategy::NextOrPrevious), samples - 1, FoundPosition::Before);
  ExpectHit(Search(m, -1.0, kFirst, NotFoundStrategy::Next), 0, FoundPosition::After);
}

TEST(IndexSearch, TimeOffsetShiftsEveryStoredTimeStamp) {
  AsyncIndexWriter writer(true);
  const AsyncIndexChannelInfo info = writer.AddChannel(ChannelContents(1, Ramp(40), 4));
  LoadedIndex index;
  index.manager->setValueAndTimestampStream(kit::make_local_shared<MemoryStream>(writer.Streams().valueStream));
  index.manager->setNodeStream(kit::make_local_shared<MemoryStream>(writer.Streams().nodeStream));
  index.manager->setRootNodeStream(kit::make_local_shared<MemoryStream>(writer.Streams().rootNodeStream));
  index.manager->addChannel(info.channelIndex, 8);
  index.manager->getChannel(1)->setTimeOffset(100.0);
  index.manager->initializeLoading();
  ExpectHit(Search(*index.manager, 117.0, kFirst, NotFoundStrategy::Fail), 17, FoundPosition::Exact);
  ExpectHit(Search(*index.manager, 17.0, kFirst, NotFoundStrategy::Fail), -1, FoundPosition::NotFound);
  IterPtr it = index.manager->searchTimestamp(1, 123.0, kFirst, NotFoundStrategy::Fail);
  ASSERT_TRUE(it);
  it->resolve();
  EXPECT_EQ(it->getCurrentTimestamp(), 123.0);
  EXPECT_EQ(index.manager->getSampleCount(1, 110.0, 120.0, false), 10u);
}

}  // namespace
}  // namespace Korvane::DataReader::AsyncIndexTest
