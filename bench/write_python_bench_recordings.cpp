// Writes the recordings of the Python package's benchmark (python/bench/bench_read.py):
// samples.kvd, one region of `samples` doubles of the channel "Signal" at 10 kHz, and
// channels.kvd, a setup of `channels` mixed channels as the acquisition side writes
// them (GenerateMixedSetup) with a few regions and no sample data.
// Usage: write_python_bench_recordings <directory> <samples> <channels>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testkit/EventStreamWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"

using namespace Korvane::DataReader::TestKit;

namespace {

constexpr int kBlockSize = 1000;

void WriteSamples(const std::string& path, int64_t samples) {
  const int64_t blocks = (samples + kBlockSize - 1) / kBlockSize;
  SetupBuilder setup;
  setup.Property("SampleRate", 10000.0).Property("BlockSize", kBlockSize).Property("IBRate", 100);
  setup.MeasurementOnlineInfo(kBlockSize * 8, {32});
  setup.AddChannel("AI;0", "Signal", 7).Set("Unit", "V").Set("BitCount", 64).Set("Range", 10)
      .With(OnlineInfoRecord(0, {0}));
  std::vector<uint8_t> data(static_cast<size_t>(blocks * kBlockSize * 8));
  for (int64_t k = 0; k < blocks * kBlockSize; ++k) {
    const double value = 0.001 * double(k % 100000);
    std::memcpy(data.data() + k * 8, &value, 8);
  }
  DataLayout layout;
  layout.blockSize = kBlockSize;
  layout.regions = {{0, 0, static_cast<int32_t>(blocks), 0}};
  Recording recording;
  recording.setupText = setup.Text();
  recording.events = RegionEventStream(layout, {{0}});
  recording.Add("DBDATA", std::move(data)).Add("IBDATA0", std::vector<uint8_t>(static_cast<size_t>(blocks) * 32, 0));
  WriteRecording(path, recording);
}

// As the reader benchmark's recordings: the setup, start/stop pairs, a level stream.
void WriteChannels(const std::string& path, size_t channels) {
  const std::string setup = GenerateMixedSetup(channels);
  EventStreamWriter events(2, false);
  for (int32_t i = 0; i < 8; i += 2) events.AddStart(i, 0, {0, 0, 0, 0, 0, 0}).AddStop(i + 1, 0);
  WriteMultiStreamFile(path, {},
                       {{.code = "SETUP___", .data = {setup.begin(), setup.end()}, .payloadSize = 65536},
                        {.code = "EVENTS__", .data = events.Finish(), .payloadSize = 65536},
                        {.code = "IBDATA0", .data = std::vector<uint8_t>(4096, 1)}});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <directory> <samples> <channels>\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];
  WriteSamples(directory + "/samples.kvd", std::strtoll(argv[2], nullptr, 10));
  WriteChannels(directory + "/channels.kvd", static_cast<size_t>(std::strtoll(argv[3], nullptr, 10)));
  std::printf("wrote %s/samples.kvd and %s/channels.kvd\n", directory.c_str(), directory.c_str());
  return 0;
}
