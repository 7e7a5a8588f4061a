// The demo's recording, plain and zip-packaged, read back through the engine: every
// synchronous channel delivers, window by window, exactly the values the test kit
// wrote, with their time stamps.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "setup/CKVChannel.h"
#include "testkit/SampleRecording.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::OpenedRecording;

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

}  // namespace
}  // namespace Korvane::DataReader
