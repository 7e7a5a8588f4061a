// Writes the seed corpus of reader_open_fuzzer: small complete recordings, plain and
// zip-packaged, with channels of several kinds. Usage: reader_corpus_writer <directory>
#include <cstdio>
#include <string>

#include "tests/abi/AbiRecording.h"

using namespace Korvane::DataReader;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  AbiTest::Recording recording;
  recording.setup.AddChannel("Math;0", "Voltage", 2)
      .Set("Unit", "V")
      .Set("Scale", 2.0)
      .With(TestKit::OnlineInfoRecord(0));
  recording.setup.AddChannel("AI;1", "Spectrum", 10);
  recording.setup.AddChannel("AI;2", "Pictures", 12);
  recording.setup.AddChannel("AI;3", "Notes", 11);
  recording.setup.AddChannel("AI;4", "Pulses", 7).Set("Async", true);
  recording.stopBlock = 3;
  recording.measInfo = TestKit::MeasInfoText(2);
  recording.WritePlain(out + "plain");
  recording.fileVersion = 7099;
  recording.WritePlain(out + "old");
  recording.WriteZip(out + "zipped");
  return 0;
}
