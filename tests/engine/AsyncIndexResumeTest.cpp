// Consecutive windows of an index channel resume where the previous one stopped
// and must deliver what one read of everything delivers, also when a damaged leaf
// numbers its samples otherwise than the walk over the leaves finds them: the
// region then ends after the same samples whichever window reaches it.
#include <gtest/gtest.h>

#include <vector>

#include "EngineTestSupport.h"
#include "testkit/AsyncIndexWriter.h"
#include "testkit/EventStreamWriter.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::BaseSetup;
using EngineTest::DataBlocks;
using EngineTest::kRecordBytes;
using EngineTest::OpenedRecording;

constexpr int kSamples = 100;  // one every 10 ms

// Regions [0, 0.45) s and [0.5, 1.0) s; the index channel "AI;1" in the shared
// streams, leaves of four samples, leaf `damagedLeaf` claiming `damagedCount`.
TestKit::Recording IndexRecording(int damagedLeaf, uint32_t damagedCount) {
  TestKit::AsyncIndexWriter writer(true);
  TestKit::AsyncIndexChannelContents contents;
  contents.channelIndex = 4;
  for (int i = 0; i < kSamples; ++i) contents.timestamps.push_back(0.01 * i);
  const TestKit::AsyncIndexChannelInfo info = writer.AddChannel(contents);
  writer.EndRecords();
  TestKit::AsyncIndexStreams streams = writer.Streams();
  const uint64_t count = info.nodeStreamStart + info.leafOffsets.at(static_cast<size_t>(damagedLeaf)) + 4;
  for (int b = 0; b < 4; ++b) streams.nodeStream.at(count + b) = static_cast<uint8_t>(damagedCount >> (8 * b));

  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;1", "events", 7)
      .Set("Async", true)
      .With(TestKit::OnlineInfoRecord(800, std::vector<int>(6, 0), 4));
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 4, 50}, {5, 0, 10, 0}};
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, {{0}, {5}});
  recording.Add("DBDATA", DataBlocks(10)).Add("IBDATA0", std::vector<uint8_t>(10 * kRecordBytes, 1));
  recording.AddIndex(streams);
  return recording;
}

// Time stamps of every sample, in windows of `step` (the cache resumes each).
std::vector<double> Stamps(CDataLoadEngine& engine, const CKVChannel& channel, int64_t total, int step) {
  std::vector<double> stamps(static_cast<size_t>(total), -1.0);
  std::vector<double> values(static_cast<size_t>(total));
  for (int64_t first = 0; first < total; first += step) {
    const int count = static_cast<int>(std::min<int64_t>(step, total - first));
    engine.GetAsyncSamples(&channel, first, count, values.data() + first, stamps.data() + first, 0, 1, false,
                           nullptr, ScaleType::Scaled);
  }
  return stamps;
}

TEST(AsyncIndexResume, WindowsDeliverWhatOneReadDelivers) {
  struct Case {
    const char* name;
    int damagedLeaf;
    uint32_t damagedCount;
  };
  // Leaf 10 holds samples 40 to 43 of region 0; claiming six, its samples are
  // numbered from 38 while the walk reaches them as 40 onwards.
  for (const Case& c : {Case{"intact", 10, 4}, Case{"leaf claims more samples", 10, 6}}) {
    SCOPED_TRACE(c.name);
    OpenedRecording opened(IndexRecording(c.damagedLeaf, c.damagedCount));
    CDataLoadEngine& engine = opened.engine();
    const CKVChannel& channel = opened.Channel("AI;1");
    const int64_t total = engine.GetAsyncSamplesCount(&channel, 0, 1);
    ASSERT_EQ(total, 95);
    const std::vector<double> whole = Stamps(engine, channel, total, static_cast<int>(total));
    for (const int step : {1, 3, 7}) EXPECT_EQ(Stamps(engine, channel, total, step), whole) << "windows of " << step;
    if (c.damagedCount == 4) {
      for (int64_t i = 0; i < total; ++i) EXPECT_DOUBLE_EQ(whole[static_cast<size_t>(i)], 0.01 * (i < 45 ? i : i + 5));
    }
  }
}

}  // namespace
}  // namespace Korvane::DataReader
