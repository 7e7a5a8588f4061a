// Writes the seed corpus of reader_queries_fuzzer: the sample recording (plain and
// zip-packaged, with its asynchronous channel) and a recording of binary, CAN and
// complex channels, each behind a few parameter headers that pick the ends, the
// middle and the extremes. Usage: reader_queries_corpus_writer <directory>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/ReaderQueries.h"
#include "testkit/BinaryChannelsRecording.h"
#include "testkit/ByteWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

using namespace Korvane::DataReader;

namespace {

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
  WriteSeeds(out, "binary", TestKit::BinaryChannelsRecording().recording, false, {0, 2, 3});
  return 0;
}
