// Channel: the timestamp tree of one asynchronous channel: its root (finished trees)
// or the nodes its writer had not yet attached (unfinished trees), the loader over
// its streams, and the searches, moves, counts and copies the manager asks for. The
// manager owns its channels; a channel owns its root, remainder and two cached
// leaves, and keeps below the root only the nodes of the first cache-depth levels,
// so a search over a long recording holds a bounded part of the tree.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/IndexTypes.h"
#include "asyncindex/InnerNode.h"
#include "asyncindex/Iterator.h"
#include "asyncindex/LeafNode.h"
#include "asyncindex/LocalSharedPtr.h"
#include "asyncindex/NodeLoader.h"
#include "asyncindex/Stream.h"

template <uint32_t N, class TKey, class TComparer>
class Channel {
 public:
  using Node = BaseNode<TKey, TComparer>;
  using NodePtr = kit::local_shared_ptr<Node>;
  using Inner = InnerNode<N, TKey, TComparer>;
  using InnerPtr = kit::local_shared_ptr<Inner>;
  using Leaf = LeafNode<TKey, TComparer>;
  using LeafPtr = kit::local_shared_ptr<Leaf>;
  using Iter = Iterator<TKey, TComparer>;
  using IterPtr = kit::local_shared_ptr<Iter>;
  using Loader = NodeLoader<TKey, TComparer>;
  using StreamPtr = kit::local_shared_ptr<Stream>;

  Channel(uint32_t channelIndex, uint32_t valueSize);

  uint32_t getChannelIndex() const noexcept { return channelIndex_; }
  uint32_t getValueSize() const noexcept { return valueSize_; }

  // --- Configuration and loading (driven by the manager) ---

  // Gives the channel streams of its own, which the manager's never replace.
  void setStreams(StreamPtr valueStream, StreamPtr nodeStream, StreamPtr rootNodeStream);
  // The manager's streams, taken unless the channel has its own.
  void useManagerStreams(const StreamPtr& valueStream, const StreamPtr& nodeStream, const StreamPtr& rootNodeStream);
  bool hasOwnStreams() const noexcept { return ownStreams_; }
  const StreamPtr& getRootNodeStream() const noexcept { return rootNodeStream_; }
  void setValTsStreamOffset(uint64_t start) { loader_->setValueStreamStart(start); }
  void setNodeStreamOffset(uint64_t start) { loader_->setNodeStreamStart(start); }
  // Added to every time stamp read (stored keys are compared with it added too).
  void setTimeOffset(TKey offset) { loader_->setTimeOffset(offset); }
  void setFinalized(bool finalized) noexcept {
    finalized_ = finalized;
    loader_->allowUnwrittenLinks(!finalized);
  }
  bool isFinalized() const noexcept { return finalized_; }
  void setCacheDepth(uint32_t depth) noexcept { cacheDepth_ = depth; }
  uint32_t getCacheDepth() const noexcept { return cacheDepth_; }

  // Reads the root inner node at a stored position (all ones: no root).
  void loadRoot(uint64_t position);
  const InnerPtr& getRoot() const noexcept { return root_; }
  // Reads an unfinished channel record from the root-node stream at its position
  // (just after the channel index): the unattached inner nodes level by level and
  // the unattached leaves. A node the node stream does not hold ends its list, the
  // rest of the list is passed over. A position listed again yields the node read
  // for it first. With keepNodes false the record is only passed over. Returns
  // false when the root-node stream ends inside the record.
  bool loadNotFinalizedNodes(Stream& rootNodeStream, bool keepNodes = true);
  const std::vector<std::vector<InnerPtr>>& getRemainderLevels() const noexcept { return remainderLevels_; }
  const std::vector<LeafPtr>& getRemainderLeaves() const noexcept { return remainderLeaves_; }

  // --- Node access ---

  // The node at a stored position, read through the channel's loader (NodeLoader::needNode).
  NodePtr needNode(uint64_t position, uint32_t level, NeedNodeDirection direction) {
    return loader_->needNode(position, level, direction);
  }
  // The value stream with the value-stream start and time offset.
  Stream& getValTsStreamForInstance(uint32_t instance, uint64_t& valueStart, TKey& timeOffset) {
    return loader_->getValTsStreamForInstance(instance, valueStart, timeOffset);
  }
  const kit::local_shared_ptr<Loader>& getLoader() const noexcept { return loader_; }

  // --- Leaf location ---

  // The leaf that holds time stamp t below node, which is item i of parent (none
  // for the root): the first leaf whose last time stamp is at least t, or the last
  // leaf when t lies beyond them all. Releases node from parent afterwards when it
  // lies deeper than the cache depth. Empty when no leaf can be found.
  LeafPtr getLeafNode(Inner* parent, const InnerPtr& node, uint32_t i, TKey t, uint32_t depth) {
    return locate(parent, node, i, t, depth, false);
  }
  // The leaf for t below child item of node; empty for an item beyond the count.
  LeafPtr getNodeFromItem(const InnerPtr& node, uint32_t item, TKey t, uint32_t depth) {
    return locateInItem(node, item, t, depth, false);
  }
  // The leaf for t in an unfinished tree, searched in the writer's unattached
  // nodes and leaves.
  LeafPtr getLeafNodeFromRemainder(TKey t);
  // The leaf for t in the channel's tree, finished or not.
  LeafPtr findLeaf(TKey t);
  // The leaf that follows current in time order, found through the tree (for a
  // leaf whose stored link to its successor is missing); empty when current is the
  // last leaf or cannot be found in the tree.
  LeafPtr getNextLeafNode(const Leaf& current);
  // The last leaf below node.
  LeafPtr getLastLeafNode(const InnerPtr& node) { return edgeLeaf(node, true); }
  // The first leaf below node.
  LeafPtr getFirstLeafNode(const InnerPtr& node) { return edgeLeaf(node, false); }

  // --- Search and iteration ---

  // An iterator on the sample of leaf found for t by the strategies, with where it
  // lies relative to t in position; empty with NotFound on a miss.
  IterPtr searchTimestamp(const LeafPtr& leaf, TKey t, DuplFoundStrategy dupl, NotFoundStrategy miss,
                          FoundPosition& position);
  // From index i of it's leaf, where the time stamp equals t: the last sample of the
  // run of time stamps equal to t, following later leaves marked as continuing it.
  IterPtr getIteratorForLastDuplicateTimestamp(TKey t, const IterPtr& it, uint32_t i);
  // The first sample of the run of time stamps equal to the one it stands on.
  IterPtr moveIteratorBackwardsWhileTimestampEqual(const IterPtr& it, MoveFailStrategy strategy);
  // it moved by delta samples (it itself for 0); beyond either end as strategy says.
  IterPtr moveIterator(const IterPtr& it, int64_t delta, MoveFailStrategy strategy);
  // Index 0 of the first leaf; empty for a channel without leaves.
  IterPtr getFirstPos();
  // Past the last sample of the last leaf; empty for a channel without leaves.
  IterPtr getLastPos();
  // Samples from start up to (not including) end; 0 when end is not after start
  // or either is empty.
  uint64_t getSampleCount(const IterPtr& start, const IterPtr& end) const;
  // Copies the samples from start up to end: values (value size each) and time
  // stamps; either buffer may be null to skip it. count holds the capacity in
  // samples on entry and the number copied on return. Throws TooMuchDataException
  // when they do not fit, CursorEofException when the leaves end before end.
  void getSamples(const IterPtr& start, const IterPtr& end, void* values, TKey* timestamps, uint64_t& count);
  // Copies up to maxCount samples from it onwards (values and time stamps; either
  // buffer may be null), walking on to later leaves, and moves it behind the last
  // sample copied. Returns the number copied, fewer than maxCount only where the
  // channel's leaves end. One pass over the leaves: the way to read a long stretch
  // window by window.
  uint64_t copyForward(IterPtr& it, uint64_t maxCount, void* values, TKey* timestamps);
  // A fresh iterator at index 0 of leaf.
  IterPtr createIterator(const LeafPtr& leaf) { return iteratorAt(leaf, 0); }

 private:
  // The loader for this channel's fan-out.
  class ChannelLoader final : public Loader {
   protected:
    NodePtr createInnerNode() override { return kit::make_local_shared<Inner>(); }
    uint64_t innerNodeBytes() const noexcept override { return Inner::Layout::kBytes; }
  };

  // A count of nodes a single walk visits; past the loader's limit the walk is
  // going round a loop of a damaged tree.
  class WalkBudget {
   public:
    explicit WalkBudget(Loader& loader) : limit_(loader.walkLimit()) {}
    void step() {
      if (++steps_ > limit_) throw CorruptIndexException();
    }

   private:
    uint64_t limit_;
    uint64_t steps_ = 0;
  };

  struct NextLeafWalk;

  TKey keyTime(TKey stored) const { return stored + loader_->getTimeOffset(); }
  LeafPtr locate(Inner* parent, const InnerPtr& node, uint32_t i, TKey t, uint32_t depth, bool inRemainder);
  LeafPtr locateInItem(const InnerPtr& node, uint32_t item, TKey t, uint32_t depth, bool inRemainder);
  LeafPtr edgeLeaf(const InnerPtr& node, bool last);
  LeafPtr nextLeafBelow(const InnerPtr& node, NextLeafWalk& walk, uint32_t depth);
  // The leaf after leaf: its stored link, else a search of the tree.
  LeafPtr nextLeaf(const LeafPtr& leaf);
  IterPtr iteratorAt(const LeafPtr& leaf, uint32_t index);
  // An iterator at index on it's leaf, sharing it's loaded buffers.
  IterPtr sibling(const IterPtr& it, uint32_t index);
  // The last sample before leaf, the first sample after it (leaves without samples
  // passed over); empty when there is none.
  IterPtr sampleBefore(const LeafPtr& leaf);
  IterPtr sampleAfter(const LeafPtr& leaf);
  // it, or from past its leaf's end the first sample of a later leaf.
  IterPtr skipPastLeafEnd(const IterPtr& it);
  // First index in [0, end) whose time stamp is at least t (equal counts).
  static uint32_t lowerBound(Iter& it, uint32_t end, TKey t);
  // Copies n samples of leaf from index from straight from the value stream.
  void copyFromLeaf(const Leaf& leaf, uint32_t from, uint32_t n, uint8_t* values, TKey* timestamps);

  uint32_t channelIndex_;
  uint32_t valueSize_;
  bool finalized_ = true;
  bool ownStreams_ = false;
  uint32_t cacheDepth_ = 0;
  kit::local_shared_ptr<Loader> loader_;
  StreamPtr rootNodeStream_;
  InnerPtr root_;
  std::vector<std::vector<InnerPtr>> remainderLevels_;  // level 0 lowest
  std::vector<LeafPtr> remainderLeaves_;
  LeafPtr firstLeaf_;
  LeafPtr lastLeaf_;
};

#include "asyncindex/ChannelLocate.h"
#include "asyncindex/ChannelSearch.h"
