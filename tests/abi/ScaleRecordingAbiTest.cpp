// The large-file benchmarks' recording, written small by the same streamed writer,
// read back whole through the C interface: every synchronous and asynchronous
// sample (values and index time stamps), the statistics of every channel at every
// reduced level, and the events. What the benchmark reads is then known to be
// what the kit says it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/ScaleRecording.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader {
namespace {

using TestKit::ScaleRecording;

// Big enough for several records at level 1 and a region of each kind of edge.
constexpr int64_t kPositions = 45'000;
// Windows that start and end inside blocks, leaves and regions.
constexpr int32_t kWindow = 7'777;

bool Near(double actual, double expected, double relative) {
  return std::abs(actual - expected) <= relative * std::max(1.0, std::abs(expected));
}

class ScaleRecordingReads : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TestKit::TempDir;
    recording_ = new ScaleRecording(kPositions);
    recording_->Write(directory_->File("scale.kvd"));
  }
  static void TearDownTestSuite() {
    delete recording_;
    delete directory_;
  }

  void SetUp() override {
    ASSERT_EQ(KVICreateReader(&reader_), KVOk);
    KVFileInfo info{};
    ASSERT_EQ(KVIOpenDataFile(reader_, directory_->File("scale.kvd").c_str(), &info), KVOk);
    int32_t count = 0;
    ASSERT_EQ(KVIGetChannelListCount(reader_, &count), KVOk);
    std::vector<KVChannel> channels(static_cast<size_t>(count));
    ASSERT_EQ(KVIGetChannelList(reader_, channels.data()), KVOk);
    for (const KVChannel& channel : channels) indexes_[channel.name] = channel.index;
  }
  void TearDown() override { KVIDestroyReader(reader_); }

  // Channel i of the kit's list: its interface index, after checking its factors.
  int32_t IndexOf(int i) {
    const std::string name = i < ScaleRecording::kSyncChannels
                                 ? recording_->syncChannels()[static_cast<size_t>(i)].name
                                 : recording_->asyncChannels()[static_cast<size_t>(i - ScaleRecording::kSyncChannels)].name;
    EXPECT_EQ(indexes_.count(name), 1u) << name;
    const int32_t index = indexes_[name];
    double scale = 0, offset = 0;
    EXPECT_EQ(KVIGetChannelFactors(reader_, index, &scale, &offset), KVOk);
    EXPECT_DOUBLE_EQ(scale, ScaleRecording::Scale(i));
    EXPECT_DOUBLE_EQ(offset, ScaleRecording::Offset(i));
    return index;
  }

  // Every sample of a channel, window by window.
  void ReadAll(int32_t index, int64_t count, std::vector<double>& values, std::vector<double>& times) {
    values.assign(static_cast<size_t>(count), 0);
    times.assign(static_cast<size_t>(count), 0);
    for (int64_t first = 0; first < count; first += kWindow) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(kWindow, count - first));
      ASSERT_EQ(KVIGetScaledSamples(reader_, index, first, n, values.data() + first, times.data() + first), KVOk);
    }
  }

  static TestKit::TempDir* directory_;
  static ScaleRecording* recording_;
  KVReaderHandle reader_ = nullptr;
  std::map<std::string, int32_t> indexes_;
};

TestKit::TempDir* ScaleRecordingReads::directory_ = nullptr;
ScaleRecording* ScaleRecordingReads::recording_ = nullptr;

TEST_F(ScaleRecordingReads, SynchronousChannelsReadBackEverySample) {
  ASSERT_EQ(indexes_.size(), size_t{ScaleRecording::kSyncChannels + ScaleRecording::kAsyncChannels});
  std::vector<double> values, times;
  for (int c = 0; c < ScaleRecording::kSyncChannels; ++c) {
    SCOPED_TRACE(c);
    const int32_t index = IndexOf(c);
    int64_t count = 0;
    ASSERT_EQ(KVIGetScaledSamplesCount(reader_, index, &count), KVOk);
    ASSERT_EQ(count, recording_->SyncSampleCount(c));
    ReadAll(index, count, values, times);
    for (int64_t k = 0; k < count; ++k) {
      const double expected = recording_->SyncValue(c, k) * ScaleRecording::Scale(c) + ScaleRecording::Offset(c);
      ASSERT_TRUE(Near(values[static_cast<size_t>(k)], expected, 1e-12)) << "sample " << k;
    }
  }
}

TEST_F(ScaleRecordingReads, AsynchronousChannelsReadBackEverySampleAndTimeStamp) {
  std::vector<double> values, times;
  for (int a = 0; a < ScaleRecording::kAsyncChannels; ++a) {
    SCOPED_TRACE(a);
    const int i = ScaleRecording::kSyncChannels + a;
    const int32_t index = IndexOf(i);
    int64_t count = 0;
    ASSERT_EQ(KVIGetScaledSamplesCount(reader_, index, &count), KVOk);
    ASSERT_EQ(count, recording_->AsyncSampleCount(a));
    ReadAll(index, count, values, times);
    for (int64_t j = 0; j < count; ++j) {
      const double expected = recording_->AsyncValue(a, j) * ScaleRecording::Scale(i) + ScaleRecording::Offset(i);
      ASSERT_TRUE(Near(values[static_cast<size_t>(j)], expected, 1e-12)) << "sample " << j;
      ASSERT_EQ(times[static_cast<size_t>(j)], recording_->AsyncTime(a, j)) << "sample " << j;
    }
  }
}

// Each level's records, for all channels in one block read, against the statistics
// of the full-rate signals over the recorded positions of each interval.
TEST_F(ScaleRecordingReads, EveryReducedLevelHoldsEveryChannelsStatistics) {
  constexpr int kChannels = ScaleRecording::kSyncChannels + ScaleRecording::kAsyncChannels;
  std::vector<int32_t> indexes;
  for (int i = 0; i < kChannels; ++i) indexes.push_back(IndexOf(i));
  const std::vector<int32_t> listed = indexes;
  for (int level = 0; level < ScaleRecording::kLevels; ++level) {
    SCOPED_TRACE(level);
    const TestKit::StoredLevel stored = TestKit::StoredIntervals(recording_->layout(), level);
    const auto count = static_cast<int32_t>(recording_->ReducedRecordCount(level));
    ASSERT_EQ(count, static_cast<int32_t>(stored.intervals.size()));
    std::vector<KVReducedValue> values(static_cast<size_t>(kChannels * count));
    indexes = listed;
    ASSERT_EQ(KVIGetReducedValuesBlock(reader_, indexes.data(), kChannels, 0, count, level, values.data()), KVOk);
    for (int i = 0; i < kChannels; ++i) {
      // Floats for int16 and float channels, doubles for the others.
      const bool floats = i < ScaleRecording::kSyncChannels && recording_->syncChannels()[static_cast<size_t>(i)].dataType != 7;
      const double tolerance = floats ? 1e-6 : 1e-12;
      for (int32_t r = 0; r < count; ++r) {
        double minimum = INFINITY, maximum = -INFINITY, sum = 0;
        int64_t n = 0;
        for (const auto& [from, to] : stored.intervals[static_cast<size_t>(r)].ranges) {
          for (int64_t p = from; p < to; ++p, ++n) {
            const double x = recording_->FullRateValue(i, p);
            minimum = std::min(minimum, x);
            maximum = std::max(maximum, x);
            sum += x;
          }
        }
        const KVReducedValue& got = values[static_cast<size_t>(i * count + r)];
        const double scale = ScaleRecording::Scale(i), offset = ScaleRecording::Offset(i);
        ASSERT_TRUE(Near(got.min, minimum * scale + offset, tolerance)) << "channel " << i << " record " << r;
        ASSERT_TRUE(Near(got.max, maximum * scale + offset, tolerance)) << "channel " << i << " record " << r;
        ASSERT_TRUE(Near(got.ave, sum / static_cast<double>(n) * scale + offset, tolerance))
            << "channel " << i << " record " << r;
      }
    }
  }
}

TEST_F(ScaleRecordingReads, EventsAreTheRegionsAndTheTriggers) {
  int32_t count = 0;
  ASSERT_EQ(KVIGetEventListCount(reader_, &count), KVOk);
  ASSERT_EQ(count, 6 + recording_->TriggerCount());
  std::vector<KVEvent> events(static_cast<size_t>(count));
  ASSERT_EQ(KVIGetEventList(reader_, events.data()), KVOk);
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const KVEvent& e) { return e.event_type == 3; }),
            recording_->TriggerCount());
  EXPECT_EQ(events.front().event_type, 1);
  EXPECT_EQ(events.back().event_type, 2);
}

}  // namespace
}  // namespace Korvane::DataReader
