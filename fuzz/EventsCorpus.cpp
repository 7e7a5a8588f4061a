// Writes the seed corpus of events_read_fuzzer with the test kit: event streams of
// every stream version, record version and block kind.
// Usage: events_corpus_writer <directory>
#include <cstdio>
#include <string>

#include "testkit/ByteWriter.h"
#include "testkit/EventStreamWriter.h"

using namespace Korvane::DataReader::TestKit;

namespace {

EventStreamWriter EveryKind(int32_t streamVersion, bool oldFormat, int32_t recordVersion) {
  EventStreamWriter writer(streamVersion, oldFormat);
  int32_t block = 0;
  for (int32_t type : {1, 3, 11, 12, 20, 21, 22, 24, 25, 26, 27, 2}) {
    EventRecord record;
    record.type = type;
    record.recordVersion = recordVersion;
    record.block = block;
    record.offset = block % 7;
    block += 3;
    record.text = "t" + std::to_string(type);
    record.levelOffsets = {1, 2, 3, 4, 5, 6};
    record.hasTriggerInfo = type == 3;
    record.triggerInfo.indexList = {1, 0xFFFF, 9};
    record.blockText = "block";
    record.voiceLength = 5;
    record.junkBeforeRecord = type == 20 ? 3 : 0;
    writer.Add(record);
  }
  return writer;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  for (int32_t recordVersion = 1; recordVersion <= 6; ++recordVersion) {
    WriteFile(out + "v2_r" + std::to_string(recordVersion), EveryKind(2, false, recordVersion).Finish());
  }
  WriteFile(out + "v1_old", EveryKind(1, true, 4).Finish());
  WriteFile(out + "v3_unterminated", EveryKind(3, false, 6).Finish(false));
  EventStreamWriter regions(2, false);
  regions.AddStart(0, 0, {0, 0, 0, 0, 0, 0}).AddStop(10, 0).AddStart(15, 5).AddStop(20, 0).AddStop(30, 0);
  WriteFile(out + "regions", regions.Finish());
  return 0;
}
