// Channel, part three: positioning iterators by time stamp, moving them by sample
// counts, counting and copying the samples between two of them. Walks along the
// leaves are bounded by the number of leaves the node stream can hold. Included by
// Channel.h only.
#pragma once

#include <algorithm>

#include "asyncindex/Channel.h"

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::iteratorAt(const LeafPtr& leaf,
                                                                                    uint32_t index) {
  return kit::make_local_shared<Iter>(leaf, index, valueSize_, loader_, channelIndex_);
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::sibling(const IterPtr& it, uint32_t index) {
  IterPtr result = iteratorAt(it->getLeaf(), index);
  result->shareBuffers(*it);
  return result;
}

template <uint32_t N, class TKey, class TComparer>
uint32_t Channel<N, TKey, TComparer>::lowerBound(Iter& it, uint32_t end, TKey t) {
  // Binary search that stays inside [0, end) whatever order the stored stamps have.
  uint32_t low = 0;
  uint32_t high = end;
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    if (TComparer::less(it.timestampAt(middle), t)) low = middle + 1;
    else high = middle;
  }
  return low;
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::sampleBefore(const LeafPtr& leaf) {
  WalkBudget budget(*loader_);
  for (LeafPtr previous = leaf->getPrevNode(*loader_); previous; previous = previous->getPrevNode(*loader_)) {
    if (previous->getCount() > 0) return iteratorAt(previous, previous->getCount() - 1);
    budget.step();
  }
  return {};
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::sampleAfter(const LeafPtr& leaf) {
  WalkBudget budget(*loader_);
  for (LeafPtr next = nextLeaf(leaf); next; next = nextLeaf(next)) {
    if (next->getCount() > 0) return iteratorAt(next, 0);
    budget.step();
  }
  return {};
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::skipPastLeafEnd(const IterPtr& it) {
  if (!it->isPastLeafEnd()) return it;
  IterPtr next = sampleAfter(it->getLeaf());
  if (!next) throw CursorEofException();
  return next;
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::searchTimestamp(const LeafPtr& leaf, TKey t,
                                                                                         DuplFoundStrategy dupl,
                                                                                         NotFoundStrategy miss,
                                                                                         FoundPosition& position) {
  position = FoundPosition::NotFound;
  if (!leaf || leaf->getCount() == 0) return {};
  const int32_t strategy = static_cast<int32_t>(miss);
  if (strategy < 0 || strategy > static_cast<int32_t>(NotFoundStrategy::NearestPreferPrevious)) {
    miss = NotFoundStrategy::Fail;
  }
  const uint32_t count = leaf->getCount();
  IterPtr it = createIterator(leaf);
  // i: where t would go in the leaf; the leaf's count when t lies beyond its last
  // time stamp.
  uint32_t i = count;
  if (TComparer::lessEqual(t, keyTime(leaf->getLastTimestamp()))) {
    it->load();
    i = lowerBound(*it, count, t);
    if (i < count && TComparer::equal(it->timestampAt(i), t)) {
      position = FoundPosition::Exact;
      return dupl == DuplFoundStrategy::Last ? getIteratorForLastDuplicateTimestamp(t, it, i) : sibling(it, i);
    }
  }
  // The samples either side of t, within the leaf or else in the adjacent leaves,
  // looked up only when a strategy asks for them.
  IterPtr previous;
  IterPtr next;
  bool havePrevious = false;
  bool haveNext = false;
  auto getPrevious = [&] {
    if (!havePrevious) previous = i > 0 ? sibling(it, i - 1) : sampleBefore(leaf);
    havePrevious = true;
    return previous;
  };
  auto getNext = [&] {
    if (!haveNext) next = i < count ? sibling(it, i) : sampleAfter(leaf);
    haveNext = true;
    return next;
  };
  auto before = [&] {
    position = getPrevious() ? FoundPosition::Before : FoundPosition::NotFound;
    return previous;
  };
  auto after = [&] {
    position = getNext() ? FoundPosition::After : FoundPosition::NotFound;
    return next;
  };
  switch (miss) {
    case NotFoundStrategy::Next:
      return after();
    case NotFoundStrategy::NextOrPrevious:
      return after() ? next : before();
    case NotFoundStrategy::Previous:
      return before();
    case NotFoundStrategy::PreviousOrNext:
      return before() ? previous : after();
    case NotFoundStrategy::NearestPreferNext:
    case NotFoundStrategy::NearestPreferPrevious: {
      if (!getPrevious() || !getNext()) return previous ? before() : after();
      previous->resolve();
      next->resolve();
      const TKey toPrevious = t - previous->getCurrentTimestamp();
      const TKey toNext = next->getCurrentTimestamp() - t;
      if (TComparer::equal(toPrevious, toNext)) {
        return miss == NotFoundStrategy::NearestPreferNext ? after() : before();
      }
      return toNext < toPrevious ? after() : before();
    }
    case NotFoundStrategy::Fail:
      break;
  }
  return {};
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::getIteratorForLastDuplicateTimestamp(
    TKey t, const IterPtr& it, uint32_t i) {
  IterPtr current = it;
  uint32_t k = i;
  WalkBudget budget(*loader_);
  for (;;) {
    const uint32_t count = current->getLeaf()->getCount();
    while (k < count && TComparer::equal(current->timestampAt(k), t)) ++k;
    if (k < count || count == 0) return sibling(current, k > 0 ? k - 1 : 0);
    // The run reaches the end of the leaf. It goes on in the next leaf only when the
    // writer marked that leaf as continuing it and its first time stamp is t.
    LeafPtr next = nextLeaf(current->getLeaf());
    if (!next || !next->isDuplicateContinuation() || next->getCount() == 0) return sibling(current, count - 1);
    IterPtr candidate = createIterator(next);
    if (!TComparer::equal(candidate->timestampAt(0), t)) return sibling(current, count - 1);
    budget.step();
    current = std::move(candidate);
    k = 0;
  }
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::moveIteratorBackwardsWhileTimestampEqual(
    const IterPtr& it, MoveFailStrategy strategy) {
  if (!it) return {};
  IterPtr current = skipPastLeafEnd(it);
  current->resolve();
  const TKey t = current->getCurrentTimestamp();
  uint32_t end = current->getIndex();
  // The latest leaf seen holding a sample of the run; its index 0 is where the run
  // starts when an earlier leaf turns out to hold none of it.
  LeafPtr successor;
  WalkBudget budget(*loader_);
  for (;;) {
    const uint32_t k = lowerBound(*current, end, t);
    if (k > 0) {
      if (k < end || !successor) return sibling(current, k);
      return iteratorAt(successor, 0);
    }
    // The run reaches back to index 0 of this leaf and may go on before it.
    if (current->getLeaf()->getCount() > 0) successor = current->getLeaf();
    LeafPtr previous = current->getLeaf()->getPrevNode(*loader_);
    if (!previous) {
      if (strategy == MoveFailStrategy::ReturnEmpty) return {};
      return successor ? iteratorAt(successor, 0) : sibling(current, 0);
    }
    budget.step();
    current = createIterator(previous);
    end = previous->getCount();
  }
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::moveIterator(const IterPtr& it,
                                                                                      int64_t delta,
                                                                                      MoveFailStrategy strategy) {
  if (delta == 0 || !it) return it;
  LeafPtr leaf = it->getLeaf();
  WalkBudget budget(*loader_);
  if (delta > 0) {
    uint64_t remaining = static_cast<uint64_t>(delta);
    uint64_t index = it->getIndex();
    // A move that uses up a leaf exactly lands on index 0 of the next one.
    while (remaining >= leaf->getCount() - index) {
      remaining -= leaf->getCount() - index;
      LeafPtr next = nextLeaf(leaf);
      if (!next) {
        if (strategy == MoveFailStrategy::ReturnEmpty) return {};
        return leaf == it->getLeaf() ? sibling(it, leaf->getCount()) : iteratorAt(leaf, leaf->getCount());
      }
      budget.step();
      leaf = std::move(next);
      index = 0;
    }
    const uint32_t target = static_cast<uint32_t>(index + remaining);
    return leaf == it->getLeaf() ? sibling(it, target) : iteratorAt(leaf, target);
  }
  // Negative: 0 - delta as unsigned, which also holds the most negative delta.
  uint64_t remaining = uint64_t{0} - static_cast<uint64_t>(delta);
  uint64_t index = it->getIndex();
  while (remaining > index) {
    remaining -= index;
    LeafPtr previous = leaf->getPrevNode(*loader_);
    if (!previous) {
      if (strategy == MoveFailStrategy::ReturnEmpty) return {};
      return leaf == it->getLeaf() ? sibling(it, 0) : iteratorAt(leaf, 0);
    }
    budget.step();
    leaf = std::move(previous);
    index = leaf->getCount();
  }
  const uint32_t target = static_cast<uint32_t>(index - remaining);
  return leaf == it->getLeaf() ? sibling(it, target) : iteratorAt(leaf, target);
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::getFirstPos() {
  if (!firstLeaf_) {
    if (finalized_) {
      if (root_) firstLeaf_ = getFirstLeafNode(root_);
    } else {
      for (size_t level = remainderLevels_.size(); level-- > 0 && !firstLeaf_;) {
        if (!remainderLevels_[level].empty()) firstLeaf_ = getFirstLeafNode(remainderLevels_[level].front());
      }
      if (!firstLeaf_ && !remainderLeaves_.empty()) firstLeaf_ = remainderLeaves_.front();
    }
  }
  return firstLeaf_ ? createIterator(firstLeaf_) : IterPtr();
}

template <uint32_t N, class TKey, class TComparer>
typename Channel<N, TKey, TComparer>::IterPtr Channel<N, TKey, TComparer>::getLastPos() {
  if (!lastLeaf_) {
    if (finalized_) {
      if (root_) lastLeaf_ = getLastLeafNode(root_);
    } else if (!remainderLeaves_.empty()) {
      lastLeaf_ = remainderLeaves_.back();
    } else {
      for (size_t level = 0; level < remainderLevels_.size() && !lastLeaf_; ++level) {
        if (!remainderLevels_[level].empty()) lastLeaf_ = getLastLeafNode(remainderLevels_[level].back());
      }
    }
  }
  return lastLeaf_ ? iteratorAt(lastLeaf_, lastLeaf_->getCount()) : IterPtr();
}

template <uint32_t N, class TKey, class TComparer>
uint64_t Channel<N, TKey, TComparer>::getSampleCount(const IterPtr& start, const IterPtr& end) const {
  if (!start || !end) return 0;
  const uint64_t first = start->getSampleNumber();
  const uint64_t last = end->getSampleNumber();
  return last > first ? last - first : 0;
}

template <uint32_t N, class TKey, class TComparer>
void Channel<N, TKey, TComparer>::getSamples(const IterPtr& start, const IterPtr& end, void* values, TKey* timestamps,
                                             uint64_t& count) {
  const uint64_t capacity = count;
  const uint64_t wanted = getSampleCount(start, end);
  count = 0;
  if (wanted == 0) return;
  if (wanted > capacity) throw TooMuchDataException();
  auto* valueOut = static_cast<uint8_t*>(values);
  LeafPtr leaf = start->getLeaf();
  uint32_t index = start->getIndex();
  uint64_t copied = 0;
  WalkBudget budget(*loader_);
  while (copied < wanted) {
    if (index >= leaf->getCount()) {
      LeafPtr next = nextLeaf(leaf);
      if (!next) throw CursorEofException();
      budget.step();
      leaf = std::move(next);
      index = 0;
      continue;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(leaf->getCount() - index, wanted - copied));
    copyFromLeaf(*leaf, index, n, valueOut != nullptr ? valueOut + copied * valueSize_ : nullptr,
                 timestamps != nullptr ? timestamps + copied : nullptr);
    copied += n;
    index += n;
  }
  count = copied;
}

template <uint32_t N, class TKey, class TComparer>
uint64_t Channel<N, TKey, TComparer>::copyForward(IterPtr& it, uint64_t maxCount, void* values, TKey* timestamps) {
  if (!it || maxCount == 0) return 0;
  auto* valueOut = static_cast<uint8_t*>(values);
  LeafPtr leaf = it->getLeaf();
  uint32_t index = it->getIndex();
  uint64_t copied = 0;
  WalkBudget budget(*loader_);
  while (copied < maxCount) {
    if (index >= leaf->getCount()) {
      LeafPtr next = nextLeaf(leaf);
      if (!next) break;
      budget.step();
      leaf = std::move(next);
      index = 0;
      continue;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(leaf->getCount() - index, maxCount - copied));
    copyFromLeaf(*leaf, index, n, valueOut != nullptr ? valueOut + copied * valueSize_ : nullptr,
                 timestamps != nullptr ? timestamps + copied : nullptr);
    copied += n;
    index += n;
  }
  it = leaf == it->getLeaf() ? sibling(it, index) : iteratorAt(leaf, index);
  return copied;
}

template <uint32_t N, class TKey, class TComparer>
void Channel<N, TKey, TComparer>::copyFromLeaf(const Leaf& leaf, uint32_t from, uint32_t n, uint8_t* values,
                                               TKey* timestamps) {
  uint64_t start = 0;
  TKey offset{};
  Stream& stream = loader_->getValTsStreamForInstance(channelIndex_, start, offset);
  uint64_t valueBytes = 0;
  uint64_t stampBytes = 0;
  const uint64_t data = loader_->locateLeafData(leaf, valueSize_, valueBytes, stampBytes);
  if (values != nullptr && valueSize_ > 0) {
    stream.seek(SeekOrigin::Begin, static_cast<int64_t>(data + uint64_t{from} * valueSize_));
    stream.read(values, uint64_t{n} * valueSize_);
  }
  if (timestamps != nullptr) {
    stream.seek(SeekOrigin::Begin, static_cast<int64_t>(data + valueBytes + uint64_t{from} * sizeof(TKey)));
    stream.read(timestamps, uint64_t{n} * sizeof(TKey));
    if (offset != TKey{}) {
      for (uint32_t k = 0; k < n; ++k) timestamps[k] += offset;
    }
  }
}
