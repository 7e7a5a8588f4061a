// Damaged trees: every stored position and count that points outside its stream or
// round in a loop ends in CorruptIndexException (or, for leaves that end too early,
// CursorEofException), never in a crash, an endless walk or a huge allocation.
#include <gtest/gtest.h>

#include <set>

#include "IndexTestSupport.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::AsyncIndexTest {
namespace {

constexpr uint64_t kInnerBit = 1ull << 63;

void PatchU64(std::vector<uint8_t>& bytes, uint64_t at, uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}
void PatchU32(std::vector<uint8_t>& bytes, uint64_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}
uint64_t LoadU64(const std::vector<uint8_t>& bytes, uint64_t at) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= uint64_t{bytes.at(at + i)} << (8 * i);
  return value;
}

// A finalized channel 1 of 200 samples in leaves of 4 (height 2), to be damaged.
struct Damaged {
  AsyncIndexChannelInfo info;
  AsyncIndexStreams streams;
  uint64_t root = 0;  // node-stream offset of the root

  Damaged() {
    AsyncIndexWriter writer(true);
    info = writer.AddChannel(ChannelContents(1, Ramp(200), 4));
    streams = writer.Streams();
    root = LoadU64(streams.rootNodeStream, 5);
  }
  uint64_t leaf(size_t i) const { return info.leafOffsets.at(i); }
  uint64_t rootChild(uint32_t item) const { return root + 8 + 16 * item + 8; }
  LoadedIndex Load() const { return LoadIndex(streams, {SetupOf(info)}); }
};

void ExpectCorrupt(Manager& m, double t) {
  EXPECT_THROW(m.searchTimestamp(1, t, DuplFoundStrategy::First, NotFoundStrategy::Fail), CorruptIndexException);
}

TEST(DamagedIndex, InnerNodeWithMoreItemsThanItHolds) {
  Damaged d;
  PatchU32(d.streams.nodeStream, d.root + 4, 9);
  EXPECT_THROW(d.Load(), CorruptIndexException);

  Damaged below;
  const uint64_t child = LoadU64(below.streams.nodeStream, below.rootChild(1)) & ~kInnerBit;
  PatchU32(below.streams.nodeStream, child + 4, 0xFFFFFFFF);
  LoadedIndex index = below.Load();
  ExpectCorrupt(*index.manager, 40.0);
  EXPECT_NO_THROW(index.manager->searchTimestamp(1, 3.0, DuplFoundStrategy::First, NotFoundStrategy::Fail));
}

TEST(DamagedIndex, PositionsOutsideTheNodeStream) {
  Damaged child;
  PatchU64(child.streams.nodeStream, child.rootChild(0), kInnerBit | 0x7FFFFFFFFFFFFF00ull);
  LoadedIndex index = child.Load();
  ExpectCorrupt(*index.manager, 1.0);
  EXPECT_THROW(index.manager->getFirstPos(1), CorruptIndexException);

  Damaged root;
  PatchU64(root.streams.rootNodeStream, 5, root.streams.nodeStream.size() - 100);
  EXPECT_THROW(root.Load(), CorruptIndexException);

  Damaged link;
  PatchU64(link.streams.nodeStream, link.leaf(3) + 32, 1ull << 40);
  index = link.Load();
  IterPtr first = index.manager->getFirstPos(1);
  EXPECT_THROW(index.manager->moveIterator(1, first, 20, MoveFailStrategy::StopAtEnd), CorruptIndexException);
  EXPECT_EQ(NumberOf(index.manager->moveIterator(1, first, 15, MoveFailStrategy::StopAtEnd)), 15);

  // A link must lead to a leaf.
  Damaged toInner;
  PatchU64(toInner.streams.nodeStream, toInner.leaf(0) + 32, kInnerBit | toInner.root);
  index = toInner.Load();
  EXPECT_THROW(index.manager->moveIterator(1, index.manager->getFirstPos(1), 6, MoveFailStrategy::StopAtEnd),
               CorruptIndexException);
}

TEST(DamagedIndex, LoopsInTheTreeEndInsteadOfDescendingForever) {
  Damaged self;
  PatchU64(self.streams.nodeStream, self.rootChild(0), kInnerBit | self.root);
  LoadedIndex index = self.Load();
  ExpectCorrupt(*index.manager, 1.0);
  EXPECT_THROW(index.manager->getFirstPos(1), CorruptIndexException);

  // Every item of every inner node leads to the same child: a tree of 8^depth
  // paths. With the leaves' links gone the walk for a next leaf must still end.
  AsyncIndexWriter writer(true);
  AsyncIndexChannelContents contents = ChannelContents(1, Ramp(64), 1);
  contents.linkNextLeaves = false;
  AsyncIndexChannelInfo info = writer.AddChannel(contents);
  AsyncIndexStreams streams = writer.Streams();
  const uint64_t rootOffset = LoadU64(streams.rootNodeStream, 5);
  for (uint32_t item = 0; item < 8; ++item) {
    PatchU64(streams.nodeStream, rootOffset + 8 + 16 * item, 0x7FF0000000000000ull);  // +inf keys
    PatchU64(streams.nodeStream, rootOffset + 16 + 16 * item, kInnerBit | rootOffset);
  }
  index = LoadIndex(streams, {SetupOf(info)});
  ExpectCorrupt(*index.manager, 5.0);
  auto& channel = *index.manager->getChannel(1);
  auto stray = kit::static_pointer_cast<Manager::ChannelType::Leaf>(
      channel.needNode(info.leafOffsets[0], 0, NeedNodeDirection::NextLeaf));
  EXPECT_THROW(channel.getNextLeafNode(*stray), CorruptIndexException);
}

TEST(DamagedIndex, WalksThroughSharedSubtreesAreBounded) {
  // Twenty inner nodes whose eight items all lead to the next one: 8^20 paths down
  // to one leaf. Looking for the leaf after a leaf that is not in this tree would
  // follow them all.
  TestKit::ByteWriter nodes;
  const uint64_t leafAt = 136 * 20;
  for (uint64_t k = 0; k < 20; ++k) {
    nodes.U32(0).U32(8);
    const uint64_t child = k + 1 < 20 ? (kInnerBit | (136 * (k + 1))) : leafAt;
    for (int i = 0; i < 8; ++i) nodes.F64(1e300).U64(child);
  }
  for (int leaf = 0; leaf < 2; ++leaf) nodes.U32(0).U32(1).U64(1).U64(0).U64(~0ull).U64(~0ull).F64(1.0);
  IndexChannel channel(1, 8);
  channel.setStreams(kit::make_local_shared<MemoryStream>(std::vector<uint8_t>(16)),
                     kit::make_local_shared<MemoryStream>(nodes.Take()), kit::make_local_shared<MemoryStream>());
  channel.loadRoot(0);
  ASSERT_TRUE(channel.findLeaf(1.0));
  auto stray = kit::static_pointer_cast<IndexChannel::Leaf>(
      channel.needNode(leafAt + 48, 0, NeedNodeDirection::NextLeaf));
  EXPECT_THROW(channel.getNextLeafNode(*stray), CorruptIndexException);
}

TEST(DamagedIndex, LinkCyclesEndWalksAlongTheLeaves) {
  Damaged cycle;
  PatchU64(cycle.streams.nodeStream, cycle.leaf(1) + 32, cycle.leaf(0));
  LoadedIndex index = cycle.Load();
  IterPtr first = index.manager->getFirstPos(1);
  EXPECT_THROW(index.manager->moveIterator(1, first, 1000000, MoveFailStrategy::StopAtEnd), CorruptIndexException);

  // A leaf without samples that links to itself.
  Damaged empty;
  PatchU32(empty.streams.nodeStream, empty.leaf(1) + 4, 0);
  PatchU64(empty.streams.nodeStream, empty.leaf(1) + 32, empty.leaf(1));
  index = empty.Load();
  auto& channel = *index.manager->getChannel(1);
  IterPtr pastFirst = index.manager->moveIterator(1, index.manager->getFirstPos(1), 3, MoveFailStrategy::StopAtEnd);
  IterPtr over = kit::make_local_shared<Manager::ChannelType::Iter>(pastFirst->getLeaf(), 4, 8, channel.getLoader());
  EXPECT_THROW(over->checkIfOverNode(), CorruptIndexException);
  EXPECT_THROW(index.manager->moveIterator(1, pastFirst, 5, MoveFailStrategy::StopAtEnd), CorruptIndexException);

  // Previous links going round: a backwards walk ends too.
  Damaged back;
  PatchU64(back.streams.nodeStream, back.leaf(0) + 24, back.leaf(1));
  index = back.Load();
  IterPtr at5 = index.manager->moveIterator(1, index.manager->getFirstPos(1), 5, MoveFailStrategy::StopAtEnd);
  EXPECT_THROW(index.manager->moveIterator(1, at5, -1000000, MoveFailStrategy::StopAtEnd), CorruptIndexException);
}

TEST(DamagedIndex, LeafDataOutsideTheValueStream) {
  Damaged far;
  PatchU64(far.streams.nodeStream, far.leaf(2) + 16, ~0ull - 10);
  LoadedIndex index = far.Load();
  ExpectCorrupt(*index.manager, 9.0);
  EXPECT_NO_THROW(index.manager->searchTimestamp(1, 5.0, DuplFoundStrategy::First, NotFoundStrategy::Fail));
  IterPtr first = index.manager->getFirstPos(1);
  IterPtr last = index.manager->getLastPos(1);
  std::vector<uint64_t> values(200);
  uint64_t count = 200;
  EXPECT_THROW(index.manager->getSamples(1, first, last, values.data(), nullptr, count), CorruptIndexException);

  // A sample count that would need more bytes than the value stream holds: no
  // allocation of that size is attempted.
  Damaged huge;
  PatchU32(huge.streams.nodeStream, huge.leaf(0) + 4, 0xFFFFFFFF);
  PatchU64(huge.streams.nodeStream, huge.leaf(0) + 8, 0xFFFFFFFF);
  index = huge.Load();
  ExpectCorrupt(*index.manager, 0.0);

  Damaged cut;
  cut.streams.valueStream.resize(cut.streams.valueStream.size() - 1);
  index = cut.Load();
  ExpectCorrupt(*index.manager, 199.0);
  EXPECT_NO_THROW(index.manager->searchTimestamp(1, 195.0, DuplFoundStrategy::First, NotFoundStrategy::Fail));
}

TEST(DamagedIndex, LeavesEndingBeforeTheEndIteratorReportCursorBeyondEof) {
  Damaged d;
  // The last leaf claims 100 more samples before its end than the leaves hold.
  const uint64_t last = d.leaf(d.info.leafCount - 1);
  PatchU64(d.streams.nodeStream, last + 8, 300);
  PatchU32(d.streams.nodeStream, last + 4, 4);
  LoadedIndex index = d.Load();
  IterPtr first = index.manager->getFirstPos(1);
  IterPtr end = index.manager->getLastPos(1);
  ASSERT_EQ(NumberOf(end), 300);
  std::vector<uint64_t> values(300);
  uint64_t count = 300;
  EXPECT_THROW(index.manager->getSamples(1, first, end, values.data(), nullptr, count), CursorEofException);
}

TEST(DamagedIndex, UnfinishedRemainderWithALoop) {
  AsyncIndexWriter writer(false);
  const AsyncIndexChannelInfo info = writer.AddChannel(ChannelContents(1, Ramp(40), 2));  // 20 leaves: 2 nodes, 4 leaves
  AsyncIndexStreams streams = writer.Streams();
  // The first unattached inner node (its offset is in the record) points to itself.
  const uint64_t node = LoadU64(streams.rootNodeStream, 1 + 4 + 1 + 1);
  PatchU64(streams.nodeStream, node + 16, kInnerBit | node);
  LoadedIndex index = LoadIndex(streams, {SetupOf(info)});
  ExpectCorrupt(*index.manager, 0.0);
  EXPECT_EQ(NumberOf(index.manager->searchTimestamp(1, 20.0, DuplFoundStrategy::First, NotFoundStrategy::Fail)), 20);
}

// An unfinished record listing one inner node in every place of 255 levels and one
// leaf in every leaf place: each position is read once and its node shared, so
// loading holds two nodes, not 65,280.
TEST(DamagedIndex, RepeatedRemainderPositionsShareOneNode) {
  AsyncIndexWriter writer(false);
  const AsyncIndexChannelInfo info = writer.AddChannel(ChannelContents(1, Ramp(40), 2));
  AsyncIndexStreams streams = writer.Streams();
  const uint64_t node = LoadU64(streams.rootNodeStream, 1 + 4 + 1 + 1);
  const uint64_t leaf = info.leafOffsets.back();
  TestKit::ByteWriter record;
  record.U8(1).U32(1).U8(255);
  for (int level = 0; level < 255; ++level) {
    record.U8(255);
    for (int k = 0; k < 255; ++k) record.U64(node);
  }
  record.U8(255);
  for (int k = 0; k < 255; ++k) record.U64(leaf);
  streams.rootNodeStream = record.bytes();
  LoadedIndex index = LoadIndex(streams, {SetupOf(info)});

  const IndexChannel& channel = *index.manager->getChannel(1);
  std::vector<const void*> listed;
  for (const auto& level : channel.getRemainderLevels()) {
    for (const auto& inner : level) listed.push_back(inner.get());
  }
  for (const auto& unattached : channel.getRemainderLeaves()) listed.push_back(unattached.get());
  const std::set<const void*> distinct(listed.begin(), listed.end());
  EXPECT_EQ(listed.size(), 256u * 255u);
  EXPECT_EQ(distinct.size(), 2u);
  using TestKit::AsyncIndexFormat::kInnerNodeBytes;
  using TestKit::AsyncIndexFormat::kLeafNodeBytes;
  EXPECT_EQ(index.nodes->bytesRead(), kInnerNodeBytes + kLeafNodeBytes);
  EXPECT_EQ(NumberOf(index.manager->searchTimestamp(1, 0.0, DuplFoundStrategy::First, NotFoundStrategy::Fail)), 0);
  EXPECT_EQ(NumberOf(index.manager->searchTimestamp(1, 39.0, DuplFoundStrategy::First, NotFoundStrategy::Fail)), 39);
}

}  // namespace
}  // namespace Korvane::DataReader::AsyncIndexTest
