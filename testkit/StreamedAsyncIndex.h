// The three timestamp index streams of channels far larger than memory, produced
// piece by piece for the streamed container writer: byte for byte what a
// finalized AsyncIndexWriter writes for the same channels (shared streams, leaves
// linked, the duplicate-continuation flag set), with the time stamps and values
// coming from generators. Each leaf's next link is known when it is written (the
// inner nodes formed in between follow from the leaf count), so nothing is patched
// and only one leaf and the unattached nodes of each level are kept.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testkit/StreamedMultiStreamWriter.h"

namespace Korvane::DataReader::TestKit {

// A channel of the index whose samples come from generators: `timestamp` gives
// sample k's time stamp (non-decreasing in k), `values` writes the value bytes of
// samples first .. first + count - 1 (valueSize bytes each) into `out`.
struct GeneratedIndexChannel {
  uint32_t channelIndex = 0;
  uint32_t valueSize = 8;
  int64_t samples = 0;
  uint32_t leafCapacity = 4096;
  std::function<double(int64_t k)> timestamp;
  std::function<void(int64_t first, int64_t count, uint8_t* out)> values;
};

class StreamedAsyncIndex {
 public:
  // Lays the channels out in the order given (their leaves and nodes one channel
  // after the other); throws std::invalid_argument for an empty leaf capacity.
  explicit StreamedAsyncIndex(std::vector<GeneratedIndexChannel> channels);
  ~StreamedAsyncIndex();
  StreamedAsyncIndex(const StreamedAsyncIndex&) = delete;
  StreamedAsyncIndex& operator=(const StreamedAsyncIndex&) = delete;

  int64_t valueBytes() const noexcept { return valueBytes_; }
  int64_t nodeBytes() const noexcept { return nodeBytes_; }
  // The root-node stream: the finalized flag, one root record per channel, the end marker.
  const std::vector<uint8_t>& rootNodeStream() const noexcept { return rootNodeStream_; }

  // Sources of the value, node and root-node streams under the given codes; this
  // object must outlive them, and each is read front to back once.
  std::vector<StreamSource> Sources(int32_t payloadSize, const std::string& valueCode = "DBASDATX",
                                    const std::string& nodeCode = "NDASDATX", const std::string& rootCode = "RNASDATX");

 private:
  class NodeWriter;

  void FillValues(int64_t offset, uint8_t* out, size_t count);
  void FillNodes(int64_t offset, uint8_t* out, size_t count);
  void BuildLeafData(size_t channel, int64_t leaf);

  std::vector<GeneratedIndexChannel> channels_;
  std::vector<int64_t> valueStarts_;  // where each channel's leaf data begins
  int64_t valueBytes_ = 0;
  int64_t nodeBytes_ = 0;
  std::vector<uint8_t> rootNodeStream_;

  // The leaf data last built for the value stream.
  std::vector<uint8_t> leafData_;
  size_t leafChannel_ = 0;
  int64_t leafNumber_ = -1;

  // The node stream as it is produced: bytes [pendingStart_, pendingStart_ +
  // pending_.size()) not yet handed out, and the writer of the channel in hand.
  std::vector<uint8_t> pending_;
  int64_t pendingStart_ = 0;
  size_t nodeChannel_ = 0;
  std::unique_ptr<NodeWriter> nodeWriter_;
};

}  // namespace Korvane::DataReader::TestKit
