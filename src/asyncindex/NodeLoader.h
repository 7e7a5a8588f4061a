// NodeLoader: the streams of one index channel and the reads every node and leaf
// load goes through. It checks each stored position against the stream before
// reading, so a damaged tree ends in CorruptIndexException rather than a read
// outside the stream. A channel owns its loader; iterators share it, so they stay
// usable while they live.
#pragma once

#include <cstdint>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/BaseNode.h"
#include "asyncindex/IndexTypes.h"
#include "asyncindex/LeafNode.h"
#include "asyncindex/LocalSharedPtr.h"
#include "asyncindex/StoredBytes.h"
#include "asyncindex/Stream.h"

template <class TKey, class TComparer>
class NodeLoader {
 public:
  using Node = BaseNode<TKey, TComparer>;
  using NodePtr = kit::local_shared_ptr<Node>;
  using Leaf = LeafNode<TKey, TComparer>;
  using StreamPtr = kit::local_shared_ptr<Stream>;

  virtual ~NodeLoader() = default;

  void setValueStream(StreamPtr stream) {
    valueStream_ = std::move(stream);
    valueStreamSize_ = kUnknownSize;
  }
  void setNodeStream(StreamPtr stream) {
    nodeStream_ = std::move(stream);
    nodeStreamSize_ = kUnknownSize;
  }
  void setValueStreamStart(uint64_t start) noexcept { valueStart_ = start; }
  void setNodeStreamStart(uint64_t start) noexcept { nodeStart_ = start; }
  void setTimeOffset(TKey offset) noexcept { timeOffset_ = offset; }
  // Unfinished trees: leaf links to nodes beyond the node stream's end count as
  // missing rather than as damage.
  void allowUnwrittenLinks(bool allow) noexcept { unwrittenLinksAllowed_ = allow; }

  const StreamPtr& getValueStream() const noexcept { return valueStream_; }
  const StreamPtr& getNodeStream() const noexcept { return nodeStream_; }
  uint64_t getValueStreamStart() const noexcept { return valueStart_; }
  uint64_t getNodeStreamStart() const noexcept { return nodeStart_; }
  TKey getTimeOffset() const noexcept { return timeOffset_; }

  // The node at a stored position (an inner node when bit 63 is set, else a leaf),
  // read from the node stream with its level and position recorded; empty for the
  // all-ones position. Throws CorruptIndexException when the node does not lie
  // inside the node stream or holds impossible values.
  NodePtr needNode(uint64_t position, uint32_t level, NeedNodeDirection direction) {
    if (NodePosition::isNone(position)) return {};
    // While a recording is written, a leaf may already link to a successor that
    // lies beyond the part of the node stream this reader sees.
    if (unwrittenLinksAllowed_ && direction != NeedNodeDirection::ChildOfItem && !nodeFits(position)) return {};
    return readNode(position, level);
  }

  // As needNode for the node lists of an unfinished tree, where a writer may have
  // recorded nodes it had not yet written: empty when the node does not lie inside
  // the node stream or its read fails.
  NodePtr tryReadNode(uint64_t position, uint32_t level) {
    if (NodePosition::isNone(position) || !nodeFits(position)) return {};
    try {
      return readNode(position, level);
    } catch (const StreamException&) {
      return {};
    }
  }

  // The value stream of the channel, with the channel's value-stream start and
  // time offset; throws ConfigurationFailedException before streams are set.
  Stream& getValTsStreamForInstance(uint32_t /*instance*/, uint64_t& valueStart, TKey& timeOffset) {
    if (!valueStream_) throw ConfigurationFailedException();
    valueStart = valueStart_;
    timeOffset = timeOffset_;
    return *valueStream_;
  }

  // The size of the value stream (asked once).
  uint64_t valueStreamSize() {
    if (valueStreamSize_ == kUnknownSize) {
      if (!valueStream_) throw ConfigurationFailedException();
      valueStreamSize_ = valueStream_->getSize();
    }
    return valueStreamSize_;
  }

  // Where leaf's data lies in the value stream: returns the position of its values
  // (value-stream start + data position) and fills the bytes of its values and of
  // its time stamps. Throws CorruptIndexException unless all of it lies inside the
  // value stream, so nothing read or allocated for a leaf exceeds the stream.
  uint64_t locateLeafData(const Leaf& leaf, uint32_t valueSize, uint64_t& valueBytes, uint64_t& stampBytes) {
    const uint64_t count = leaf.getCount();
    if (!StoredBytes::multiply(count, valueSize, valueBytes) || !StoredBytes::multiply(count, sizeof(TKey), stampBytes) ||
        valueBytes > UINT64_MAX - stampBytes ||
        !StoredBytes::fits(valueStart_, leaf.getDataPosition(), valueBytes + stampBytes, valueStreamSize())) {
      throw CorruptIndexException();
    }
    return valueStart_ + leaf.getDataPosition();
  }

  // More nodes than the node stream can hold: the bound on any walk through the tree
  // or along the leaves, past which the walk must be going round a loop.
  uint64_t walkLimit() {
    const uint64_t size = nodeStreamSize();
    const uint64_t room = size > nodeStart_ ? size - nodeStart_ : 0;
    return room / LeafNodeLayout::kBytes + 1;
  }

 protected:
  // A new, empty inner node of the channel's fan-out.
  virtual NodePtr createInnerNode() = 0;
  // Stored size of that inner node.
  virtual uint64_t innerNodeBytes() const noexcept = 0;

 private:
  static constexpr uint64_t kUnknownSize = ~uint64_t{0};

  uint64_t nodeStreamSize() {
    if (nodeStreamSize_ == kUnknownSize) {
      if (!nodeStream_) throw ConfigurationFailedException();
      nodeStreamSize_ = nodeStream_->getSize();
    }
    return nodeStreamSize_;
  }

  bool nodeFits(uint64_t position) {
    const uint64_t bytes = NodePosition::isInner(position) ? innerNodeBytes() : LeafNodeLayout::kBytes;
    return StoredBytes::fits(nodeStart_, NodePosition::offsetOf(position), bytes, nodeStreamSize());
  }

  NodePtr readNode(uint64_t position, uint32_t level) {
    if (!nodeFits(position)) throw CorruptIndexException();
    NodePtr node;
    if (NodePosition::isInner(position)) node = createInnerNode();
    else node = kit::make_local_shared<Leaf>();
    nodeStream_->seek(SeekOrigin::Begin, static_cast<int64_t>(nodeStart_ + NodePosition::offsetOf(position)));
    node->read(*nodeStream_);
    node->setLevel(level);
    node->setPosition(position);
    return node;
  }

  StreamPtr valueStream_;
  StreamPtr nodeStream_;
  uint64_t valueStreamSize_ = kUnknownSize;
  uint64_t nodeStreamSize_ = kUnknownSize;
  uint64_t valueStart_ = 0;
  uint64_t nodeStart_ = 0;
  TKey timeOffset_{};
  bool unwrittenLinksAllowed_ = false;
};
