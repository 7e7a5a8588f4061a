// The demo's recording, plain and zip-packaged, read back through the engine: every
// synchronous channel delivers, window by window, exactly the values the test kit
// wrote, with their time stamps, and every reduced level the statistics of those
// values over each stored interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "EngineTestSupport.h"
#include "setup/CKVChannel.h"
#include "testkit/SampleRecording.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::OpenedRecording;

// The statistics a reduced value holds: over the recorded positions of one interval.
struct Statistics {
  double time = 0;
  double minimum = 0;
  double maximum = 0;
  double average = 0;
  double rms = 0;
};

// The stored intervals of a level, region after region, an interval two regions
// share once, with the statistics of the channel's values over them.
std::vector<Statistics> ExpectedLevel(const TestKit::SampleRecordingContents& contents, int level,
                                      const std::vector<double>& values) {
  const int64_t a = contents.layout.blockSize * contents.layout.MidRate(level);
  struct Interval {
    int64_t index;
    std::vector<std::pair<int64_t, int64_t>> ranges;
  };
  std::vector<Interval> intervals;
  for (const TestKit::RecordedRegion& r : contents.layout.regions) {
    const int64_t start = int64_t{r.startBlock} * contents.layout.blockSize + r.startOffset;
    const int64_t stop = int64_t{r.stopBlock} * contents.layout.blockSize + r.stopOffset;
    for (int64_t i = start / a; i < (stop - 1 + a) / a; ++i) {
      const std::pair<int64_t, int64_t> range{std::max(start, i * a), std::min(stop, (i + 1) * a)};
      if (!intervals.empty() && intervals.back().index == i) {
        intervals.back().ranges.push_back(range);
      } else {
        intervals.push_back({i, {range}});
      }
    }
  }
  std::vector<Statistics> expected;
  for (const Interval& interval : intervals) {
    Statistics s{static_cast<double>(interval.index * a) / contents.sampleRate, INFINITY, -INFINITY, 0, 0};
    int64_t n = 0;
    for (const auto& [from, to] : interval.ranges) {
      for (int64_t p = from; p < to; ++p, ++n) {
        const double x = values[static_cast<size_t>(p)];
        s.minimum = std::min(s.minimum, x);
        s.maximum = std::max(s.maximum, x);
        s.average += x;
        s.rms += x * x;
      }
    }
    s.average /= static_cast<double>(n);
    s.rms = std::sqrt(s.rms / static_cast<double>(n));
    expected.push_back(s);
  }
  return expected;
}

TEST(SampleRecordingReadBack, EverySynchronousValueReadsBackAsWritten) {
  for (const bool zipPackaged : {false, true}) {
    TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
    contents.recording.zipPackaged = zipPackaged;
    OpenedRecording opened(contents.recording);
    for (const TestKit::SampleChannel& written : contents.channels) {
      const CKVChannel& channel = opened.Channel(written.index);
      const std::vector<int64_t> stored = TestKit::RegionSampleIndexes(contents.layout, written.srDiv);
      ASSERT_EQ(opened.engine().GetSamplesCount(&channel), static_cast<int64_t>(stored.size())) << written.name;
      // Windows of an odd size, so that they start and end inside blocks and regions.
      constexpr int kWindow = 333;
      const size_t perSample = static_cast<size_t>(written.arraySize);
      std::vector<double> values(kWindow * perSample);
      std::vector<double> times(kWindow);
      for (size_t first = 0; first < stored.size(); first += kWindow) {
        opened.engine().GetSamples(&channel, static_cast<int64_t>(first), kWindow, values.data(), times.data(),
                                   ScaleType::Scaled);
        for (size_t i = 0; i < kWindow && first + i < stored.size(); ++i) {
          const auto sample = static_cast<size_t>(stored[first + i]);
          ASSERT_EQ(times[i], static_cast<double>(sample) * written.srDiv / contents.sampleRate)
              << written.name << " sample " << first + i;
          for (size_t v = 0; v < perSample; ++v) {
            ASSERT_EQ(values[i * perSample + v], written.values[sample * perSample + v])
                << written.name << " sample " << first + i << " value " << v << (zipPackaged ? " (zip)" : "");
          }
        }
      }
    }
  }
}

TEST(SampleRecordingReadBack, EveryReducedLevelHoldsTheStatisticsOfTheWrittenValues) {
  const TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
  OpenedRecording opened(contents.recording);
  const auto& list = opened.setup().GetChannelList();
  for (const TestKit::SampleChannel& written : contents.channels) {
    if (!written.reduced) continue;
    const CKVChannel& channel = opened.Channel(written.index);
    int index = static_cast<int>(std::find_if(list.begin(), list.end(),
                                              [&](const auto& c) { return c.get() == &channel; }) -
                                 list.begin());
    for (int level = 0; level < contents.reducedLevels; ++level) {
      const std::vector<Statistics> expected = ExpectedLevel(contents, level, written.values);
      if (level == 0) {
        int count = 0;
        double duration = 0;
        opened.engine().GetReducedValuesCount(&channel, count, duration);
        EXPECT_EQ(count, static_cast<int>(expected.size())) << written.name;
      }
      std::vector<KVReducedValue> records(expected.size() + 1);
      records.back().time_stamp = -1;
      opened.engine().GetReducedValuesBlock(&index, 1, 0, static_cast<int>(expected.size()) + 1, level,
                                            records.data(), nullptr, nullptr, -1, nullptr, nullptr, nullptr,
                                            nullptr);
      for (size_t i = 0; i < expected.size(); ++i) {
        const KVReducedValue& got = records[i];
        ASSERT_DOUBLE_EQ(got.time_stamp, expected[i].time) << written.name << " level " << level << " value " << i;
        ASSERT_EQ(got.min, expected[i].minimum) << written.name << " level " << level << " value " << i;
        ASSERT_EQ(got.max, expected[i].maximum) << written.name << " level " << level << " value " << i;
        ASSERT_NEAR(got.ave, expected[i].average, 1e-9 * (1 + std::fabs(expected[i].average))) << written.name;
        ASSERT_NEAR(got.rms, expected[i].rms, 1e-9 * (1 + expected[i].rms)) << written.name;
      }
      EXPECT_EQ(records.back().time_stamp, -1) << "written past the stored values";
    }
  }
}

}  // namespace
}  // namespace Korvane::DataReader
