// Moving iterators by sample counts, counting the samples of a time window and
// copying them out, and the memory a walk over a long channel keeps.
#include <gtest/gtest.h>

#include <cstring>

#include "IndexTestSupport.h"

namespace Korvane::DataReader::AsyncIndexTest {
namespace {

constexpr auto kStop = MoveFailStrategy::StopAtEnd;
constexpr auto kEmpty = MoveFailStrategy::ReturnEmpty;

struct Place {
  uint64_t leaf;
  uint32_t index;
};

Place PlaceOf(const IterPtr& it, const AsyncIndexChannelInfo& info) {
  for (uint64_t i = 0; i < info.leafOffsets.size(); ++i) {
    if (info.leafOffsets[i] == it->getLeaf()->getPosition()) return Place{i, it->getIndex()};
  }
  ADD_FAILURE() << "iterator on an unknown leaf";
  return Place{~0ull, 0};
}

TEST(IndexMove, MovesAcrossLeavesInBothDirections) {
  AsyncIndexChannelInfo info;
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(30), 10), true, &info);
  Manager& m = *index.manager;
  IterPtr first = m.getFirstPos(1);
  IterPtr at8 = m.moveIterator(1, first, 8, kStop);
  Place p = PlaceOf(at8, info);
  EXPECT_EQ(p.leaf, 0u);
  EXPECT_EQ(p.index, 8u);

  p = PlaceOf(m.moveIterator(1, at8, 5, kStop), info);
  EXPECT_EQ(p.leaf, 1u);
  EXPECT_EQ(p.index, 3u);
  // Using up a leaf exactly lands on the next leaf's first sample.
  p = PlaceOf(m.moveIterator(1, at8, 2, kEmpty), info);
  EXPECT_EQ(p.leaf, 1u);
  EXPECT_EQ(p.index, 0u);

  IterPtr at13 = m.moveIterator(1, at8, 5, kStop);
  p = PlaceOf(m.moveIterator(1, at13, -5, kStop), info);
  EXPECT_EQ(p.leaf, 0u);
  EXPECT_EQ(p.index, 8u);
  // Moving back to a leaf's first sample stays in that leaf.
  p = PlaceOf(m.moveIterator(1, at13, -3, kEmpty), info);
  EXPECT_EQ(p.leaf, 1u);
  EXPECT_EQ(p.index, 0u);
  p = PlaceOf(m.moveIterator(1, at13, -13, kEmpty), info);
  EXPECT_EQ(p.leaf, 0u);
  EXPECT_EQ(p.index, 0u);
  EXPECT_EQ(m.moveIterator(1, at13, 0, kEmpty).get(), at13.get());
}

TEST(IndexMove, BeyondEitherEndByStrategy) {
  AsyncIndexChannelInfo info;
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(30), 10), true, &info);
  Manager& m = *index.manager;
  IterPtr at13 = m.moveIterator(1, m.getFirstPos(1), 13, kStop);

  EXPECT_FALSE(m.moveIterator(1, at13, 17, kEmpty));
  EXPECT_FALSE(m.moveIterator(1, at13, 1000, kEmpty));
  Place p = PlaceOf(m.moveIterator(1, at13, 1000, kStop), info);
  EXPECT_EQ(p.leaf, 2u);
  EXPECT_EQ(p.index, 10u);  // past the last sample, as getLastPos
  EXPECT_EQ(NumberOf(m.moveIterator(1, at13, INT64_MAX, kStop)), 30);
  EXPECT_EQ(NumberOf(m.getLastPos(1)), 30);

  EXPECT_FALSE(m.moveIterator(1, at13, -14, kEmpty));
  p = PlaceOf(m.moveIterator(1, at13, -14, kStop), info);
  EXPECT_EQ(p.leaf, 0u);
  EXPECT_EQ(p.index, 0u);
  EXPECT_EQ(NumberOf(m.moveIterator(1, at13, INT64_MIN, kStop)), 0);
  EXPECT_FALSE(m.moveIterator(1, at13, INT64_MIN, kEmpty));
}

TEST(IndexMove, EveryDistanceFromEveryStartOfADeepTree) {
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(300), 3));
  Manager& m = *index.manager;
  IterPtr first = m.getFirstPos(1);
  for (int64_t from = 0; from < 300; from += 7) {
    IterPtr start = m.moveIterator(1, first, from, kEmpty);
    ASSERT_EQ(NumberOf(start), from);
    for (int64_t to = 0; to < 300; to += 5) {
      IterPtr moved = m.moveIterator(1, start, to - from, kEmpty);
      ASSERT_EQ(NumberOf(moved), to) << from << " -> " << to;
      ASSERT_EQ(ValueOf(moved), static_cast<uint64_t>(to));
    }
  }
}

TEST(IndexMove, BackwardsOverARunOfEqualTimeStampsSpanningLeaves) {
  LoadedIndex index = LoadOne(ChannelContents(1, {3, 3, 3, 3, 3, 3, 4, 5, 6}, 3));
  Manager& m = *index.manager;
  auto& channel = *m.getChannel(1);
  IterPtr last3 = m.searchTimestamp(1, 3.0, DuplFoundStrategy::Last, NotFoundStrategy::Fail);
  ASSERT_EQ(NumberOf(last3), 5);
  // The run starts at the channel's first sample: StopAtEnd stops there.
  EXPECT_EQ(NumberOf(channel.moveIteratorBackwardsWhileTimestampEqual(last3, kStop)), 0);
  EXPECT_FALSE(channel.moveIteratorBackwardsWhileTimestampEqual(last3, kEmpty));
  // From past a leaf's end the iterator first steps onto the next sample.
  IterPtr pastFirstLeaf = m.moveIterator(1, m.getFirstPos(1), 2, kStop);
  IterPtr over = kit::make_local_shared<Manager::ChannelType::Iter>(pastFirstLeaf->getLeaf(), 3, 8,
                                                                      channel.getLoader());
  EXPECT_EQ(NumberOf(channel.moveIteratorBackwardsWhileTimestampEqual(over, kStop)), 0);
  IterPtr at4 = m.searchTimestamp(1, 4.0, DuplFoundStrategy::First, NotFoundStrategy::Fail);
  EXPECT_EQ(NumberOf(channel.moveIteratorBackwardsWhileTimestampEqual(at4, kEmpty)), 6);
}

TEST(IndexCount, WindowsWithAndWithoutNeighbours) {
  LoadedIndex index = LoadOne(ChannelContents(1, {1.0, 2.0, 3.0, 4.0}, 2));
  Manager& m = *index.manager;
  EXPECT_EQ(m.getSampleCount(1, 1.0, 3.0, false), 2u);
  EXPECT_EQ(m.getSampleCount(1, 1.5, 2.5, true), 3u);
  EXPECT_EQ(m.getSampleCount(1, 0.0, 10.0, false), 4u);
  EXPECT_EQ(m.getSampleCount(1, 4.5, 10.0, false), 0u);
  EXPECT_EQ(m.getSampleCount(1, -5.0, 0.5, false), 0u);
  EXPECT_EQ(m.getSampleCount(1, 3.0, 1.0, false), 0u);
  EXPECT_EQ(m.getSampleCount(1, 4.5, 10.0, true), 1u);  // the sample before the window
  EXPECT_EQ(m.getSampleCount(1, 2.0, 3.0, true), 2u);
  EXPECT_EQ(m.getSampleCount(1, 3.5, 3.6, true), 2u);
}

// The window a count must give, read off the sorted time stamps.
uint64_t ExpectedCount(const std::vector<double>& ts, double t0, double t1) {
  uint64_t n = 0;
  for (double t : ts) n += TsComparer<double>::lessEqual(t0, t) && TsComparer<double>::less(t, t1);
  return n;
}

TEST(IndexCount, MatchesTheTimeStampsForWindowsOnAndBetweenSamples) {
  std::vector<double> ts;
  for (int i = 0; i < 200; ++i) ts.push_back(static_cast<double>(i / 3));  // runs of three
  for (uint32_t capacity : {2u, 3u, 5u}) {
    LoadedIndex index = LoadOne(ChannelContents(1, ts, capacity));
    for (double t0 = -1.0; t0 < 70.0; t0 += 0.5) {
      for (double t1 = t0; t1 < t0 + 6.0; t1 += 1.5) {
        ASSERT_EQ(index.manager->getSampleCount(1, t0, t1, false), ExpectedCount(ts, t0, t1))
            << capacity << " [" << t0 << ", " << t1 << ")";
      }
    }
  }
}

TEST(IndexCopy, CopiesValuesAndTimeStampsAcrossLeavesAtCapacity) {
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(50, 0.5), 4));
  Manager& m = *index.manager;
  IterPtr start = m.searchTimestampForStartPos(1, 3.0, false);  // sample 6
  IterPtr end = m.searchTimestampForEndPos(1, 20.0, false);     // sample 40
  ASSERT_EQ(m.getSampleCount(1, 3.0, 20.0, false), 34u);
  std::vector<uint64_t> values(34);
  std::vector<double> stamps(34);
  uint64_t count = 34;
  m.getSamples(1, start, end, values.data(), stamps.data(), count);
  ASSERT_EQ(count, 34u);
  for (uint64_t k = 0; k < 34; ++k) {
    EXPECT_EQ(values[k], k + 6);
    EXPECT_EQ(stamps[k], (k + 6) * 0.5);
  }

  count = 33;
  EXPECT_THROW(m.getSamples(1, start, end, values.data(), stamps.data(), count), TooMuchDataException);
  try {
    m.getSamples(1, start, end, values.data(), stamps.data(), count);
  } catch (const AsyncIndexLibException& e) {
    EXPECT_EQ(e.code(), -6);
    EXPECT_STREQ(e.what(), "Too much data");
  }
  // Time stamps only; and a window that is empty copies nothing.
  count = 34;
  std::vector<double> only(34);
  m.getSamples(1, start, end, nullptr, only.data(), count);
  EXPECT_EQ(only, stamps);
  count = 5;
  m.getSamples(1, end, start, values.data(), stamps.data(), count);
  EXPECT_EQ(count, 0u);
}

TEST(IndexCopy, LeavesWithoutNextLinksAreFoundThroughTheTree) {
  for (bool finalized : {true, false}) {
    AsyncIndexChannelContents contents = ChannelContents(1, Ramp(700), 3);
    for (size_t i = 100; i < 110; ++i) contents.timestamps[i] = 100.0;  // a run over four leaves
    contents.linkNextLeaves = false;
    LoadedIndex index = LoadOne(contents, finalized);
    Manager& m = *index.manager;
    IterPtr first = m.getFirstPos(1);
    IterPtr last = m.getLastPos(1);
    ASSERT_EQ(NumberOf(last), 700);
    std::vector<uint64_t> values(700);
    uint64_t count = 700;
    m.getSamples(1, first, last, values.data(), nullptr, count);
    ASSERT_EQ(count, 700u);
    for (uint64_t k = 0; k < 700; ++k) ASSERT_EQ(values[k], k) << finalized;
    EXPECT_EQ(NumberOf(m.moveIterator(1, first, 650, kEmpty)), 650);
    EXPECT_EQ(NumberOf(m.searchTimestamp(1, 100.0, DuplFoundStrategy::Last, NotFoundStrategy::Fail)), 109);
    EXPECT_FALSE(m.moveIterator(1, first, 700, kEmpty));
  }
}

TEST(IndexCopy, CursorBeyondTheLastLeafIsReported) {
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(8), 4));
  auto& channel = *index.manager->getChannel(1);
  IterPtr past = channel.getLastPos();
  EXPECT_THROW(past->resolve(), CursorEofException);
  EXPECT_THROW(past->checkIfOverNode(), CursorEofException);
  IterPtr endOfFirst = kit::make_local_shared<Manager::ChannelType::Iter>(channel.getFirstPos()->getLeaf(), 4, 8,
                                                                           channel.getLoader());
  endOfFirst->checkIfOverNode();
  EXPECT_EQ(NumberOf(endOfFirst), 4);
  EXPECT_EQ(ValueOf(endOfFirst), 4u);
}

TEST(IndexMemory, WalkingALongChannelHoldsOnlyTheLeafAtHand) {
  // 24000 samples in 6000 leaves under five inner levels.
  AsyncIndexChannelInfo info;
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(24000), 4), true, &info);
  ASSERT_EQ(info.treeHeight, 5u);
  Manager& m = *index.manager;
  std::vector<kit::local_weak_ptr<Manager::ChannelType::Leaf>> seen;
  IterPtr it = m.getFirstPos(1);
  uint64_t copied = 0;
  std::vector<uint64_t> values(4);
  while (copied < 24000) {
    IterPtr next = m.moveIterator(1, it, 4, kStop);
    uint64_t count = 4;
    m.getSamples(1, it, next, values.data(), nullptr, count);
    ASSERT_EQ(values[0], copied);
    copied += count;
    seen.emplace_back(it->getLeaf());
    it = next;
  }
  it.reset();
  size_t alive = 0;
  for (const auto& leaf : seen) alive += !leaf.expired();
  // The channel keeps its first leaf; nothing else of the walk stays.
  EXPECT_LE(alive, 2u);
}

TEST(IndexMemory, SearchesReadAtMostOneNodePerLevelBelowTheRootAndReleaseDeepNodes) {
  AsyncIndexChannelInfo info;
  LoadedIndex index = LoadOne(ChannelContents(1, Ramp(24000), 4), true, &info);
  Manager& m = *index.manager;
  const uint64_t height = info.treeHeight;  // inner levels, root included
  uint64_t maxReads = 0;
  for (int k = 0; k < 24000; k += 997) {
    const uint64_t before = index.nodes->readCount();
    IterPtr it = m.searchTimestamp(1, k - 0.5, DuplFoundStrategy::First, NotFoundStrategy::Next);
    ASSERT_EQ(NumberOf(it), k);
    maxReads = std::max(maxReads, index.nodes->readCount() - before);
  }
  EXPECT_LE(maxReads, height);
  // The same search again reads the nodes below the cache depth again.
  const uint64_t before = index.nodes->readCount();
  m.searchTimestamp(1, 12000.5, DuplFoundStrategy::First, NotFoundStrategy::Previous);
  const uint64_t first = index.nodes->readCount() - before;
  m.searchTimestamp(1, 12000.5, DuplFoundStrategy::First, NotFoundStrategy::Previous);
  EXPECT_EQ(index.nodes->readCount() - before - first, height - 1);
}

}  // namespace
}  // namespace Korvane::DataReader::AsyncIndexTest
