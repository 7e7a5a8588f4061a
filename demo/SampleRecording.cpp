// Writes the demo's sample recording (testkit/SampleRecording.h) as a plain
// multi-stream file and as a zip-packaged one.
// Usage: kvdemo_recording <directory>   (writes sample.kvd and sample.kxz)
#include <cstdio>
#include <string>

#include "testkit/SampleRecording.h"

using namespace Korvane::DataReader::TestKit;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];
  SampleRecordingContents contents = SampleRecording();
  WriteRecording(directory + "/sample.kvd", contents.recording);
  contents.recording.zipPackaged = true;
  WriteRecording(directory + "/sample.kxz", contents.recording);
  std::printf("wrote %s/sample.kvd and %s/sample.kxz\n", directory.c_str(), directory.c_str());
  return 0;
}
