// The stored node layouts: reading the test kit's bytes, writing them back byte for
// byte, and the positions that pick a node.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <sstream>

#include "IndexTestSupport.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::AsyncIndexTest {
namespace {

using TestKit::ByteWriter;
using Inner = IndexChannel::Inner;
using Leaf = IndexChannel::Leaf;

// A channel reading the given node bytes, with node-stream start nodeStart.
kit::local_shared_ptr<IndexChannel> ChannelOver(std::vector<uint8_t> nodes, uint64_t nodeStart = 0,
                                                std::vector<uint8_t> values = {}) {
  auto channel = kit::make_local_shared<IndexChannel>(1, 8);
  channel->setStreams(kit::make_local_shared<MemoryStream>(std::move(values)),
                      kit::make_local_shared<MemoryStream>(std::move(nodes)), kit::make_local_shared<MemoryStream>());
  channel->setNodeStreamOffset(nodeStart);
  return channel;
}

std::vector<uint8_t> BytesAt(const std::vector<uint8_t>& stream, uint64_t offset, size_t size) {
  return std::vector<uint8_t>(stream.begin() + static_cast<long>(offset), stream.begin() + static_cast<long>(offset + size));
}

TEST(NodeFormat, InnerBitSelectsAnInnerNodeAtTheOffsetAfterTheNodeStreamStart) {
  ByteWriter nodes;
  nodes.Zeros(16 + 64);  // node-stream start 16, then 64 bytes before the node
  nodes.U32(0x123401).U32(2).F64(1.5).U64(0x10).F64(2.5).U64(0x8000000000000200ull);
  for (int i = 2; i < 8; ++i) nodes.F64(std::numeric_limits<double>::lowest()).U64(~0ull);
  auto channel = ChannelOver(nodes.Take(), 16);

  auto node = channel->needNode(0x8000000000000040ull, 3, NeedNodeDirection::ChildOfItem);
  ASSERT_TRUE(node);
  ASSERT_EQ(node->getNodeType(), 1);
  auto inner = kit::static_pointer_cast<Inner>(node);
  ASSERT_EQ(inner->getCount(), 2u);
  EXPECT_EQ(inner->item(0).getKey(), 1.5);
  EXPECT_EQ(inner->item(0).getChildPosition(), 0x10u);
  EXPECT_EQ(inner->item(1).getChildPosition(), 0x8000000000000200ull);
  EXPECT_EQ(inner->getFlags(), 0x01);
  EXPECT_EQ(inner->getNodeValue(), 0x1234u);
  EXPECT_EQ(inner->getLevel(), 3u);
  EXPECT_EQ(inner->getPosition(), 0x8000000000000040ull);

  EXPECT_FALSE(channel->needNode(~0ull, 0, NeedNodeDirection::ChildOfItem));
}

TEST(NodeFormat, InnerNodeWithThreeItemsKeepsThreeAndStoresFiveUnused) {
  Inner node;
  node.setFlags(0x01);
  node.setNodeValue(0xABCDEF);
  ASSERT_TRUE(node.addItem(1.0, 0x8000000000000000ull));
  ASSERT_TRUE(node.addItem(2.0, 0x30));
  ASSERT_TRUE(node.addItem(3.0, 0x60));
  MemoryStream stream;
  stream.write("pad", 3);
  EXPECT_EQ(node.write(stream), 3u);

  const std::vector<uint8_t>& bytes = stream.bytes();
  ASSERT_EQ(bytes.size(), 3u + 136u);
  ByteWriter expected;
  expected.Text("pad").U32(0xABCDEF01).U32(3).F64(1.0).U64(0x8000000000000000ull).F64(2.0).U64(0x30).F64(3.0).U64(0x60);
  for (int i = 3; i < 8; ++i) expected.F64(std::numeric_limits<double>::lowest()).U64(~0ull);
  EXPECT_EQ(bytes, expected.bytes());

  stream.seek(SeekOrigin::Begin, 3);
  Inner back;
  back.read(stream);
  ASSERT_EQ(back.getCount(), 3u);
  EXPECT_EQ(back.item(2).getKey(), 3.0);
  EXPECT_EQ(back.item(2).getChildPosition(), 0x60u);
  EXPECT_EQ(back.getNodeValue(), 0xABCDEFu);
}

TEST(NodeFormat, NodesWrittenByTheTestKitWriteBackByteForByte) {
  AsyncIndexWriter writer(true);
  AsyncIndexChannelContents contents = ChannelContents(1, {1, 2, 2, 2, 2, 3, 4, 5, 6, 7}, 4);
  const AsyncIndexChannelInfo info = writer.AddChannel(contents);
  const AsyncIndexStreams streams = writer.Streams();
  auto channel = ChannelOver(streams.nodeStream);

  for (uint64_t offset : info.leafOffsets) {
    auto leaf = kit::dynamic_pointer_cast<Leaf>(channel->needNode(offset, 0, NeedNodeDirection::NextLeaf));
    ASSERT_TRUE(leaf);
    MemoryStream out;
    leaf->write(out);
    EXPECT_EQ(out.bytes(), BytesAt(streams.nodeStream, offset, 48));
  }
  // The second leaf continues the run of 2.0 and carries the flag.
  auto second = kit::static_pointer_cast<Leaf>(channel->needNode(info.leafOffsets[1], 0, NeedNodeDirection::NextLeaf));
  EXPECT_TRUE(second->isDuplicateContinuation());
  EXPECT_EQ(second->getCount(), 4u);
  EXPECT_EQ(second->getTotalCount(), 8u);
  EXPECT_EQ(second->getFirstSampleNumber(), 4u);
  EXPECT_EQ(second->getLastTimestamp(), 5.0);

  const uint64_t root = info.leafOffsets.back() + 48;  // the root follows the last leaf
  auto inner = channel->needNode(root | (1ull << 63), 0, NeedNodeDirection::ChildOfItem);
  ASSERT_TRUE(inner);
  MemoryStream out;
  inner->write(out);
  EXPECT_EQ(out.bytes(), BytesAt(streams.nodeStream, root, 136));
}

TEST(NodeFormat, LeafLinksAndTotalCountOffset) {
  AsyncIndexWriter writer(true);
  const AsyncIndexChannelInfo info = writer.AddChannel(ChannelContents(1, Ramp(6), 3));
  auto channel = ChannelOver(writer.Streams().nodeStream);
  auto loader = channel->getLoader();
  auto first = kit::static_pointer_cast<Leaf>(channel->needNode(info.leafOffsets[0], 0, NeedNodeDirection::NextLeaf));
  auto last = first->getNextNode(*loader);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->getPosition(), info.leafOffsets[1]);
  EXPECT_EQ(last->getNextPosition(), ~0ull);
  EXPECT_FALSE(last->getNextNode(*loader));
  EXPECT_FALSE(first->getPrevNode(*loader));
  // The link is remembered while someone holds the neighbour.
  EXPECT_EQ(first->getNextNode(*loader).get(), last.get());
  EXPECT_EQ(last->getPrevNode(*loader)->getPosition(), first->getPosition());

  EXPECT_EQ(last->getTotalCount(), 6u);
  last->setTotalCountOffset(10);
  EXPECT_EQ(last->getTotalCount(), 16u);
  Inner inner;
  inner.addItem(1.0, 0);
  inner.setTotalCountOffset(10);
  EXPECT_EQ(inner.getCount(), 1u);
  EXPECT_EQ(inner.item(0).getChildPosition(), 0u);
}

TEST(NodeFormat, ImpossibleNodesAreCorrupt) {
  ByteWriter tooMany;
  tooMany.U32(0).U32(9).Zeros(128);
  auto channel = ChannelOver(tooMany.Take());
  EXPECT_THROW(channel->needNode(1ull << 63, 0, NeedNodeDirection::ChildOfItem), CorruptIndexException);

  ByteWriter leaf;
  leaf.U32(0).U32(5).U64(4).U64(0).U64(~0ull).U64(~0ull).F64(1.0);  // total below its own count
  channel = ChannelOver(leaf.Take());
  EXPECT_THROW(channel->needNode(0, 0, NeedNodeDirection::NextLeaf), CorruptIndexException);

  // A node that would end past the stream, at the stream's end, or past 2^64.
  channel = ChannelOver(std::vector<uint8_t>(100));
  EXPECT_THROW(channel->needNode(60, 0, NeedNodeDirection::NextLeaf), CorruptIndexException);
  EXPECT_THROW(channel->needNode(100, 0, NeedNodeDirection::NextLeaf), CorruptIndexException);
  EXPECT_THROW(channel->needNode((1ull << 63) | 0, 0, NeedNodeDirection::ChildOfItem), CorruptIndexException);
  EXPECT_NO_THROW(channel->needNode(52, 0, NeedNodeDirection::NextLeaf));
  channel = ChannelOver(std::vector<uint8_t>(100), 80);
  EXPECT_THROW(channel->needNode(0x7FFFFFFFFFFFFFF0ull, 0, NeedNodeDirection::NextLeaf), CorruptIndexException);
  EXPECT_THROW(channel->needNode(0, 0, NeedNodeDirection::NextLeaf), CorruptIndexException);
  try {
    channel->needNode(0, 0, NeedNodeDirection::NextLeaf);
  } catch (const AsyncIndexLibException& e) {
    EXPECT_EQ(e.code(), -10);
  }
}

TEST(NodeFormat, DumpDrawsRecordsLeavesAndTheLeafRow) {
  AsyncIndexWriter writer(true);
  writer.AddChannel(ChannelContents(1, Ramp(12), 4));
  const AsyncIndexStreams streams = writer.Streams();
  LoadedIndex index = LoadIndex(streams, {{1}});
  const auto& root = index.manager->getChannel(1)->getRoot();
  ASSERT_TRUE(root);
  std::ostringstream dot;
  root->dump(dot, index.manager->getChannel(1)->getLoader().get());
  const std::string text = dot.str();
  EXPECT_EQ(text.rfind("digraph", 0), 0u);
  EXPECT_NE(text.find("shape=record,height=.1"), std::string::npos);
  EXPECT_NE(text.find("fillcolor=grey90"), std::string::npos);
  EXPECT_NE(text.find("4 samples"), std::string::npos);
  EXPECT_NE(text.find("(3, 7]"), std::string::npos);  // the middle leaf's time range
  EXPECT_NE(text.find(":sw -> L"), std::string::npos);
  EXPECT_NE(text.find(":se -> L"), std::string::npos);
  EXPECT_NE(text.find("rank=same"), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace
}  // namespace Korvane::DataReader::AsyncIndexTest
