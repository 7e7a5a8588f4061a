// AsyncIndexWriter: writes the three streams of an asynchronous timestamp index
// (value stream, node stream, root-node stream) for channels given as time stamps
// and values, the way the acquisition writer builds them: leaves of a chosen
// capacity, inner nodes of fan-out 8 formed as soon as eight children are
// unattached, leaf links patched once the next leaf is written. A finalized writer
// closes every tree into one root; an unfinished one records the unattached nodes.
// It uses its own copy of the stored layouts, never the library's reading code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvane::DataReader::TestKit {

// The stored layouts, as the writer knows them.
namespace AsyncIndexFormat {
constexpr uint32_t kFanOut = 8;
constexpr uint32_t kInnerNodeBytes = 136;
constexpr uint32_t kLeafNodeBytes = 48;
constexpr uint64_t kNoNode = ~uint64_t{0};
constexpr uint64_t kInnerNodeBit = uint64_t{1} << 63;
constexpr uint32_t kDuplicateContinuationFlag = 0x02;
constexpr uint32_t kEndOfRecords = 0xFFFFFFFF;
}  // namespace AsyncIndexFormat

struct AsyncIndexChannelContents {
  uint32_t channelIndex = 0;
  uint32_t valueSize = 8;
  std::vector<double> timestamps;
  // valueSize bytes per sample; empty: SampleValueBytes of each sample's number.
  std::vector<uint8_t> values;
  uint32_t leafCapacity = 4;
  // Set the duplicate-continuation flag on leaves whose first time stamp equals the
  // previous leaf's last.
  bool markDuplicateContinuation = true;
  // Patch each leaf's next link once the next leaf is written (false: all links to
  // the next leaf stay all ones).
  bool linkNextLeaves = true;
  // Give the channel its own value-stream and node-stream starts (positions in its
  // nodes count from them), placed after gap bytes of filler.
  bool ownStarts = false;
  uint64_t valueStreamGap = 0;
  uint64_t nodeStreamGap = 0;
};

// What the reader must be told about a written channel.
struct AsyncIndexChannelInfo {
  uint32_t channelIndex = 0;
  uint64_t valueStreamStart = 0;
  uint64_t nodeStreamStart = 0;
  uint64_t leafCount = 0;
  uint32_t treeHeight = 0;  // inner levels above the leaves (finalized trees)
  // Node-stream offsets (from the channel's start) of the leaves in time order.
  std::vector<uint64_t> leafOffsets;
};

struct AsyncIndexStreams {
  std::vector<uint8_t> valueStream;
  std::vector<uint8_t> nodeStream;
  std::vector<uint8_t> rootNodeStream;
};

class AsyncIndexWriter {
 public:
  explicit AsyncIndexWriter(bool finalized) : finalized_(finalized) {}

  // Writes the channel's leaves and nodes and appends its root-node record.
  AsyncIndexChannelInfo AddChannel(const AsyncIndexChannelContents& contents);
  // Appends a record for a channel the reader does not know: a root position
  // (finalized) or a small list of levels and leaves (unfinished), all pointing at
  // nothing the reader could read.
  void AddUnknownRecord(uint32_t channelIndex);
  // Appends the all-ones channel index that ends the records.
  void EndRecords();

  // The streams written so far (the root-node stream opened with its flag byte).
  AsyncIndexStreams Streams() const;

 private:
  struct Child {
    uint64_t position;  // stored position (inner-node bit set for inner nodes)
    double lastTimestamp;
  };

  uint64_t WriteLeaf(const AsyncIndexChannelContents& contents, size_t first, size_t count, uint64_t totalCount,
                     uint64_t previous, uint64_t valueStart, uint64_t nodeStart, uint32_t sequence);
  Child WriteInner(const std::vector<Child>& children, uint64_t nodeStart);

  bool finalized_;
  std::vector<uint8_t> values_;
  std::vector<uint8_t> nodes_;
  std::vector<uint8_t> records_;
};

// The value bytes the writer stores for sample number n when none are given: n
// little-endian, cut or zero-padded to valueSize bytes.
std::vector<uint8_t> SampleValueBytes(uint64_t n, uint32_t valueSize);

// The input of the index fuzz target: a 24-byte header (u32 value-stream length,
// u32 node-stream length, u32 value-stream start and u32 node-stream start of
// channel 3, f64 a time to search) and the three streams one after another.
std::vector<uint8_t> PackIndexFuzzInput(const AsyncIndexStreams& streams, uint32_t valueStart3, uint32_t nodeStart3,
                                        double searchTime);

}  // namespace Korvane::DataReader::TestKit
