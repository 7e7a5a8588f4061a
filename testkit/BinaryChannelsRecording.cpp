// BinaryChannelsRecording: the setup, blocks, index and payload stream of the
// binary, CAN and complex channels recording.
#include "testkit/BinaryChannelsRecording.h"

#include <cstring>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/SetupBuilder.h"

namespace Korvane::DataReader::TestKit {

BinaryChannelsContents BinaryChannelsRecording() {
  BinaryChannelsContents contents;
  const std::vector<int64_t> sizes = {25, 10, 0, 30};
  contents.payloads.assign(7, 0xAA);  // lead bytes
  AsyncIndexChannelContents binary;
  binary.channelIndex = 0;
  binary.valueSize = 16;
  binary.leafCapacity = 3;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const BinaryLocator locator{static_cast<int64_t>(contents.payloads.size()), sizes[i]};
    contents.locators.push_back(locator);
    for (int64_t b = 0; b < sizes[i]; ++b) contents.payloads.push_back(static_cast<uint8_t>(i * 40 + b));
    for (const int64_t field : {locator.position, locator.size}) {
      for (int shift = 0; shift < 64; shift += 8) binary.values.push_back(static_cast<uint8_t>(field >> shift));
    }
    binary.timestamps.push_back(0.1 * static_cast<double>(i + 1));
  }
  AsyncIndexWriter index(true);
  index.AddChannel(binary);
  index.EndRecords();

  // A block: Voltage (doubles), Frames (8-byte CAN messages), Phase (complex doubles k - ki).
  constexpr int kBlockBytes = 100 * 8 + 100 * 8 + 100 * 16;
  SetupBuilder setup;
  setup.Property("SampleRate", 1000.0).Property("BlockSize", 100).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(kBlockBytes, std::vector<int>(6, 32));
  setup.AddChannel("AI;0", "Voltage", 7).With(OnlineInfoRecord(0, std::vector<int>(6, 0)));
  setup.AddChannel("AI;1", "Pictures", 12).Set("Async", true).With(OnlineInfoRecord(0, {}, 0, "BINDATA"));
  setup.AddChannel("CAN;4;7", "Frames", 15).With(OnlineInfoRecord(800, std::vector<int>(6, 0)));
  setup.AddChannel("AI;2", "Phase", 10).With(OnlineInfoRecord(1600, std::vector<int>(6, 0)));
  std::vector<uint8_t> blocks(10 * kBlockBytes, 0);
  for (int k = 0; k < 1000; ++k) {
    const double parts[2] = {double(k), -double(k)};
    std::memcpy(blocks.data() + (k / 100) * kBlockBytes + 1600 + (k % 100) * 16, parts, 16);
  }
  DataLayout layout;
  layout.regions = {{0, 0, 10, 0}};
  Recording& recording = contents.recording;
  recording.setupText = setup.Text();
  recording.events = RegionEventStream(layout, {{0}});
  recording.Add("DBDATA", blocks).Add("IBDATA0", std::vector<uint8_t>(320, 0));
  recording.AddIndex(index.Streams());
  recording.Add("BINDATA", contents.payloads);
  return contents;
}

}  // namespace Korvane::DataReader::TestKit
