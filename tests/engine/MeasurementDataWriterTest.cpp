// The test kit's measurement data writer, checked against layouts computed by hand:
// block slices, divided rates, gaps between regions, reduced items and the
// single-value streams. The engine tests rely on these images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "testkit/MeasurementDataWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

double DoubleAt(const std::vector<uint8_t>& bytes, size_t position) {
  double value = 0;
  std::memcpy(&value, bytes.data() + position, sizeof value);
  return value;
}

int16_t Int16At(const std::vector<uint8_t>& bytes, size_t position) {
  return static_cast<int16_t>(bytes.at(position) | (bytes.at(position + 1) << 8));
}

DataLayout TwoRegions() {
  DataLayout layout;
  layout.blockSize = 4;
  layout.ibRate = 2;
  // Blocks 0-1 (the stop inside block 1), then blocks 5-6.
  layout.regions = {{0, 0, 1, 2}, {5, 0, 7, 0}};
  return layout;
}

TEST(MeasurementDataWriter, BlocksHoldTheRegionsSlicesWithoutTheGaps) {
  const DataLayout layout = TwoRegions();
  EXPECT_EQ(layout.StoredBlocks(0), 2);
  EXPECT_EQ(layout.StoredBlocks(1), 2);
  EXPECT_EQ(layout.StoredBlockBase(1), 2);
  std::vector<double> fast;
  std::vector<int16_t> slow;
  for (int i = 0; i < 28; ++i) fast.push_back(i);
  for (int i = 0; i < 14; ++i) slow.push_back(static_cast<int16_t>(100 + i));
  const std::vector<SyncChannelSamples> channels = {{0, 8, 1, EncodeDoubles(fast)}, {32, 2, 2, EncodeInt16(slow)}};
  const std::vector<uint8_t> blocks = BuildDataBlocks(layout, 40, channels);
  ASSERT_EQ(blocks.size(), 4u * 40);
  EXPECT_EQ(DoubleAt(blocks, 0), 0.0);
  EXPECT_EQ(DoubleAt(blocks, 40 + 3 * 8), 7.0);     // block 1, sample 3
  EXPECT_EQ(DoubleAt(blocks, 80), 20.0);            // stored block 2 is recording block 5
  EXPECT_EQ(Int16At(blocks, 80 + 32), 110);         // slow sample 10 = position 20
  EXPECT_EQ(Int16At(blocks, 120 + 34), 113);        // block 6, second slow sample
  EXPECT_EQ(blocks[38], 0);                         // bytes behind the slices stay zero

  const std::vector<uint8_t> own = BuildOwnDataStream(layout, channels[1], 3);
  ASSERT_EQ(own.size(), 3u + 4 * 2 * 2);
  EXPECT_EQ(Int16At(own, 3), 100);
  EXPECT_EQ(Int16At(own, 3 + 4 * 2), 110);
}

TEST(MeasurementDataWriter, ReducedItemsCoverEachRegionsIntervals) {
  const DataLayout layout = TwoRegions();
  ReducedChannelValues channel;
  channel.itemOffsets = {8, 8, 8, 8, 8, 8};
  for (int i = 0; i < 28; ++i) channel.values.push_back(i % 2 == 0 ? i : -i);
  const ReducedLevelStream level0 = BuildReducedLevel(layout, 0, 40, {channel});
  ASSERT_EQ(level0.bytes.size(), 4u * 40);
  EXPECT_EQ(level0.regionFirstRecord, (std::vector<int32_t>{0, 2}));
  // Record 1: positions 4 and 5 only (the stop lies at 6): values 4 and -5.
  EXPECT_EQ(DoubleAt(level0.bytes, 40 + 8), -5.0);
  EXPECT_EQ(DoubleAt(level0.bytes, 40 + 16), 4.0);
  EXPECT_EQ(DoubleAt(level0.bytes, 40 + 24), -0.5);
  EXPECT_DOUBLE_EQ(DoubleAt(level0.bytes, 40 + 32), std::sqrt((16.0 + 25.0) / 2));

  // Level 1 (two blocks per value): region 1 touches values 2 and 3.
  const ReducedLevelStream level1 = BuildReducedLevel(layout, 1, 40, {channel});
  EXPECT_EQ(level1.regionFirstRecord, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(level1.bytes.size(), 3u * 40);
  // Stored on its own: float items of 16 bytes plus a 1-byte tail, behind 5 bytes.
  channel.doublePrecision = false;
  const std::vector<uint8_t> own = BuildOwnReducedStream(layout, 0, channel, 5, 1);
  ASSERT_EQ(own.size(), 5u + 4 * 17);
  float maximum = 0;
  std::memcpy(&maximum, own.data() + 5 + 17 + 4, sizeof maximum);
  EXPECT_EQ(maximum, 4.0f);
  EXPECT_EQ(own[5 + 16], 0);
  EXPECT_EQ(RegionLevelOffsets({level0, level1}, 2), (std::vector<std::vector<int32_t>>{{0, 0}, {2, 1}}));
}

TEST(MeasurementDataWriter, AnIntervalTwoRegionsShareIsStoredOnce) {
  DataLayout layout;
  layout.blockSize = 4;
  layout.ibRate = 2;
  // Level-1 interval 1 (positions 8-15) holds the first region's stop at 10 and
  // the second region's start at 12.
  layout.regions = {{0, 0, 2, 2}, {3, 0, 6, 0}};
  ReducedChannelValues channel;
  for (int i = 0; i < 24; ++i) channel.values.push_back(i);
  const ReducedLevelStream level1 = BuildReducedLevel(layout, 1, 32, {channel});
  ASSERT_EQ(level1.bytes.size(), 3u * 32);
  EXPECT_EQ(level1.regionFirstRecord, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(DoubleAt(level1.bytes, 32), 8.0);
  EXPECT_EQ(DoubleAt(level1.bytes, 32 + 8), 15.0);
  EXPECT_EQ(DoubleAt(level1.bytes, 32 + 16), (8 + 9 + 12 + 13 + 14 + 15) / 6.0);
  EXPECT_EQ(DoubleAt(level1.bytes, 64), 16.0);
  // At level 0 the regions touch different blocks: nothing is shared.
  EXPECT_EQ(BuildReducedLevel(layout, 0, 32, {channel}).regionFirstRecord, (std::vector<int32_t>{0, 3}));
}

TEST(MeasurementDataWriter, SingleValueStreams) {
  const SingleValueStreams streams =
      BuildSingleValueStreams({{8, EncodeDoubles({1.5}), 1}, {0, {'a', 'b', 'c'}, 3}, {16, {}, 0}});
  ASSERT_EQ(streams.info.size(), 24u);
  EXPECT_EQ(streams.info[8], 0);   // first value at 0
  EXPECT_EQ(streams.info[12], 1);  // stored
  EXPECT_EQ(streams.info[0], 8);   // text behind the double
  EXPECT_EQ(streams.info[4], 3);
  EXPECT_EQ(streams.info[20], 0);
  EXPECT_EQ(streams.data.size(), 11u);
  EXPECT_EQ(DoubleAt(streams.data, 0), 1.5);
  const std::vector<uint8_t> text = OwnSingleText(true, "hi", 2);
  EXPECT_EQ(text, (std::vector<uint8_t>{0, 0, 1, 2, 0, 0, 0, 'h', 'i'}));
  EXPECT_EQ(OwnSingleValue(false, {9}), (std::vector<uint8_t>{0, 9}));
}

}  // namespace
}  // namespace Korvane::DataReader::TestKit
