// Writes the seed corpus of multistream_open_fuzzer with the test kit: small plain
// containers of every generation (chained pages, page tables, -2 links, framed
// records) and zip-packaged files. Usage: multistream_corpus_writer <directory>
#include <cstdio>
#include <string>

#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"
#include "testkit/ZipWriter.h"

using namespace Korvane::DataReader::TestKit;

namespace {

std::vector<uint8_t> EventRecords() {
  ByteWriter w;
  w.I32(2);
  for (int i = 0; i < 3; ++i) {
    w.I32(1).U8(0x86).Text("EventS").I32(i).Text("xx").U8(3).I16(1).I16(-1).I16(7);
    w.U8(0x87).Text("EventS");
  }
  return w.Take();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  const std::vector<StoredStreamLayout> streams = {
      {"SETUP___", PatternBytes(90, 1), 32, true},
      {"EVENTS__", EventRecords(), 24, true, true},
      {"DBDATA", PatternBytes(200, 2), 48, true},
      {"EMPTY", {}, 16},
  };
  for (int generation = 1; generation <= 4; ++generation) {
    MultiStreamOptions options;
    options.generation = generation;
    options.description = DescriptionForVersion(generation == 4 ? 7305 : 7099);
    options.writePageTable = generation >= 3;
    options.interleave = generation % 2 == 0;
    options.directoryPayloadSize = 64;
    options.pageTablePayloadSize = 64;
    WriteMultiStreamFile(out + "plain-gen" + std::to_string(generation) + ".kvd", options, streams);
  }
  WriteZipFile(out + "packaged.kxz",
               {{"SETUP___", PatternBytes(120, 3)},
                {"EVENTS__", EventRecords(), false, false},
                {"BinaryFiles/", {}, true},
                {"BinaryFiles/a.png", {1, 2, 3}},
                {"data/DBDATA", PatternBytes(64, 4)},
                {"../x", {9}}},
               "mixed-=-seed");
  WriteZipFile(out + "empty.kxz", {}, "reduced");
  return 0;
}
