// LeafNode: a leaf of the timestamp index: where c samples of the channel lie in the
// value stream, how many samples precede them, the last time stamp, and the stored
// positions of the neighbouring leaves. Neighbours are remembered only weakly, so a
// walk along the leaves holds the leaf it stands on and not the chain behind it.
#pragma once

#include <cstdint>
#include <ostream>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/BaseNode.h"
#include "asyncindex/IndexTypes.h"
#include "asyncindex/LocalSharedPtr.h"
#include "asyncindex/StoredBytes.h"

// Stored leaf, 48 bytes, little-endian, packed.
struct LeafNodeLayout {
  static constexpr uint32_t kHeader = 0;        // u32: bits 0-7 flags, 8-31 node value
  static constexpr uint32_t kCount = 4;         // u32: samples in the leaf
  static constexpr uint32_t kTotalCount = 8;    // u64: samples up to and including this leaf
  static constexpr uint32_t kDataPosition = 16; // u64: leaf data in the value stream
  static constexpr uint32_t kPrevious = 24;     // u64: previous leaf's node position
  static constexpr uint32_t kNext = 32;         // u64: next leaf's node position
  static constexpr uint32_t kLastTimestamp = 40;// f64: largest time stamp of the leaf
  static constexpr uint32_t kBytes = 48;
  // Header flag set on a leaf whose first time stamp continues a run of equal time
  // stamps from the previous leaf.
  static constexpr uint8_t kDuplicateContinuation = 0x02;
};

template <class TKey, class TComparer>
class LeafNode final : public BaseNode<TKey, TComparer> {
 public:
  using Loader = NodeLoader<TKey, TComparer>;
  using LeafPtr = kit::local_shared_ptr<LeafNode>;

  static_assert(sizeof(TKey) == 8, "the stored leaf holds an 8-byte time stamp");

  LeafNode() = default;

  void dump(std::ostream& out, Loader* loader) override;
  int getNodeType() const override { return BaseNode<TKey, TComparer>::kLeafNodeType; }
  uint64_t write(Stream& stream) const override;
  void read(Stream& stream) override;
  void setTotalCountOffset(uint64_t offset) override { totalCount_ += offset; }
  // The dump statements of the leaf labelled with its time range, after being the
  // largest time stamp before it when known.
  void dumpWithRange(std::ostream& out, const TKey* after) const;

  uint32_t getCount() const noexcept { return count_; }
  uint64_t getTotalCount() const noexcept { return totalCount_; }
  // Number of the leaf's first sample among all samples of the channel.
  uint64_t getFirstSampleNumber() const noexcept { return totalCount_ - count_; }
  uint64_t getDataPosition() const noexcept { return dataPosition_; }
  uint64_t getPrevPosition() const noexcept { return prevPosition_; }
  uint64_t getNextPosition() const noexcept { return nextPosition_; }
  TKey getLastTimestamp() const noexcept { return lastTimestamp_; }
  bool isDuplicateContinuation() const noexcept {
    return (this->flags_ & LeafNodeLayout::kDuplicateContinuation) != 0;
  }

  void setCount(uint32_t count) noexcept { count_ = count; }
  void setTotalCount(uint64_t total) noexcept { totalCount_ = total; }
  void setDataPosition(uint64_t position) noexcept { dataPosition_ = position; }
  void setPrevPosition(uint64_t position) noexcept { prevPosition_ = position; }
  void setNextPosition(uint64_t position) noexcept { nextPosition_ = position; }
  void setLastTimestamp(TKey timestamp) noexcept { lastTimestamp_ = timestamp; }

  // The next leaf, from the link if it is still loaded, else read through loader;
  // empty when the stored link is all ones.
  LeafPtr getNextNode(Loader& loader) {
    return neighbour(loader, next_, nextPosition_, NeedNodeDirection::NextLeaf);
  }
  // The previous leaf, likewise.
  LeafPtr getPrevNode(Loader& loader) {
    return neighbour(loader, prev_, prevPosition_, NeedNodeDirection::PreviousLeaf);
  }

 private:
  LeafPtr neighbour(Loader& loader, kit::local_weak_ptr<LeafNode>& link, uint64_t position,
                    NeedNodeDirection direction) {
    if (LeafPtr cached = link.lock()) return cached;
    if (NodePosition::isNone(position)) return {};
    auto node = loader.needNode(position, this->level_, direction);
    if (!node) return {};  // a successor not written yet (unfinished trees)
    // A link must lead to a leaf; an inner node there is a damaged file.
    if (node->getNodeType() != BaseNode<TKey, TComparer>::kLeafNodeType) throw CorruptIndexException();
    LeafPtr leaf = kit::static_pointer_cast<LeafNode>(node);
    link = leaf;
    return leaf;
  }

  uint32_t count_ = 0;
  uint64_t totalCount_ = 0;
  uint64_t dataPosition_ = 0;
  uint64_t prevPosition_ = NodePosition::kNone;
  uint64_t nextPosition_ = NodePosition::kNone;
  TKey lastTimestamp_{};
  kit::local_weak_ptr<LeafNode> prev_;
  kit::local_weak_ptr<LeafNode> next_;
};

template <class TKey, class TComparer>
uint64_t LeafNode<TKey, TComparer>::write(Stream& stream) const {
  uint8_t bytes[LeafNodeLayout::kBytes];
  StoredBytes::storeU32(bytes + LeafNodeLayout::kHeader, this->header());
  StoredBytes::storeU32(bytes + LeafNodeLayout::kCount, count_);
  StoredBytes::storeU64(bytes + LeafNodeLayout::kTotalCount, totalCount_);
  StoredBytes::storeU64(bytes + LeafNodeLayout::kDataPosition, dataPosition_);
  StoredBytes::storeU64(bytes + LeafNodeLayout::kPrevious, prevPosition_);
  StoredBytes::storeU64(bytes + LeafNodeLayout::kNext, nextPosition_);
  StoredBytes::storeF64(bytes + LeafNodeLayout::kLastTimestamp, lastTimestamp_);
  const uint64_t position = stream.getCurrentPos();
  stream.write(bytes, sizeof bytes);
  return position;
}

template <class TKey, class TComparer>
void LeafNode<TKey, TComparer>::read(Stream& stream) {
  uint8_t bytes[LeafNodeLayout::kBytes];
  stream.read(bytes, sizeof bytes);
  this->setHeader(StoredBytes::loadU32(bytes + LeafNodeLayout::kHeader));
  count_ = StoredBytes::loadU32(bytes + LeafNodeLayout::kCount);
  totalCount_ = StoredBytes::loadU64(bytes + LeafNodeLayout::kTotalCount);
  dataPosition_ = StoredBytes::loadU64(bytes + LeafNodeLayout::kDataPosition);
  prevPosition_ = StoredBytes::loadU64(bytes + LeafNodeLayout::kPrevious);
  nextPosition_ = StoredBytes::loadU64(bytes + LeafNodeLayout::kNext);
  lastTimestamp_ = StoredBytes::loadF64(bytes + LeafNodeLayout::kLastTimestamp);
  prev_.reset();
  next_.reset();
  // The samples up to this leaf include the leaf's own.
  if (totalCount_ < count_) throw CorruptIndexException();
}

template <class TKey, class TComparer>
void LeafNode<TKey, TComparer>::dump(std::ostream& out, Loader*) {
  dumpWithRange(out, nullptr);
}

template <class TKey, class TComparer>
void LeafNode<TKey, TComparer>::dumpWithRange(std::ostream& out, const TKey* after) const {
  const uint64_t id = this->position_;
  out << "  L" << id << " [shape=box,style=filled,fillcolor=grey90,label=\"" << count_ << " samples\\n";
  if (after != nullptr) out << "(" << *after << ", ";
  else out << "(.., ";
  out << lastTimestamp_ << "]\"];\n";
  // Neighbouring leaves in one row, linked east to west.
  if (!NodePosition::isNone(nextPosition_)) {
    out << "  L" << id << ":e -> L" << nextPosition_ << ":w [constraint=false];\n";
    out << "  { rank=same; L" << id << "; L" << nextPosition_ << "; }\n";
  }
}
