// Channel, part two: configuration, loading the root or the unfinished remainder of
// a tree, and finding leaves: by time stamp, at either edge, and after a given leaf.
// Every descent is bounded by the deepest tree a writer can produce and every walk
// by the number of nodes the node stream can hold, so a damaged tree with loops
// ends in CorruptIndexException. Included by Channel.h only.
#pragma once

#include "asyncindex/Channel.h"

template <uint32_t N, class TKey, class TComparer>
Channel<N, TKey, TComparer>::Channel(uint32_t channelIndex, uint32_t valueSize)
    : channelIndex_(channelIndex), valueSize_(valueSize), loader_(kit::make_local_shared<ChannelLoader>()) {}

template <uint32_t N, class TKey, class TComparer>
void Channel<N, TKey, TComparer>::setStreams(StreamPtr valueStream, StreamPtr nodeStream, StreamPtr rootNodeStream) {
  ownStreams_ = true;
  loader_->setValueStream(std::move(valueStream));
  loader_->setNodeStream(std::move(nodeStream));
  rootNodeStream_ = std::move(rootNodeStream);
}

template <uint32_t N, class TKey, class TComparer>
void Channel<N, TKey, TComparer>::useManagerStreams(const StreamPtr& valueStream, const StreamPtr& nodeStream,
                                                    const StreamPtr& rootNodeStream) {
  if (ownStreams_) return;
  loader_->setValueStream(valueStream);
  loader_->setNodeStream(nodeStream);
  rootNodeStream_ = rootNodeStream;
}

template <uint32_t N, class TKey, class TComparer>
void Channel<N, TKey, TComparer>::loadRoot(uint64_t position) {
  firstLeaf_.reset();
  lastLeaf_.reset();
  root_.reset();
  if (NodePosition::isNone(position)) return;
  // Root positions name inner nodes without carrying the inner-node bit.
  const uint64_t inner = NodePosition::offsetOf(position) | NodePosition::kInnerBit;
  root_ = kit::static_pointer_cast<Inner>(loader_->needNode(inner, 0, NeedNodeDirection::ChildOfItem));
}

namespace AsyncIndexDetail {

// Sequential little-endian reads of the root-node stream that report the end of the
// stream instead of throwing, since an unfinished stream may end inside a record.
class RootRecordReader {
 public:
  explicit RootRecordReader(Stream& stream) : stream_(stream), position_(stream.getCurrentPos()), size_(stream.getSize()) {}

  bool readU8(uint8_t& value) { return readBytes(&value, 1); }
  bool readU64(uint64_t& value) {
    uint8_t bytes[8];
    if (!readBytes(bytes, sizeof bytes)) return false;
    value = StoredBytes::loadU64(bytes);
    return true;
  }
  // Passes over count 8-byte positions.
  bool skipPositions(uint32_t count) {
    const uint64_t bytes = uint64_t{count} * 8;
    if (bytes > size_ - position_) return false;
    position_ += bytes;
    return true;
  }
  // Leaves the stream just after the bytes consumed.
  void finish() { stream_.seek(SeekOrigin::Begin, static_cast<int64_t>(position_)); }

 private:
  bool readBytes(uint8_t* out, uint64_t length) {
    if (position_ > size_ || length > size_ - position_) return false;
    // The node stream may be the same stream object, so every read seeks first.
    stream_.seek(SeekOrigin::Begin, static_cast<int64_t>(position_));
    stream_.read(out, length);
    position_ += length;
    return true;
  }

  Stream& stream_;
  uint64_t position_;
  uint64_t size_;
};

}  // namespace AsyncIndexDetail

template <uint32_t N, class TKey, class TComparer>
bool Channel<N, TKey, TComparer>::loadNotFinalizedNodes(Stream& rootNodeStream, bool keepNodes) {
  AsyncIndexDetail::RootRecordReader reader(rootNodeStream);
  if (keepNodes) {
    remainderLevels_.clear();
    remainderLeaves_.clear();
    firstLeaf_.reset();
    lastLeaf_.reset();
  }
  // A damaged record may list one position many times: each distinct position is
  // read once and its node shared, so the nodes held stay within what the node
  // stream can hold however long the record is.
  std::unordered_map<uint64_t, NodePtr> read;
  // Reads one list of count positions; a node the stream does not hold ends the
  // list and its remaining positions are passed over.
  auto readList = [&](uint8_t count, bool inner, uint32_t level, auto&& keep) {
    for (uint32_t k = 0; k < count; ++k) {
      uint64_t position = 0;
      if (!reader.readU64(position)) return false;
      if (!keepNodes) continue;
      const uint64_t stored = inner ? NodePosition::offsetOf(position) | NodePosition::kInnerBit
                                    : NodePosition::offsetOf(position);
      NodePtr& node = read[stored];
      if (!node) node = loader_->tryReadNode(stored, level);
      if (!node) return reader.skipPositions(count - k - 1);
      keep(node);
    }
    return true;
  };
  bool complete = true;
  uint8_t levels = 0;
  complete = reader.readU8(levels);
  for (uint32_t level = 0; complete && level < levels; ++level) {
    if (keepNodes) remainderLevels_.emplace_back();
    uint8_t count = 0;
    complete = reader.readU8(count) && readList(count, true, level, [&](const NodePtr& node) {
      remainderLevels_.back().push_back(kit::static_pointer_cast<Inner>(node));
    });
  }
  uint8_t leaves = 0;
  if (complete) complete = reader.readU8(leaves);
  if (complete) {
    complete = readList(leaves, false, 0, [&](const NodePtr& node) {
      remainderLeaves_.push_back(kit::static_pointer_cast<Leaf>(node));
    });
  }
  reader.finish();
  return complete;
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::locate(Inner* parent, const InnerPtr& node,
                                                                                uint32_t i, TKey t, uint32_t depth,
                                                                                bool inRemainder) {
  if (!node) return {};
  if (depth > kMaxTreeDepth) throw CorruptIndexException();
  const uint32_t n = node->getCount();
  if (n == 0) return {};
  // The first item whose subtree reaches t; the last when t lies beyond them all.
  uint32_t j = 0;
  while (j + 1 < n && TComparer::less(keyTime(node->item(j).getKey()), t)) ++j;
  LeafPtr leaf;
  if (j + 1 < n || finalized_ || inRemainder || TComparer::lessEqual(t, keyTime(node->lastKey()))) {
    leaf = locateInItem(node, j, t, depth + 1, inRemainder);
  } else {
    // t lies beyond this unfinished subtree: the leaf is among the nodes the writer
    // had not yet attached.
    leaf = getLeafNodeFromRemainder(t);
  }
  if (cacheDepth_ < depth && parent != nullptr) parent->item(i).releaseNode();
  return leaf;
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::locateInItem(const InnerPtr& node,
                                                                                      uint32_t item, TKey t,
                                                                                      uint32_t depth,
                                                                                      bool inRemainder) {
  if (item >= node->getCount()) return {};
  // A strong copy: the item may release its child during the descent.
  NodePtr child = node->item(item).getNode(*loader_, depth);
  if (!child) return {};
  if (child->getNodeType() == Node::kInnerNodeType) {
    return locate(node.get(), kit::static_pointer_cast<Inner>(child), item, t, depth, inRemainder);
  }
  return kit::static_pointer_cast<Leaf>(child);
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::getLeafNodeFromRemainder(TKey t) {
  // Higher levels hold earlier samples; the unattached leaves the latest.
  InnerPtr remembered;
  for (size_t level = remainderLevels_.size(); level-- > 0;) {
    for (const InnerPtr& node : remainderLevels_[level]) {
      if (node->getCount() > 0 && TComparer::lessEqual(t, keyTime(node->lastKey()))) {
        return locate(nullptr, node, 0, t, 0, true);
      }
    }
    if (!remainderLevels_[level].empty()) remembered = remainderLevels_[level].back();
  }
  for (const LeafPtr& leaf : remainderLeaves_) {
    if (TComparer::lessEqual(t, keyTime(leaf->getLastTimestamp()))) return leaf;
  }
  if (!remainderLeaves_.empty()) return remainderLeaves_.back();
  if (remembered) return getLastLeafNode(remembered);
  return {};
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::findLeaf(TKey t) {
  if (finalized_) return root_ ? getLeafNode(nullptr, root_, 0, t, 0) : LeafPtr();
  return getLeafNodeFromRemainder(t);
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::edgeLeaf(const InnerPtr& top, bool last) {
  InnerPtr node = top;
  InnerPtr parent;
  uint32_t parentItem = 0;
  for (uint32_t depth = 0;; ++depth) {
    if (depth > kMaxTreeDepth) throw CorruptIndexException();
    const uint32_t n = node->getCount();
    if (n == 0) return {};
    const uint32_t item = last ? n - 1 : 0;
    NodePtr child = node->item(item).getNode(*loader_, depth + 1);
    if (cacheDepth_ < depth && parent) parent->item(parentItem).releaseNode();
    if (!child) return {};
    if (child->getNodeType() != Node::kInnerNodeType) return kit::static_pointer_cast<Leaf>(child);
    parent = std::move(node);
    parentItem = item;
    node = kit::static_pointer_cast<Inner>(child);
  }
}

// State of a walk for the leaf after a given one: leaves are passed in time order
// until the given leaf (known by its position) is seen; the next leaf ends the walk.
template <uint32_t N, class TKey, class TComparer>
struct Channel<N, TKey, TComparer>::NextLeafWalk {
  TKey t;
  uint64_t target;
  bool passed;
  WalkBudget budget;

  // The leaf when it is the one sought; marks the given leaf as passed.
  LeafPtr visit(const LeafPtr& leaf) {
    if (passed) return leaf;
    if (leaf->getPosition() == target) passed = true;
    return {};
  }
};

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::getNextLeafNode(const Leaf& current) {
  // Searching with the current leaf's last time stamp reaches it after at most the
  // leaves of a run of equal time stamps that ends in it.
  NextLeafWalk walk{keyTime(current.getLastTimestamp()), current.getPosition(), false, WalkBudget(*loader_)};
  if (finalized_) return root_ ? nextLeafBelow(root_, walk, 0) : LeafPtr();
  for (size_t level = remainderLevels_.size(); level-- > 0;) {
    for (const InnerPtr& node : remainderLevels_[level]) {
      if (node->getCount() == 0) continue;
      if (!walk.passed && TComparer::less(keyTime(node->lastKey()), walk.t)) continue;
      if (LeafPtr leaf = nextLeafBelow(node, walk, 0)) return leaf;
    }
  }
  for (const LeafPtr& leaf : remainderLeaves_) {
    if (!walk.passed && TComparer::less(keyTime(leaf->getLastTimestamp()), walk.t)) continue;
    if (LeafPtr found = walk.visit(leaf)) return found;
  }
  return {};
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::nextLeafBelow(const InnerPtr& node,
                                                                                       NextLeafWalk& walk,
                                                                                       uint32_t depth) {
  if (depth > kMaxTreeDepth) throw CorruptIndexException();
  for (uint32_t j = 0; j < node->getCount(); ++j) {
    if (!walk.passed && TComparer::less(keyTime(node->item(j).getKey()), walk.t)) continue;
    walk.budget.step();
    NodePtr child = node->item(j).getNode(*loader_, depth + 1);
    if (!child) continue;
    LeafPtr found;
    if (child->getNodeType() == Node::kInnerNodeType) {
      found = nextLeafBelow(kit::static_pointer_cast<Inner>(child), walk, depth + 1);
      if (cacheDepth_ < depth + 1) node->item(j).releaseNode();
    } else {
      found = walk.visit(kit::static_pointer_cast<Leaf>(child));
    }
    if (found) return found;
  }
  return {};
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::LeafPtr Channel<N, TKey, TComparer>::nextLeaf(const LeafPtr& leaf) {
  if (!NodePosition::isNone(leaf->getNextPosition())) return leaf->getNextNode(*loader_);
  // The writer links a leaf to its successor once that is written; the last leaf
  // written so far, or a tree whose links were never patched, needs the tree.
  return getNextLeafNode(*leaf);
}
