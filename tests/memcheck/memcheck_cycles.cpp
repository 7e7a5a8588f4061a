// Open, read everything and close, many times over, on the demo recording plain and
// zip-packaged: make memcheck runs it under valgrind, which fails on any invalid
// access or lost block; the program itself fails when an answer changes from one
// cycle to the next or when the process holds more descriptors at the end than at
// the start. Usage: memcheck_cycles [cycles]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "KVDataReaderLib.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/TempDir.h"
#include "tests/abi/ReadEverything.h"

namespace {

using namespace Korvane::DataReader;

// The process's open descriptors, or -1 where the system does not list them.
long OpenDescriptors() {
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/self/fd", error);
  if (error) return -1;
  long count = 0;
  for (auto it = entries; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) return -1;
    ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const long cycles = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
  TestKit::TempDir directory;
  TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
  const std::string plain = directory.File("sample.kvd"), zipped = directory.File("sample.kxz");
  TestKit::WriteRecording(plain, contents.recording);
  contents.recording.zipPackaged = true;
  TestKit::WriteRecording(zipped, contents.recording);

  // Every cycle reads every channel, a few windows of each: enough to pass through
  // every path of a read, short enough for valgrind.
  AbiTest::ReadLimits limits;
  limits.windowsPerChannel = 3;
  const long descriptorsBefore = OpenDescriptors();
  AbiTest::ReadTranscript first[2];
  int failures = 0;
  for (long cycle = 0; cycle < cycles && failures < 5; ++cycle) {
    KVReaderHandle reader = nullptr;
    if (KVICreateReader(&reader) != KVOk) {
      std::fprintf(stderr, "cycle %ld: no reader\n", cycle);
      return 1;
    }
    for (int file = 0; file < 2; ++file) {
      AbiTest::ReadTranscript transcript = AbiTest::ReadEverything(reader, file == 0 ? plain : zipped, limits);
      const bool ok = transcript.openStatus == KVOk && transcript.statuses == std::set<KVStatus>{KVOk};
      if (cycle == 0) first[file] = std::move(transcript);
      if (!ok || (cycle > 0 && transcript.answers != first[file].answers)) {
        std::fprintf(stderr, "cycle %ld, %s: open status %d, %zu statuses, answers %s\n", cycle,
                     file == 0 ? "plain" : "zip-packaged", transcript.openStatus, transcript.statuses.size(),
                     cycle > 0 && transcript.answers != first[file].answers ? "changed" : "as before");
        ++failures;
      }
    }
    KVIDestroyReader(reader);
    // The registry and the text values, which have no handle form.
    AbiTest::ReadTranscript text;
    if (AbiTest::ReadTextValues(plain, text) != KVOk || text.answers != contents.operatorName) {
      std::fprintf(stderr, "cycle %ld: text value \"%s\"\n", cycle, text.answers.c_str());
      ++failures;
    }
  }
  const long descriptorsAfter = OpenDescriptors();
  if (descriptorsBefore >= 0 && descriptorsAfter != descriptorsBefore) {
    std::fprintf(stderr, "open descriptors: %ld before, %ld after\n", descriptorsBefore, descriptorsAfter);
    ++failures;
  }
  std::printf("%ld cycles of plain and zip-packaged reads, %lld queries each; descriptors %ld before, %ld after\n",
              cycles, static_cast<long long>(first[0].calls + first[1].calls), descriptorsBefore, descriptorsAfter);
  return failures == 0 ? 0 : 1;
}
