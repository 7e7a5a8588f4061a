// The streamed index: the value stream built leaf by leaf from the generators, the
// node stream produced in order by one channel's tree builder at a time, each step
// a leaf and the inner nodes it completes.
#include "testkit/StreamedAsyncIndex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {

using namespace AsyncIndexFormat;

namespace {

constexpr int64_t kTimestampBytes = 8;

void Append(std::vector<uint8_t>& to, const ByteWriter& bytes) {
  to.insert(to.end(), bytes.bytes().begin(), bytes.bytes().end());
}

}  // namespace

// Builds one channel's tree the way AsyncIndexWriter does: inner nodes of eight
// children as soon as eight are unattached, the rest closed into one root after
// the last leaf.
class StreamedAsyncIndex::NodeWriter {
 public:
  NodeWriter(const GeneratedIndexChannel& channel, int64_t valueStart, int64_t nodeStart)
      : channel_(channel),
        valueStart_(valueStart),
        cursor_(nodeStart),
        leafCount_((channel.samples + channel.leafCapacity - 1) / channel.leafCapacity) {}

  bool Done() const noexcept { return done_; }
  int64_t cursor() const noexcept { return cursor_; }
  uint64_t root() const noexcept { return root_; }

  // Appends the next leaf and the inner nodes it completes; after the last leaf
  // also the nodes that close the tree.
  void Step(std::vector<uint8_t>& out) {
    if (done_) return;
    if (nextLeaf_ < leafCount_) WriteLeaf(out);
    if (nextLeaf_ == leafCount_) Close(out);
  }

 private:
  struct Child {
    uint64_t position;  // stored position (inner-node bit set for inner nodes)
    double lastTimestamp;
  };

  // Inner nodes the next leaf completes: one over the leaves, and one more for
  // every level above that it fills in turn.
  int64_t InnerNodesAfterLeaf() const {
    if (leaves_.size() + 1 < kFanOut) return 0;
    int64_t count = 1;
    for (size_t level = 0; level < levels_.size() && levels_[level].size() + 1 == kFanOut; ++level) ++count;
    return count;
  }

  void WriteLeaf(std::vector<uint8_t>& out) {
    const int64_t leaf = nextLeaf_++;
    const int64_t first = leaf * channel_.leafCapacity;
    const int64_t count = std::min<int64_t>(channel_.leafCapacity, channel_.samples - first);
    const auto offset = static_cast<uint64_t>(cursor_);
    const uint64_t next = nextLeaf_ < leafCount_
                              ? offset + kLeafNodeBytes + kInnerNodeBytes * static_cast<uint64_t>(InnerNodesAfterLeaf())
                              : kNoNode;
    const double lastTimestamp = channel_.timestamp(first + count - 1);
    const bool continuesRun = first > 0 && channel_.timestamp(first) == channel_.timestamp(first - 1);
    const auto sequence = static_cast<uint32_t>(leaf + 1);
    ByteWriter node;
    node.U32((continuesRun ? kDuplicateContinuationFlag : 0) | ((sequence & 0xFFFFFF) << 8))
        .U32(static_cast<uint32_t>(count))
        .U64(static_cast<uint64_t>(first + count))
        .U64(static_cast<uint64_t>(valueStart_ + first * (channel_.valueSize + kTimestampBytes)))
        .U64(previous_)
        .U64(next)
        .F64(lastTimestamp);
    Append(out, node);
    cursor_ += kLeafNodeBytes;
    previous_ = offset;
    leaves_.push_back({offset, lastTimestamp});
    if (leaves_.size() == kFanOut) {
      Attach(leaves_, 0, out);
      for (size_t level = 0; level < levels_.size() && levels_[level].size() == kFanOut; ++level) {
        Attach(levels_[level], level + 1, out);
      }
    }
  }

  void Attach(std::vector<Child>& children, size_t level, std::vector<uint8_t>& out) {
    ByteWriter node;
    node.U32(0x5A00 | 0x01).U32(static_cast<uint32_t>(children.size()));
    for (uint32_t i = 0; i < kFanOut; ++i) {
      if (i < children.size()) {
        node.F64(children[i].lastTimestamp).U64(children[i].position);
      } else {
        node.F64(std::numeric_limits<double>::lowest()).U64(kNoNode);
      }
    }
    Append(out, node);
    const Child parent{static_cast<uint64_t>(cursor_) | kInnerNodeBit, children.back().lastTimestamp};
    cursor_ += kInnerNodeBytes;
    children.clear();
    // children may be a level of levels_: grow it only after they were used.
    if (levels_.size() <= level) levels_.resize(level + 1);
    levels_[level].push_back(parent);
  }

  void Close(std::vector<uint8_t>& out) {
    std::vector<Child> carry = std::move(leaves_);
    leaves_.clear();
    for (size_t level = 0;; ++level) {
      if (!carry.empty()) Attach(carry, level, out);
      if (levels_.size() <= level) break;
      if (level + 1 == levels_.size() && levels_[level].size() == 1) break;
      carry = std::move(levels_[level]);
      levels_[level].clear();
    }
    root_ = levels_.empty() ? kNoNode : levels_.back().front().position & ~kInnerNodeBit;
    done_ = true;
  }

  const GeneratedIndexChannel& channel_;
  int64_t valueStart_;
  int64_t cursor_;
  int64_t leafCount_;
  int64_t nextLeaf_ = 0;
  uint64_t previous_ = kNoNode;
  std::vector<std::vector<Child>> levels_;
  std::vector<Child> leaves_;
  bool done_ = false;
  uint64_t root_ = kNoNode;
};

StreamedAsyncIndex::StreamedAsyncIndex(std::vector<GeneratedIndexChannel> channels) : channels_(std::move(channels)) {
  ByteWriter roots;
  roots.U8(0);  // finalized
  std::vector<uint8_t> scratch;
  for (const GeneratedIndexChannel& channel : channels_) {
    if (channel.leafCapacity == 0 || channel.samples < 0) throw std::invalid_argument("leaf capacity 0");
    valueStarts_.push_back(valueBytes_);
    valueBytes_ += channel.samples * (channel.valueSize + kTimestampBytes);
    // A dry run places the channel's nodes and finds its root.
    NodeWriter writer(channel, valueStarts_.back(), nodeBytes_);
    while (!writer.Done()) {
      writer.Step(scratch);
      scratch.clear();
    }
    nodeBytes_ = writer.cursor();
    roots.U32(channel.channelIndex).U64(writer.root());
  }
  roots.U32(kEndOfRecords);
  rootNodeStream_ = roots.Take();
}

StreamedAsyncIndex::~StreamedAsyncIndex() = default;

void StreamedAsyncIndex::BuildLeafData(size_t channel, int64_t leaf) {
  const GeneratedIndexChannel& c = channels_[channel];
  const int64_t first = leaf * c.leafCapacity;
  const int64_t count = std::min<int64_t>(c.leafCapacity, c.samples - first);
  leafData_.resize(static_cast<size_t>(count * (c.valueSize + kTimestampBytes)));
  c.values(first, count, leafData_.data());
  uint8_t* times = leafData_.data() + count * c.valueSize;
  for (int64_t k = 0; k < count; ++k) {
    const double t = c.timestamp(first + k);
    uint64_t bits = 0;
    std::memcpy(&bits, &t, sizeof bits);
    for (int b = 0; b < 8; ++b) *times++ = static_cast<uint8_t>(bits >> (8 * b));
  }
  leafChannel_ = channel;
  leafNumber_ = leaf;
}

void StreamedAsyncIndex::FillValues(int64_t offset, uint8_t* out, size_t count) {
  while (count > 0) {
    const auto it = std::upper_bound(valueStarts_.begin(), valueStarts_.end(), offset);
    const auto channel = static_cast<size_t>(it - valueStarts_.begin()) - 1;
    const GeneratedIndexChannel& c = channels_[channel];
    const int64_t leafBytes = static_cast<int64_t>(c.leafCapacity) * (c.valueSize + kTimestampBytes);
    const int64_t within = offset - valueStarts_[channel];
    const int64_t leaf = within / leafBytes;
    if (leaf != leafNumber_ || channel != leafChannel_) BuildLeafData(channel, leaf);
    const int64_t inLeaf = within - leaf * leafBytes;
    const auto piece = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count),
                                                             static_cast<int64_t>(leafData_.size()) - inLeaf));
    std::memcpy(out, leafData_.data() + inLeaf, piece);
    out += piece;
    offset += static_cast<int64_t>(piece);
    count -= piece;
  }
}

void StreamedAsyncIndex::FillNodes(int64_t offset, uint8_t* out, size_t count) {
  if (offset < pendingStart_) throw std::logic_error("the node stream is produced front to back");
  const int64_t end = offset + static_cast<int64_t>(count);
  while (pendingStart_ + static_cast<int64_t>(pending_.size()) < end) {
    if (nodeWriter_ != nullptr && nodeWriter_->Done()) {
      nodeWriter_.reset();
      ++nodeChannel_;
    }
    if (nodeWriter_ == nullptr) {
      if (nodeChannel_ >= channels_.size()) throw std::logic_error("read past the node stream");
      nodeWriter_ = std::make_unique<NodeWriter>(channels_[nodeChannel_], valueStarts_[nodeChannel_],
                                                 pendingStart_ + static_cast<int64_t>(pending_.size()));
    }
    nodeWriter_->Step(pending_);
  }
  const auto skip = static_cast<size_t>(offset - pendingStart_);
  std::memcpy(out, pending_.data() + skip, count);
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(skip + count));
  pendingStart_ = end;
}

std::vector<StreamSource> StreamedAsyncIndex::Sources(int32_t payloadSize, const std::string& valueCode,
                                                      const std::string& nodeCode, const std::string& rootCode) {
  return {{.code = valueCode,
           .size = valueBytes_,
           .fill = [this](int64_t offset, uint8_t* out, size_t count) { FillValues(offset, out, count); },
           .payloadSize = payloadSize},
          {.code = nodeCode,
           .size = nodeBytes_,
           .fill = [this](int64_t offset, uint8_t* out, size_t count) { FillNodes(offset, out, count); },
           .payloadSize = payloadSize},
          BytesSource(rootCode, rootNodeStream_, payloadSize)};
}

}  // namespace Korvane::DataReader::TestKit
