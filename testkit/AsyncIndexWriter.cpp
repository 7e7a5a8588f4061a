#include "testkit/AsyncIndexWriter.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

using namespace AsyncIndexFormat;

void PatchU64(std::vector<uint8_t>& bytes, uint64_t position, uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes.at(position + i) = static_cast<uint8_t>(value >> (8 * i));
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

}  // namespace

std::vector<uint8_t> SampleValueBytes(uint64_t n, uint32_t valueSize) {
  std::vector<uint8_t> bytes(valueSize, 0);
  for (uint32_t i = 0; i < valueSize && i < 8; ++i) bytes[i] = static_cast<uint8_t>(n >> (8 * i));
  return bytes;
}

uint64_t AsyncIndexWriter::WriteLeaf(const AsyncIndexChannelContents& contents, size_t first, size_t count,
                                     uint64_t totalCount, uint64_t previous, uint64_t valueStart, uint64_t nodeStart,
                                     uint32_t sequence) {
  // Leaf data: the values, then the time stamps.
  const uint64_t dataPosition = values_.size() - valueStart;
  ByteWriter data;
  for (size_t k = first; k < first + count; ++k) {
    if (contents.values.empty()) {
      data.Bytes(SampleValueBytes(k, contents.valueSize));
    } else {
      data.Bytes(contents.values.data() + k * contents.valueSize, contents.valueSize);
    }
  }
  for (size_t k = first; k < first + count; ++k) data.F64(contents.timestamps[k]);
  Append(values_, data.bytes());

  const bool continuesRun = contents.markDuplicateContinuation && first > 0 &&
                            contents.timestamps[first] == contents.timestamps[first - 1];
  // Header: flags in the low byte, a node value above that the reader only keeps.
  const uint32_t header = (continuesRun ? kDuplicateContinuationFlag : 0) | ((sequence & 0xFFFFFF) << 8);
  const uint64_t offset = nodes_.size() - nodeStart;
  ByteWriter leaf;
  leaf.U32(header)
      .U32(static_cast<uint32_t>(count))
      .U64(totalCount)
      .U64(dataPosition)
      .U64(previous)
      .U64(kNoNode)
      .F64(contents.timestamps[first + count - 1]);
  Append(nodes_, leaf.bytes());
  // The previous leaf learns its successor only now.
  if (contents.linkNextLeaves && previous != kNoNode) PatchU64(nodes_, nodeStart + previous + 32, offset);
  return offset;
}

AsyncIndexWriter::Child AsyncIndexWriter::WriteInner(const std::vector<Child>& children, uint64_t nodeStart) {
  if (children.empty() || children.size() > kFanOut) throw std::logic_error("inner node needs 1 to 8 children");
  const uint64_t offset = nodes_.size() - nodeStart;
  ByteWriter inner;
  inner.U32(0x5A00 | 0x01).U32(static_cast<uint32_t>(children.size()));
  for (uint32_t i = 0; i < kFanOut; ++i) {
    if (i < children.size()) {
      inner.F64(children[i].lastTimestamp).U64(children[i].position);
    } else {
      inner.F64(std::numeric_limits<double>::lowest()).U64(kNoNode);
    }
  }
  if (inner.size() != kInnerNodeBytes) throw std::logic_error("inner node layout");
  Append(nodes_, inner.bytes());
  return Child{offset | kInnerNodeBit, children.back().lastTimestamp};
}

AsyncIndexChannelInfo AsyncIndexWriter::AddChannel(const AsyncIndexChannelContents& contents) {
  if (contents.leafCapacity == 0) throw std::invalid_argument("leaf capacity 0");
  if (!contents.values.empty() && contents.values.size() != contents.timestamps.size() * contents.valueSize) {
    throw std::invalid_argument("values do not match the time stamps");
  }
  AsyncIndexChannelInfo info;
  info.channelIndex = contents.channelIndex;
  if (contents.ownStarts) {
    values_.insert(values_.end(), contents.valueStreamGap, 0xEE);
    nodes_.insert(nodes_.end(), contents.nodeStreamGap, 0xEE);
    info.valueStreamStart = values_.size();
    info.nodeStreamStart = nodes_.size();
  }

  // Unattached nodes per level (0 just above the leaves) and unattached leaves, in
  // time order; eight unattached children get a parent at once.
  std::vector<std::vector<Child>> levels;
  std::vector<Child> leaves;
  auto attach = [&](std::vector<Child>& children, size_t level) {
    const Child parent = WriteInner(children, info.nodeStreamStart);
    children.clear();
    // children may be a level of levels: grow levels only after it was used.
    if (levels.size() <= level) levels.resize(level + 1);
    levels[level].push_back(parent);
  };
  uint64_t previous = kNoNode;
  uint32_t sequence = 0;
  for (size_t first = 0; first < contents.timestamps.size(); first += contents.leafCapacity) {
    const size_t count = std::min<size_t>(contents.leafCapacity, contents.timestamps.size() - first);
    previous = WriteLeaf(contents, first, count, first + count, previous, info.valueStreamStart, info.nodeStreamStart,
                         ++sequence);
    info.leafOffsets.push_back(previous);
    leaves.push_back(Child{previous, contents.timestamps[first + count - 1]});
    if (leaves.size() == kFanOut) {
      attach(leaves, 0);
      for (size_t level = 0; level < levels.size() && levels[level].size() == kFanOut; ++level) {
        attach(levels[level], level + 1);
      }
    }
  }
  info.leafCount = info.leafOffsets.size();

  ByteWriter record;
  record.U32(contents.channelIndex);
  if (finalized_) {
    // Close the tree: parents over what is left, bottom up, until one node remains.
    std::vector<Child> carry = std::move(leaves);
    for (size_t level = 0;; ++level) {
      if (!carry.empty()) attach(carry, level);
      if (levels.size() <= level) break;
      const bool topmost = level + 1 == levels.size();
      if (topmost && levels[level].size() == 1) {
        info.treeHeight = static_cast<uint32_t>(level + 1);
        break;
      }
      carry = std::move(levels[level]);
      levels[level].clear();
    }
    // Root positions carry no inner-node bit; a channel without samples has none.
    const uint64_t root = levels.empty() ? kNoNode : levels.back().front().position & ~kInnerNodeBit;
    record.U64(root);
  } else {
    record.U8(static_cast<uint8_t>(levels.size()));
    for (const auto& level : levels) {
      record.U8(static_cast<uint8_t>(level.size()));
      for (const Child& node : level) record.U64(node.position & ~kInnerNodeBit);
    }
    record.U8(static_cast<uint8_t>(leaves.size()));
    for (const Child& leaf : leaves) record.U64(leaf.position);
  }
  Append(records_, record.bytes());
  return info;
}

void AsyncIndexWriter::AddUnknownRecord(uint32_t channelIndex) {
  ByteWriter record;
  record.U32(channelIndex);
  if (finalized_) {
    record.U64(0x0123456789ABCDEFull);
  } else {
    record.U8(2).U8(2).U64(0x1111111111ull).U64(0x2222222222ull).U8(0).U8(3);
    record.U64(0x3333333333ull).U64(0x4444444444ull).U64(0x5555555555ull);
  }
  Append(records_, record.bytes());
}

void AsyncIndexWriter::EndRecords() {
  ByteWriter marker;
  marker.U32(kEndOfRecords);
  Append(records_, marker.bytes());
}

AsyncIndexStreams AsyncIndexWriter::Streams() const {
  AsyncIndexStreams streams;
  streams.valueStream = values_;
  streams.nodeStream = nodes_;
  streams.rootNodeStream.push_back(finalized_ ? 0 : 1);
  Append(streams.rootNodeStream, records_);
  return streams;
}

std::vector<uint8_t> PackIndexFuzzInput(const AsyncIndexStreams& streams, uint32_t valueStart3, uint32_t nodeStart3,
                                        double searchTime) {
  ByteWriter input;
  input.U32(static_cast<uint32_t>(streams.valueStream.size()))
      .U32(static_cast<uint32_t>(streams.nodeStream.size()))
      .U32(valueStart3)
      .U32(nodeStart3)
      .F64(searchTime)
      .Bytes(streams.valueStream)
      .Bytes(streams.nodeStream)
      .Bytes(streams.rootNodeStream);
  return input.Take();
}

}  // namespace Korvane::DataReader::TestKit
