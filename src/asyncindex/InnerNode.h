// InnerNode: an inner node of the timestamp index: up to N items, each the largest
// time stamp below a child and the child's stored position. A child read through an
// item stays with the item until the channel releases it (InnerNodeItem::releaseNode),
// which is how the channel bounds the tree it keeps in memory.
#pragma once

#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/BaseNode.h"
#include "asyncindex/IndexTypes.h"
#include "asyncindex/LeafNode.h"
#include "asyncindex/LocalSharedPtr.h"
#include "asyncindex/NodeLoader.h"
#include "asyncindex/StoredBytes.h"

// Stored inner node of fan-out N: 8 + N x 16 bytes (136 for N = 8), packed.
template <uint32_t N>
struct InnerNodeLayout {
  static constexpr uint32_t kHeader = 0;    // u32: bits 0-7 flags, 8-31 node value
  static constexpr uint32_t kCount = 4;     // u32: items in use, 0 to N
  static constexpr uint32_t kItems = 8;     // N items
  static constexpr uint32_t kItemKey = 0;   // f64: largest time stamp of the child's subtree
  static constexpr uint32_t kItemChild = 8; // u64: child node position
  static constexpr uint32_t kItemBytes = 16;
  static constexpr uint32_t kBytes = kItems + N * kItemBytes;
  // Unused items hold the lowest double and no child.
  static constexpr double kUnusedKey = -std::numeric_limits<double>::max();
};

template <class TKey, class TComparer>
class InnerNodeItem {
 public:
  using Loader = NodeLoader<TKey, TComparer>;
  using NodePtr = kit::local_shared_ptr<BaseNode<TKey, TComparer>>;

  InnerNodeItem() = default;
  InnerNodeItem(TKey key, uint64_t childPosition) : key_(key), childPosition_(childPosition) {}

  TKey getKey() const noexcept { return key_; }
  uint64_t getChildPosition() const noexcept { return childPosition_; }

  // The child, as kept from an earlier call or read now through loader (and kept);
  // empty when the item has no child.
  const NodePtr& getNode(Loader& loader, uint32_t level) {
    if (!child_) child_ = loader.needNode(childPosition_, level, NeedNodeDirection::ChildOfItem);
    return child_;
  }
  // The child if it is loaded.
  const NodePtr& loadedNode() const noexcept { return child_; }
  // Forgets the loaded child (it is read again when next needed).
  void releaseNode() noexcept { child_.reset(); }

 private:
  TKey key_{};
  uint64_t childPosition_ = NodePosition::kNone;
  NodePtr child_;
};

template <uint32_t N, class TKey, class TComparer>
class InnerNode final : public BaseNode<TKey, TComparer> {
 public:
  using Layout = InnerNodeLayout<N>;
  using Item = InnerNodeItem<TKey, TComparer>;
  using Loader = NodeLoader<TKey, TComparer>;

  static_assert(sizeof(TKey) == 8, "the stored item holds an 8-byte key");

  InnerNode() { items_.reserve(N); }

  void dump(std::ostream& out, Loader* loader) override;
  int getNodeType() const override { return BaseNode<TKey, TComparer>::kInnerNodeType; }
  uint64_t write(Stream& stream) const override;
  void read(Stream& stream) override;
  void setTotalCountOffset(uint64_t) override {}

  uint32_t getCount() const noexcept { return static_cast<uint32_t>(items_.size()); }
  Item& item(uint32_t i) noexcept { return items_[i]; }
  const Item& item(uint32_t i) const noexcept { return items_[i]; }
  // Key of the last item: the largest time stamp below this node. The node must
  // have an item.
  TKey lastKey() const noexcept { return items_.back().getKey(); }

  // Appends an item (for writing nodes); false when the node is full.
  bool addItem(TKey key, uint64_t childPosition) {
    if (items_.size() >= N) return false;
    items_.emplace_back(key, childPosition);
    return true;
  }

 private:
  void dumpNode(std::ostream& out, Loader* loader, uint32_t depth);

  std::vector<Item> items_;
};

template <uint32_t N, class TKey, class TComparer>
uint64_t InnerNode<N, TKey, TComparer>::write(Stream& stream) const {
  uint8_t bytes[Layout::kBytes];
  StoredBytes::storeU32(bytes + Layout::kHeader, this->header());
  StoredBytes::storeU32(bytes + Layout::kCount, getCount());
  for (uint32_t i = 0; i < N; ++i) {
    uint8_t* item = bytes + Layout::kItems + i * Layout::kItemBytes;
    const bool used = i < items_.size();
    StoredBytes::storeF64(item + Layout::kItemKey, used ? items_[i].getKey() : Layout::kUnusedKey);
    StoredBytes::storeU64(item + Layout::kItemChild, used ? items_[i].getChildPosition() : NodePosition::kNone);
  }
  const uint64_t position = stream.getCurrentPos();
  stream.write(bytes, sizeof bytes);
  return position;
}

template <uint32_t N, class TKey, class TComparer>
void InnerNode<N, TKey, TComparer>::read(Stream& stream) {
  uint8_t bytes[Layout::kBytes];
  stream.read(bytes, sizeof bytes);
  this->setHeader(StoredBytes::loadU32(bytes + Layout::kHeader));
  const uint32_t count = StoredBytes::loadU32(bytes + Layout::kCount);
  // More items than the node holds cannot come from a writer.
  if (count > N) throw CorruptIndexException();
  items_.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* item = bytes + Layout::kItems + i * Layout::kItemBytes;
    items_.emplace_back(StoredBytes::loadF64(item + Layout::kItemKey), StoredBytes::loadU64(item + Layout::kItemChild));
  }
}

template <uint32_t N, class TKey, class TComparer>
void InnerNode<N, TKey, TComparer>::dump(std::ostream& out, Loader* loader) {
  out << "digraph index {\n  node [fontsize=10];\n";
  dumpNode(out, loader, 0);
  out << "}\n";
}

// One record per inner node, a field per item, an edge from each field to its
// child (the last field's from its south-east corner); leaves below, chained.
template <uint32_t N, class TKey, class TComparer>
void InnerNode<N, TKey, TComparer>::dumpNode(std::ostream& out, Loader* loader, uint32_t depth) {
  const uint64_t id = NodePosition::offsetOf(this->position_);
  out << "  I" << id << " [shape=record,height=.1,label=\"";
  for (uint32_t i = 0; i < getCount(); ++i) out << (i > 0 ? "|" : "") << "<f" << i << "> " << items_[i].getKey();
  out << "\"];\n";
  if (loader == nullptr || depth >= kMaxTreeDepth) return;
  for (uint32_t i = 0; i < getCount(); ++i) {
    const auto& child = items_[i].getNode(*loader, depth + 1);
    if (!child) continue;
    const bool last = i + 1 == getCount();
    out << "  I" << id << ":f" << i << (last ? ":se" : ":sw") << " -> ";
    if (auto inner = kit::dynamic_pointer_cast<InnerNode>(child)) {
      out << "I" << NodePosition::offsetOf(child->getPosition()) << ";\n";
      inner->dumpNode(out, loader, depth + 1);
    } else if (auto leaf = kit::dynamic_pointer_cast<LeafNode<TKey, TComparer>>(child)) {
      out << "L" << child->getPosition() << ";\n";
      const TKey after = i > 0 ? items_[i - 1].getKey() : TKey{};
      leaf->dumpWithRange(out, i > 0 ? &after : nullptr);
    }
  }
}
