// BaseNode: what inner nodes and leaves of the timestamp index share: the stored
// header (flags and a 24-bit value the reader keeps without interpreting), the level
// the node was requested for and the position it was read from. Nodes are owned
// through kit::local_shared_ptr by their parent item, a neighbour link, a channel or
// an iterator.
#pragma once

#include <cstdint>
#include <ostream>

#include "asyncindex/Stream.h"

template <class TKey, class TComparer>
class NodeLoader;

template <class TKey, class TComparer>
class BaseNode {
 public:
  static constexpr int kInnerNodeType = 1;
  static constexpr int kLeafNodeType = 0;

  virtual ~BaseNode() = default;

  // Writes the node (and, given a loader, the subtree below it) as Graphviz dot
  // statements; a debugging aid nothing in the reader calls.
  virtual void dump(std::ostream& out, NodeLoader<TKey, TComparer>* loader) = 0;
  // 1 for an inner node, 0 for a leaf.
  virtual int getNodeType() const = 0;
  // Writes the stored layout at the stream's position; returns that position.
  virtual uint64_t write(Stream& stream) const = 0;
  // Reads the stored layout at the stream's position; throws CorruptIndexException
  // for field values no writer produces.
  virtual void read(Stream& stream) = 0;
  // Shifts a leaf's total count by offset; inner nodes have none.
  virtual void setTotalCountOffset(uint64_t offset) = 0;

  uint8_t getFlags() const noexcept { return flags_; }
  uint32_t getNodeValue() const noexcept { return nodeValue_; }
  void setFlags(uint8_t flags) noexcept { flags_ = flags; }
  void setNodeValue(uint32_t value) noexcept { nodeValue_ = value & 0xFFFFFF; }
  uint32_t getLevel() const noexcept { return level_; }
  void setLevel(uint32_t level) noexcept { level_ = level; }
  // The stored position the node was read from (bit 63 set for inner nodes).
  uint64_t getPosition() const noexcept { return position_; }
  void setPosition(uint64_t position) noexcept { position_ = position; }

 protected:
  BaseNode() = default;
  BaseNode(const BaseNode&) = default;
  BaseNode& operator=(const BaseNode&) = default;

  // Header word: bits 0-7 flags, bits 8-31 the node value.
  void setHeader(uint32_t header) noexcept {
    flags_ = static_cast<uint8_t>(header & 0xFF);
    nodeValue_ = header >> 8;
  }
  uint32_t header() const noexcept { return uint32_t{flags_} | (nodeValue_ & 0xFFFFFF) << 8; }

  uint8_t flags_ = 0;
  uint32_t nodeValue_ = 0;
  uint32_t level_ = 0;
  uint64_t position_ = 0;
};
