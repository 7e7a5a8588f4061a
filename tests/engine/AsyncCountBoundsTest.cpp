// Sample counts of asynchronous channels bound what the file can hold and what a
// read delivers: legacy tails and index leaves whose stored counts claim more
// samples than the data stream has room for make the count and the read a corrupt
// file, and a read of a region never delivers more samples than the region's
// count, which is what a host sizes its buffers by.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "EngineTestSupport.h"
#include "common/DataReaderLibException.h"
#include "testkit/AsyncIndexWriter.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/LegacyAsyncWriter.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::kBlockBytes;
using EngineTest::OpenedRecording;
// Damages a stream given where each block's or leaf's stored count of the samples
// up to and including it lies, in order.
using Patch = std::function<void(std::vector<uint8_t>&, const std::vector<size_t>&)>;

constexpr int kSamples = 100;  // one every 10 ms
constexpr uint64_t kClaimed = uint64_t{1} << 60;

void AddU64(std::vector<uint8_t>& bytes, size_t position, uint64_t add) {
  uint64_t value = 0;
  for (int b = 0; b < 8; ++b) value |= uint64_t{bytes.at(position + b)} << (8 * b);
  value += add;
  for (int b = 0; b < 8; ++b) bytes.at(position + b) = static_cast<uint8_t>(value >> (8 * b));
}

// Regions [0, 0.5) s and [0.6, 1.0) s.
TestKit::DataLayout Layout() {
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 5, 0}, {6, 0, 10, 0}};
  return layout;
}

TestKit::SetupBuilder& Setup(TestKit::SetupBuilder& setup, int recordBytes) {
  setup.Property("SampleRate", 1000).Property("BlockSize", 100).Property("IBRate", 20);
  setup.Property("StartStoreTime", 45000.5).Property("StartingIBLevel", 0);
  setup.MeasurementOnlineInfo(kBlockBytes, {recordBytes, 0, 0, 0, 0, 0});
  setup.AddChannel("AI;0", "Voltage", 7).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
  return setup;
}

// "AI;1" in legacy blocks at level 0: records of the sync item, its item, its tail.
TestKit::Recording LegacyRecording(const Patch& patchRecords) {
  const TestKit::DataLayout layout = Layout();
  TestKit::LegacyAsyncChannel channel;
  for (int i = 0; i < kSamples; ++i) channel.timestamps.push_back(0.01 * i);
  const TestKit::LegacyAsyncBlocks blocks = TestKit::BuildLegacyAsyncBlocks(layout, channel);
  constexpr int kRecord = 32 + 32 + 24;
  TestKit::ReducedChannelValues sync;
  sync.values.assign(1000, 1.0);
  TestKit::ReducedChannelValues own = sync;
  own.itemOffsets[0] = 32;
  TestKit::ReducedLevelStream level = TestKit::BuildReducedLevel(layout, 0, kRecord, {sync, own});
  TestKit::PatchLegacyTails(level.bytes, kRecord, 64, blocks);
  std::vector<size_t> cumulative;
  for (size_t record = 0; record < blocks.blocks.size(); ++record) cumulative.push_back(record * kRecord + 64 + 8);
  patchRecords(level.bytes, cumulative);
  TestKit::SetupBuilder setup;
  Setup(setup, kRecord).AddChannel("AI;1", "events", 7).Set("Async", true).Set("BitCount", 64)
      .With(TestKit::OnlineInfoRecord(800, {32, 0, 0, 0, 0, 0}));
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, TestKit::RegionLevelOffsets({level}, 2));
  recording.Add("IBDATA0", level.bytes).Add("DBASDAT0", blocks.data);
  return recording;
}

// "AI;1" in the shared index, leaves of four samples.
TestKit::Recording IndexRecording(const Patch& patchNodes) {
  TestKit::AsyncIndexWriter writer(true);
  TestKit::AsyncIndexChannelContents contents;
  contents.channelIndex = 4;
  for (int i = 0; i < kSamples; ++i) contents.timestamps.push_back(0.01 * i);
  const TestKit::AsyncIndexChannelInfo info = writer.AddChannel(contents);
  writer.EndRecords();
  TestKit::AsyncIndexStreams streams = writer.Streams();
  std::vector<size_t> totals;
  for (const uint64_t leaf : info.leafOffsets) totals.push_back(static_cast<size_t>(info.nodeStreamStart + leaf + 8));
  patchNodes(streams.nodeStream, totals);
  TestKit::SetupBuilder setup;
  Setup(setup, 32).AddChannel("AI;1", "events", 7).Set("Async", true)
      .With(TestKit::OnlineInfoRecord(800, std::vector<int>(6, 0), 4));
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(Layout(), {{0}, {6}});
  recording.Add("IBDATA0", std::vector<uint8_t>(10 * 32, 1)).AddIndex(streams);
  return recording;
}

TEST(AsyncCountBounds, CountsBeyondTheDataStreamAreACorruptFile) {
  // From the fourth block or leaf on, the stored counts claim kClaimed samples more.
  const Patch damage = [](std::vector<uint8_t>& bytes, const std::vector<size_t>& counts) {
    for (size_t k = 3; k < counts.size(); ++k) AddU64(bytes, counts[k], kClaimed);
  };
  struct Case {
    const char* name;
    std::function<TestKit::Recording(const Patch&)> build;
  };
  const Case cases[] = {{"legacy tails", LegacyRecording}, {"index leaves", IndexRecording}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      OpenedRecording intact(c.build([](std::vector<uint8_t>&, const std::vector<size_t>&) {}));
      EXPECT_EQ(intact.engine().GetAsyncSamplesCount(&intact.Channel("AI;1"), 0, 1), 90);
    }
    OpenedRecording opened(c.build(damage));
    const CKVChannel* channel = &opened.Channel("AI;1");
    EXPECT_THROW(opened.engine().GetAsyncSamplesCount(channel, 0, 1), FileCorruptException);
    std::vector<double> values(kSamples);
    std::vector<double> stamps(kSamples);
    EXPECT_THROW(opened.engine().GetAsyncSamples(channel, 0, kSamples, values.data(), stamps.data(), 0, 1, false,
                                                 nullptr, ScaleType::Scaled),
                 FileCorruptException);
  }
}

// Index leaf totals that grow by 45 inside region 0 leave each region within the
// value stream but both together beyond it: the count of both fails, and so does a
// read of both (it would otherwise deliver what no count allowed for), while each
// region alone reads. (Legacy tails cannot get there: each tail's total is bounded.)
TEST(AsyncCountBounds, RegionsTogetherBeyondTheDataStreamFailAsTheirCount) {
  OpenedRecording opened(IndexRecording([](std::vector<uint8_t>& bytes, const std::vector<size_t>& totals) {
    for (size_t leaf = 6; leaf < totals.size(); ++leaf) AddU64(bytes, totals[leaf], 45);
  }));
  const CKVChannel* channel = &opened.Channel("AI;1");
  CDataLoadEngine& engine = opened.engine();
  int64_t first = 0;
  int64_t second = 0;
  ASSERT_NO_THROW(first = engine.GetAsyncSamplesCount(channel, 0, 0));
  ASSERT_NO_THROW(second = engine.GetAsyncSamplesCount(channel, 1, 1));
  ASSERT_GT(first + second, kSamples);
  EXPECT_THROW(engine.GetAsyncSamplesCount(channel, 0, 1), FileCorruptException);
  // Room for all that the regions claim, so that what a read delivers shows.
  std::vector<double> values(4 * kSamples, -1);
  std::vector<double> stamps(4 * kSamples, -1);
  const auto read = [&](int firstRegion, int lastRegion, int count) {
    engine.GetAsyncSamples(channel, 0, count, values.data(), stamps.data(), firstRegion, lastRegion, false, nullptr,
                           ScaleType::Scaled);
  };
  for (const int count : {1, kSamples}) {
    SCOPED_TRACE(count);
    EXPECT_THROW(read(0, 1, count), FileCorruptException);
    EXPECT_THROW(read(0, 1, count), FileCorruptException);  // also once the failure is known
  }
  EXPECT_NO_THROW(read(0, 0, kSamples));
  EXPECT_NO_THROW(read(1, 1, kSamples));
}

// Record 5 (region 1's first block) claims ten samples fewer up to it: region 0
// counts about 40 samples, while its blocks hold 50 time stamps inside it.
TEST(AsyncCountBounds, ARegionDeliversNoMoreThanItsCount) {
  OpenedRecording opened(LegacyRecording([](std::vector<uint8_t>& bytes, const std::vector<size_t>& counts) {
    AddU64(bytes, counts.at(5), ~uint64_t{0} - 9);
  }));
  const CKVChannel* channel = &opened.Channel("AI;1");
  CDataLoadEngine& engine = opened.engine();
  ASSERT_LT(engine.GetAsyncSamplesCount(channel, 0, 0), 45);
  for (const auto& [firstRegion, lastRegion] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{0, 1}}) {
    SCOPED_TRACE(firstRegion);
    const int64_t count = engine.GetAsyncSamplesCount(channel, firstRegion, lastRegion);
    // Room for every stored sample, so that an overrun shows as a count.
    std::vector<double> values(kSamples, -1);
    std::vector<double> stamps(kSamples, -1);
    engine.GetAsyncSamples(channel, 0, std::numeric_limits<int>::max(), values.data(), stamps.data(), firstRegion,
                           lastRegion, false, nullptr, ScaleType::Scaled);
    EXPECT_LE(std::count_if(stamps.begin(), stamps.end(), [](double t) { return t >= 0; }), count);
  }
}

}  // namespace
}  // namespace Korvane::DataReader
