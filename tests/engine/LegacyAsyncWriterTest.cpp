// The test kit's legacy asynchronous block writer, checked against layouts worked
// out by hand: tails inside the level's records (online and on the channel's own
// stream), block data at the tails' positions, float times after the block times.
// The engine's legacy-block tests rely on these images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/LegacyAsyncWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

template <class T>
T At(const std::vector<uint8_t>& bytes, size_t position) {
  T value{};
  EXPECT_LE(position + sizeof value, bytes.size());
  if (position + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + position, sizeof value);
  return value;
}

struct ExpectedBlock {
  int32_t count;
  int64_t cumulative;
  double timeMs;                  // the block's time
  std::vector<int64_t> samples;   // channel sample indexes, in stored order
};

struct Case {
  std::string name;
  DataLayout layout;
  int level;
  std::vector<double> timesMs;
  int32_t sampleBytes;
  int32_t arraySize;
  bool ownValues;  // give value bytes, else the writer's numbered values
  std::vector<ExpectedBlock> blocks;
};

std::vector<Case> Cases() {
  // Block size 4 at 1000 samples per second: position p is p ms.
  DataLayout gap;
  gap.blockSize = 4;
  gap.ibRate = 2;
  gap.regions = {{0, 0, 1, 2}, {5, 0, 7, 0}};  // [0, 6) ms, [20, 28) ms
  DataLayout shared = gap;
  shared.regions = {{0, 0, 1, 2}, {1, 3, 5, 0}};  // [0, 6) ms, [7, 20) ms
  return {
      {"LevelZeroWithAGap", gap, 0, {0.5, 3.0, 5.5, 6.5, 10.0, 20.0, 22.5, 27.0, 30.0}, 4, 2, true,
       {{2, 2, 0, {0, 1}}, {1, 3, 4, {2}}, {2, 5, 20, {5, 6}}, {1, 6, 24, {7}}}},
      // At level 1 (8 ms per record) the second region starts in the interval the
      // first stopped in: one record holds the samples of both, not the gap's.
      {"LevelOneSharedInterval", shared, 1, {1.0, 6.5, 7.5, 9.0, 12.0, 19.0, 20.0}, 8, 1, false,
       {{2, 2, 0, {0, 2}}, {2, 4, 8, {3, 4}}, {1, 5, 16, {5}}}},
  };
}

std::vector<uint8_t> OwnValues(size_t count, size_t valueSize) {
  std::vector<uint8_t> values;
  for (size_t i = 0; i < count * valueSize; ++i) {
    values.push_back(static_cast<uint8_t>(i / valueSize * 16 + i % valueSize));
  }
  return values;
}

// Checks block b's tail at `tail` and its data.
void CheckBlock(const Case& c, const LegacyAsyncBlocks& written, const std::vector<uint8_t>& tails, size_t tail,
                size_t b, int64_t expectedPosition) {
  const ExpectedBlock& e = c.blocks[b];
  SCOPED_TRACE("block " + std::to_string(b));
  EXPECT_EQ(At<int32_t>(tails, tail), e.count);
  EXPECT_EQ(At<int64_t>(tails, tail + 8), e.cumulative);
  const auto position = At<int64_t>(tails, tail + 16);
  EXPECT_EQ(position, expectedPosition);
  const auto valueSize = static_cast<size_t>(c.sampleBytes * c.arraySize);
  const size_t values = written.dataStart + static_cast<size_t>(position);
  const size_t floats = values + valueSize * e.samples.size();
  const std::vector<uint8_t> all = OwnValues(c.timesMs.size(), valueSize);
  for (size_t k = 0; k < e.samples.size(); ++k) {
    const auto index = static_cast<size_t>(e.samples[k]);
    const std::vector<uint8_t> expected =
        c.ownValues ? std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(index * valueSize),
                                           all.begin() + static_cast<std::ptrdiff_t>((index + 1) * valueSize))
                    : SampleValueBytes(index, static_cast<uint32_t>(valueSize));
    ASSERT_LE(values + (k + 1) * valueSize, written.data.size());
    const auto stored = written.data.begin() + static_cast<std::ptrdiff_t>(values + k * valueSize);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stored));
    EXPECT_FLOAT_EQ(At<float>(written.data, floats + 4 * k), static_cast<float>((c.timesMs[index] - e.timeMs) / 1000));
  }
}

TEST(LegacyAsyncWriter, TailsLocateEachStoredRecordsSamples) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    LegacyAsyncChannel channel;
    for (double ms : c.timesMs) channel.timestamps.push_back(ms / 1000);
    channel.sampleBytes = c.sampleBytes;
    channel.arraySize = c.arraySize;
    const auto valueSize = static_cast<size_t>(c.sampleBytes * c.arraySize);
    if (c.ownValues) channel.values = OwnValues(c.timesMs.size(), valueSize);
    channel.level = c.level;
    const size_t lead = 7;
    const LegacyAsyncBlocks written = BuildLegacyAsyncBlocks(c.layout, channel, lead);
    ASSERT_EQ(written.dataStart, lead);

    // Online: a double item at 8, so the tail begins at 8 + 32 in 72-byte records.
    ReducedChannelValues item;
    item.itemOffsets.fill(8);
    item.values.assign(40, 1.5);
    ReducedLevelStream level = BuildReducedLevel(c.layout, c.level, 72, {item});
    ASSERT_EQ(level.bytes.size(), 72 * c.blocks.size());
    PatchLegacyTails(level.bytes, 72, 40, written);
    // Offline: float items (16 bytes), so records of 16 + 24 after 5 lead bytes,
    // and a channel with only reduced time stamps: tails alone.
    item.doublePrecision = false;
    const std::vector<uint8_t> own = BuildOwnLegacyReducedStream(c.layout, &item, written, 5);
    ASSERT_EQ(own.size(), 5 + 40 * c.blocks.size());
    const std::vector<uint8_t> bare = BuildOwnLegacyReducedStream(c.layout, nullptr, written);
    ASSERT_EQ(bare.size(), 24 * c.blocks.size());

    int64_t position = 0;
    for (size_t b = 0; b < c.blocks.size(); ++b) {
      CheckBlock(c, written, level.bytes, 72 * b + 40, b, position);
      CheckBlock(c, written, own, 5 + 40 * b + 16, b, position);
      CheckBlock(c, written, bare, 24 * b, b, position);
      EXPECT_EQ(At<double>(level.bytes, 72 * b + 8), 1.5);  // the item's minimum stays
      EXPECT_EQ(At<float>(own, 5 + 40 * b + 12), 1.5f);     // the item's RMS stays
      position += static_cast<int64_t>((valueSize + 4) * c.blocks[b].samples.size());
    }
    EXPECT_EQ(written.data.size(), lead + static_cast<size_t>(position));
    EXPECT_EQ(written.data[0], 0xEE);
  }
}

}  // namespace
}  // namespace Korvane::DataReader::TestKit
