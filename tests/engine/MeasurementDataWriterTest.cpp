// The test kit's measurement data writer, checked against layouts computed by hand:
// block slices, divided rates, gaps between regions, reduced items and the
// single-value streams. The engine tests rely on these images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "testkit/MeasurementDataWriter.h"
#include "testkit/OnlineLayout.h"

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

// Block size 120, three regions: blocks 2-4 from offset 5 (stop inside block 4),
// one starting in that same block 4 (stored once), and blocks 9-11 from offset
// 119. Stored blocks: 2, 3, 4 | 4, 5 | 9, 10, 11 at stored indexes 0-2 | 2-3 | 4-6.
DataLayout OddRegions() {
  DataLayout layout;
  layout.blockSize = 120;
  layout.regions = {{2, 5, 4, 50}, {4, 70, 6, 0}, {9, 119, 11, 7}};
  return layout;
}

int64_t CeilTo(int64_t a, int64_t b) { return (a + b - 1) / b * b; }

TEST(MeasurementDataWriter, SyncSamplesLieWhereTheStoredLayoutPutsThem) {
  const DataLayout layout = OddRegions();
  const int64_t bases[] = {0, 2, 4};  // each region's start block among the stored blocks
  for (size_t r = 0; r < 3; ++r) EXPECT_EQ(layout.StoredBlockBase(r), bases[r]) << r;
  ASSERT_EQ(layout.StoredBlockCount(), 7);
  // Every value names its sample: a double divided by 3 (sample i holds i), an
  // int16 array of four values by 2 (sample i holds 4i to 4i + 3).
  std::vector<double> thirds(12 * 40);
  for (size_t i = 0; i < thirds.size(); ++i) thirds[i] = double(i);
  std::vector<int16_t> halves(12 * 60 * 4);
  for (size_t i = 0; i < halves.size(); ++i) halves[i] = static_cast<int16_t>(i);
  struct Channel {
    SyncChannelSamples samples;
    int64_t bytesPerSample;
    double ValueAt(const std::vector<uint8_t>& bytes, size_t position) const {
      return samples.arraySize == 1 ? DoubleAt(bytes, position) : Int16At(bytes, position) / 4.0;
    }
  };
  const Channel channels[] = {{{0, 8, 3, EncodeDoubles(thirds)}, 8}, {{320, 2, 2, EncodeInt16(halves), 4}, 8}};
  const int32_t blockBytes = 320 + 480 + 16;
  std::vector<SyncChannelSamples> all;
  for (const Channel& c : channels) all.push_back(c.samples);
  const std::vector<uint8_t> blocks = BuildDataBlocks(layout, blockBytes, all);
  ASSERT_EQ(blocks.size(), 7u * blockBytes);
  for (const Channel& c : channels) {
    const int64_t div = c.samples.srDiv;
    const std::vector<uint8_t> own = BuildOwnDataStream(layout, c.samples, 5);
    ASSERT_EQ(own.size(), 5u + 7 * 120 / div * c.bytesPerSample);
    std::vector<int64_t> online;
    std::vector<int64_t> offline;
    for (size_t r = 0; r < 3; ++r) {
      const RecordedRegion& region = layout.regions[r];
      const int64_t start = region.startBlock * 120 + region.startOffset;
      const int64_t stop = region.stopBlock * 120 + region.stopOffset;
      // In "DBDATA": sample k at p = div x k + s rounded up to div, from the start block.
      for (int64_t p = CeilTo(region.startOffset, div); region.startBlock * 120 + p < stop; p += div) {
        const size_t at = static_cast<size_t>((bases[r] + p / 120) * blockBytes + c.samples.dbOffset +
                                              (p % 120) / div * c.bytesPerSample);
        EXPECT_EQ(c.ValueAt(blocks, at), double((region.startBlock * 120 + p) / div)) << r << " " << p;
        online.push_back((region.startBlock * 120 + p) / div);
      }
      // On its own: (stop - start) / div samples, sample k at element
      // (120 x base + s + div x k) / div, holding sample start / div + k.
      for (int64_t k = 0; k < (stop - start) / div; ++k) {
        const int64_t element = (120 * bases[r] + region.startOffset + div * k) / div;
        EXPECT_EQ(c.ValueAt(own, static_cast<size_t>(5 + element * c.bytesPerSample)), double(start / div + k)) << k;
        offline.push_back(start / div + k);
      }
    }
    EXPECT_EQ(RegionSampleIndexes(layout, c.samples.srDiv), online);
    EXPECT_EQ(RegionSampleIndexes(layout, c.samples.srDiv, true), offline);
  }
  EXPECT_EQ(Int16At(blocks, 320 + 2), 2 * 60 * 4 + 1);  // array values follow each other
  EXPECT_THROW(BuildDataBlocks(layout, blockBytes, {{0, 8, 7, {}}}), std::invalid_argument);
}

TEST(OnlineLayout, ChannelsFollowEachOtherInEveryStream) {
  LayoutChannel doubles;  // statistics 32 bytes, 64 above the first level
  LayoutChannel slowFloats;
  slowFloats.valueBytes = 2;
  slowFloats.srDiv = 2;
  slowFloats.doublePrecision = false;  // 16, then 32
  LayoutChannel array;                 // no items: nothing, then the carried sums only
  array.arraySize = 8;
  array.srDiv = 10;
  array.statisticsItems = 0;
  LayoutChannel single;
  single.singleValue = true;
  LayoutChannel upper;  // from level 1
  upper.firstLevel = 1;
  const OnlineLayout layout = PlanOnlineLayout(100, {doubles, single, slowFloats, array, single, upper});
  EXPECT_EQ(layout.blockBytes, 800 + 100 + 640 + 800);
  EXPECT_EQ(layout.RecordBytes(), (std::vector<int>{32 + 16, 64 + 32 + 32 + 32, 192, 192, 192, 192}));
  EXPECT_EQ(layout.singleValueInfoBytes, 16);
  const std::vector<std::pair<int32_t, std::vector<int>>> expected = {
      {0, {0, 0, 0, 0, 0, 0}},          {0, {0, 0, 0, 0, 0, 0}},
      {800, {32, 64, 64, 64, 64, 64}},  {900, {48, 96, 96, 96, 96, 96}},
      {8, {0, 0, 0, 0, 0, 0}},          {1540, {0, 128, 128, 128, 128, 128}}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(layout.channels[i].dbOffset, expected[i].first) << i;
    EXPECT_EQ(layout.channels[i].IBOffsets(), expected[i].second) << i;
  }
  EXPECT_THROW(PlanOnlineLayout(100, {slowFloats, LayoutChannel{false, 8, 1, 3}}), std::invalid_argument);
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
