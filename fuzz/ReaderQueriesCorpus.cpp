// Writes the seed corpus of reader_queries_fuzzer: the sample recording (plain and
// zip-packaged, with its asynchronous channel) and a recording of binary, CAN and
// complex channels, each behind a few parameter headers that pick the ends, the
// middle and the extremes. Usage: reader_queries_corpus_writer <directory>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/ReaderQueries.h"
#include "testkit/AsyncIndexWriter.h"
#include "testkit/ByteWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

using namespace Korvane::DataReader;

namespace {

// Four binary payloads of 25, 10, 0 and 30 bytes through the index, a CAN message
// channel and a complex channel stored in blocks (as the interface tests write them).
TestKit::Recording BinaryRecording() {
  const std::vector<int64_t> sizes = {25, 10, 0, 30};
  std::vector<uint8_t> payloads(7, 0xAA);
  TestKit::AsyncIndexChannelContents contents;
  contents.channelIndex = 0;
  contents.valueSize = 16;
  contents.leafCapacity = 3;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const KVBinarySample locator{static_cast<int64_t>(payloads.size()), sizes[i]};
    for (int64_t b = 0; b < sizes[i]; ++b) payloads.push_back(static_cast<uint8_t>(i * 40 + b));
    const auto* bytes = reinterpret_cast<const uint8_t*>(&locator);
    contents.values.insert(contents.values.end(), bytes, bytes + sizeof locator);
    contents.timestamps.push_back(0.1 * static_cast<double>(i + 1));
  }
  TestKit::AsyncIndexWriter index(true);
  index.AddChannel(contents);
  index.EndRecords();

  constexpr int kBlockBytes = 100 * 8 + 100 * 8 + 100 * 16;
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", 1000.0).Property("BlockSize", 100).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(kBlockBytes, std::vector<int>(6, 32));
  setup.AddChannel("AI;0", "Voltage", 7).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
  setup.AddChannel("AI;1", "Pictures", 12).Set("Async", true).With(TestKit::OnlineInfoRecord(0, {}, 0, "BINDATA"));
  setup.AddChannel("CAN;4;7", "Frames", 15).With(TestKit::OnlineInfoRecord(800, std::vector<int>(6, 0)));
  setup.AddChannel("AI;2", "Phase", 10).With(TestKit::OnlineInfoRecord(1600, std::vector<int>(6, 0)));
  std::vector<uint8_t> blocks(10 * kBlockBytes, 0);
  for (int k = 0; k < 1000; ++k) {
    const double parts[2] = {double(k), -double(k)};
    std::memcpy(blocks.data() + (k / 100) * kBlockBytes + 1600 + (k % 100) * 16, parts, 16);
  }
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 10, 0}};
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, {{0}});
  recording.Add("DBDATA", blocks).Add("IBDATA0", std::vector<uint8_t>(320, 0));
  recording.AddIndex(index.Streams());
  recording.Add("BINDATA", payloads);
  return recording;
}

// Parameter headers: byte 0 holds the flags (bit 0 zip-packaged, bit 1 registry
// forms); the other bytes pick around the reported counts (see Params::Around).
std::vector<std::vector<uint8_t>> Headers(uint8_t zip) {
  std::vector<std::vector<uint8_t>> headers;
  for (const uint8_t pick : {4, 3, 7}) {  // exactly at the end, the last one, small ones
    std::vector<uint8_t> header(Fuzz::kParamBytes, pick);
    header[0] = static_cast<uint8_t>(zip | (pick == 4 ? 2 : 0));
    headers.push_back(header);
  }
  std::vector<uint8_t> mixed(Fuzz::kParamBytes);
  for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<uint8_t>(i * 29 + 5);
  mixed[0] = static_cast<uint8_t>(zip | 2);
  headers.push_back(mixed);
  return headers;
}

// The recordings are large next to their headers: each gets only the headers
// `chosen` names (positions in Headers()), to keep the corpus small.
void WriteSeeds(const std::string& directory, const std::string& name, TestKit::Recording recording, bool zip,
                const std::vector<size_t>& chosen) {
  recording.zipPackaged = zip;
  TestKit::TempDir scratch;
  const std::string path = scratch.File("recording");
  TestKit::WriteRecording(path, recording);
  const std::vector<uint8_t> file = TestKit::ReadFile(path);
  const std::vector<std::vector<uint8_t>> headers = Headers(zip ? 1 : 0);
  for (const size_t n : chosen) {
    std::vector<uint8_t> input = headers.at(n);
    input.insert(input.end(), file.begin(), file.end());
    TestKit::WriteFile(directory + "/" + name + "-" + std::to_string(n), input);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  const TestKit::SampleRecordingContents sample = TestKit::SampleRecording();
  WriteSeeds(out, "sample", sample.recording, false, {0});
  WriteSeeds(out, "sample-zip", sample.recording, true, {1, 3});
  WriteSeeds(out, "binary", BinaryRecording(), false, {0, 2, 3});
  return 0;
}
