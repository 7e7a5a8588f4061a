// Writes the seed corpus of asyncindex_search_fuzzer with the test kit: finalized
// and unfinished index streams of the fuzz target's four channels (values of 8, 4,
// 1 and 8 bytes; channel 3 from its own starts), with runs of equal time stamps,
// records of unknown channels, missing leaf links and a truncated node stream.
// Usage: asyncindex_corpus_writer <directory>
#include <cstdio>
#include <string>
#include <vector>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/ByteWriter.h"

using namespace Korvane::DataReader::TestKit;

namespace {

std::vector<double> Ramp(size_t count, double step) {
  std::vector<double> stamps(count);
  for (size_t i = 0; i < count; ++i) stamps[i] = static_cast<double>(i) * step;
  return stamps;
}

AsyncIndexChannelContents Channel(uint32_t index, uint32_t valueSize, std::vector<double> stamps, uint32_t capacity) {
  AsyncIndexChannelContents contents;
  contents.channelIndex = index;
  contents.valueSize = valueSize;
  contents.timestamps = std::move(stamps);
  contents.leafCapacity = capacity;
  return contents;
}

// The four channels; channel 3 after gaps in both streams.
AsyncIndexStreams AllChannels(bool finalized, bool linkNext, uint32_t& valueStart3, uint32_t& nodeStart3) {
  AsyncIndexWriter writer(finalized);
  AsyncIndexChannelContents c0 = Channel(0, 8, Ramp(40, 0.5), 4);
  AsyncIndexChannelContents c1 = Channel(1, 4, {1, 2, 2, 2, 2, 2, 2, 3, 4, 4, 4, 5}, 3);
  AsyncIndexChannelContents c2 = Channel(2, 1, Ramp(19, 1.0), 2);
  AsyncIndexChannelContents c3 = Channel(3, 8, Ramp(30, 0.25), 5);
  c3.ownStarts = true;
  c3.valueStreamGap = 11;
  c3.nodeStreamGap = 5;
  for (AsyncIndexChannelContents* contents : {&c0, &c1, &c2, &c3}) contents->linkNextLeaves = linkNext;
  writer.AddChannel(c0);
  writer.AddUnknownRecord(77);
  writer.AddChannel(c1);
  writer.AddChannel(c2);
  const AsyncIndexChannelInfo info3 = writer.AddChannel(c3);
  writer.EndRecords();
  valueStart3 = static_cast<uint32_t>(info3.valueStreamStart);
  nodeStart3 = static_cast<uint32_t>(info3.nodeStreamStart);
  return writer.Streams();
}

void Save(const std::string& directory, const std::string& name, const std::vector<uint8_t>& bytes) {
  WriteFile(directory + "/" + name, bytes);
  std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  uint32_t v3 = 0;
  uint32_t n3 = 0;
  Save(dir, "finalized", PackIndexFuzzInput(AllChannels(true, true, v3, n3), v3, n3, 2.0));
  Save(dir, "finalized-unlinked", PackIndexFuzzInput(AllChannels(true, false, v3, n3), v3, n3, 4.0));
  Save(dir, "unfinished", PackIndexFuzzInput(AllChannels(false, true, v3, n3), v3, n3, 7.25));
  AsyncIndexStreams cut = AllChannels(false, true, v3, n3);
  cut.nodeStream.resize(cut.nodeStream.size() - 60);
  Save(dir, "unfinished-cut", PackIndexFuzzInput(cut, v3, n3, 1e9));

  // An unfinished tree with two levels of unattached inner nodes.
  AsyncIndexWriter levels(false);
  levels.AddChannel(Channel(0, 8, Ramp(83, 1.0), 1));
  Save(dir, "unfinished-levels", PackIndexFuzzInput(levels.Streams(), 0, 0, 70.5));
  // A deeper finalized tree.
  AsyncIndexWriter deep(true);
  deep.AddChannel(Channel(2, 1, Ramp(200, 0.1), 1));
  Save(dir, "finalized-deep", PackIndexFuzzInput(deep.Streams(), 0, 0, 33.3));

  ByteWriter noRoots;
  noRoots.U8(0).U32(0xFFFFFFFF);
  Save(dir, "no-roots", PackIndexFuzzInput(AsyncIndexStreams{{}, {}, noRoots.Take()}, 0, 0, 0.0));
  return 0;
}
