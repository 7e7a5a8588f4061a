// The index manager: its states and their errors, loading finalized and unfinished
// root-node streams with records of other channels, channels sharing streams from
// their own starts, and index streams read from files.
#include <gtest/gtest.h>

#include <functional>

#include "IndexTestSupport.h"
#include "testkit/ByteWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::AsyncIndexTest {
namespace {

void ExpectIndexError(const std::function<void()>& call, int code, const char* message) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const AsyncIndexLibException& e) {
    EXPECT_EQ(e.code(), code);
    EXPECT_STREQ(e.what(), message);
  }
}

StreamPtr Memory(std::vector<uint8_t> bytes) { return kit::make_local_shared<MemoryStream>(std::move(bytes)); }

// All samples of a channel, values (as the writer's numbers) and time stamps.
void ExpectWholeChannel(Manager& m, uint32_t channel, const std::vector<double>& stamps) {
  IterPtr first = m.getFirstPos(channel);
  IterPtr last = m.getLastPos(channel);
  ASSERT_TRUE(first);
  ASSERT_EQ(NumberOf(last), static_cast<int64_t>(stamps.size()));
  std::vector<uint64_t> values(stamps.size());
  std::vector<double> read(stamps.size());
  uint64_t count = stamps.size();
  m.getSamples(channel, first, last, values.data(), read.data(), count);
  ASSERT_EQ(count, stamps.size());
  EXPECT_EQ(read, stamps);
  for (uint64_t k = 0; k < count; ++k) ASSERT_EQ(values[k], k);
}

TEST(IndexManager, EveryStateErrorWithItsCodeAndMessage) {
  Manager m;
  m.addChannel(7, 8);
  ExpectIndexError([&] { m.addChannel(7, 4); }, -2, "Duplicate channel index");
  ExpectIndexError([&] { m.searchTimestamp(7, 1.0, DuplFoundStrategy::First, NotFoundStrategy::Fail); }, -4,
                   "Invalid state");
  ExpectIndexError([&] { m.getFirstPos(7); }, -4, "Invalid state");
  ExpectIndexError([&] { m.moveIterator(7, {}, 1, MoveFailStrategy::StopAtEnd); }, -4, "Invalid state");
  ExpectIndexError([&] { m.getSampleCount(7, 0.0, 1.0, false); }, -4, "Invalid state");
  // The count looks the channel up before it checks the state.
  ExpectIndexError([&] { m.getSampleCount(8, 0.0, 1.0, false); }, -9, "Channel not found");
  ExpectIndexError([&] { m.getChannel(8); }, -9, "Channel not found");
  ExpectIndexError([&] { m.setNodeStreamOffset(8, 0); }, -9, "Channel not found");
  ExpectIndexError([&] {
    uint64_t count = 0;
    m.getSamples(7, {}, {}, nullptr, nullptr, count);
  }, -4, "Invalid state");

  m.setValueAndTimestampStream(Memory({}));
  m.setRootNodeStream(Memory({0}));
  ExpectIndexError([&] { m.initializeLoading(); }, -8, "Configuration failed");
  EXPECT_EQ(m.getState(), Manager::Configuring);
  m.setNodeStream(Memory({}));
  m.initializeLoading();
  EXPECT_EQ(m.getState(), Manager::Loaded);

  ExpectIndexError([&] { m.initializeLoading(); }, -4, "Invalid state");
  ExpectIndexError([&] { m.addChannel(9, 8); }, -4, "Invalid state");
  ExpectIndexError([&] { m.setNodeStream(Memory({})); }, -4, "Invalid state");
  ExpectIndexError([&] { m.setValueAndTimestampStream(Memory({})); }, -4, "Invalid state");
  ExpectIndexError([&] { m.setRootNodeStream(Memory({})); }, -4, "Invalid state");
  ExpectIndexError([&] { m.setValTsStreamOffset(7, 0); }, -4, "Invalid state");
  ExpectIndexError([&] { m.searchTimestamp(8, 1.0, DuplFoundStrategy::First, NotFoundStrategy::Fail); }, -9,
                   "Channel not found");
}

TEST(IndexManager, FinalizedStreamWithoutRootsGivesEmptyChannels) {
  TestKit::ByteWriter roots;
  roots.U8(0).U32(0xFFFFFFFF);
  LoadedIndex index = LoadIndex(AsyncIndexStreams{{}, {}, roots.Take()}, {{3}});
  Manager& m = *index.manager;
  EXPECT_TRUE(m.getChannel(3)->isFinalized());
  EXPECT_FALSE(m.getChannel(3)->getRoot());
  EXPECT_FALSE(m.searchTimestamp(3, 1.0, DuplFoundStrategy::First, NotFoundStrategy::NextOrPrevious));
  EXPECT_FALSE(m.getFirstPos(3));
  EXPECT_FALSE(m.getLastPos(3));
  EXPECT_EQ(m.getSampleCount(3, -1e300, 1e300, true), 0u);
  EXPECT_FALSE(m.searchTimestampForStartPos(3, 0.0, false));
  EXPECT_FALSE(m.searchTimestampForEndPos(3, 0.0, false));

  // An empty root-node stream: nothing written yet.
  LoadedIndex empty = LoadIndex(AsyncIndexStreams{}, {{3}});
  EXPECT_EQ(empty.manager->getState(), Manager::Loaded);
  EXPECT_FALSE(empty.manager->getFirstPos(3));
}

TEST(IndexManager, ChannelsShareStreamsFromTheirOwnStartsAndUnknownRecordsAreSkipped) {
  for (bool finalized : {true, false}) {
    AsyncIndexWriter writer(finalized);
    AsyncIndexChannelContents a = ChannelContents(1, Ramp(200, 0.1), 5);
    AsyncIndexChannelContents b = ChannelContents(2, Ramp(77, 3.0), 3);
    b.ownStarts = true;
    b.valueStreamGap = 13;
    b.nodeStreamGap = 7;
    AsyncIndexChannelContents c = ChannelContents(4, Ramp(1000), 7);
    c.ownStarts = true;
    c.nodeStreamGap = 1;
    const AsyncIndexChannelInfo ia = writer.AddChannel(a);
    writer.AddUnknownRecord(99);
    const AsyncIndexChannelInfo ib = writer.AddChannel(b);
    writer.AddUnknownRecord(98);
    const AsyncIndexChannelInfo ic = writer.AddChannel(c);
    writer.EndRecords();
    // A record after the end marker is not read.
    writer.AddChannel(ChannelContents(5, Ramp(10), 4));
    ASSERT_GT(ib.valueStreamStart, 0u);
    ASSERT_GT(ic.nodeStreamStart, 0u);

    LoadedIndex index = LoadIndex(writer.Streams(), {SetupOf(ia), SetupOf(ib), SetupOf(ic), {5}});
    Manager& m = *index.manager;
    EXPECT_EQ(m.getChannel(1)->isFinalized(), finalized);
    ExpectWholeChannel(m, 1, a.timestamps);
    ExpectWholeChannel(m, 2, b.timestamps);
    ExpectWholeChannel(m, 4, c.timestamps);
    EXPECT_FALSE(m.getFirstPos(5));
    EXPECT_EQ(m.getSampleCount(2, 30.0, 60.0, false), 10u);
    EXPECT_EQ(NumberOf(m.searchTimestamp(4, 512.0, DuplFoundStrategy::First, NotFoundStrategy::Fail)), 512);
  }
}

TEST(IndexManager, UnfinishedNodeListEndsAtANodeTheStreamDoesNotHold) {
  AsyncIndexWriter writer(false);
  const AsyncIndexChannelInfo i1 = writer.AddChannel(ChannelContents(1, Ramp(10), 2));  // five unattached leaves
  const AsyncIndexChannelInfo i2 = writer.AddChannel(ChannelContents(2, Ramp(30), 3));
  AsyncIndexStreams streams = writer.Streams();
  // Channel 1's record: flag, index, 0 levels, 5 leaves; its third leaf lies beyond
  // the node stream, so the third to fifth are passed over.
  TestKit::ByteWriter patch;
  patch.U64(streams.nodeStream.size() + 4800);
  std::copy(patch.bytes().begin(), patch.bytes().end(), streams.rootNodeStream.begin() + 1 + 4 + 1 + 1 + 2 * 8);

  LoadedIndex index = LoadIndex(streams, {SetupOf(i1), SetupOf(i2)});
  Manager& m = *index.manager;
  EXPECT_EQ(m.getChannel(1)->getRemainderLeaves().size(), 2u);
  EXPECT_EQ(NumberOf(m.getLastPos(1)), 4);
  EXPECT_EQ(NumberOf(m.searchTimestamp(1, 3.0, DuplFoundStrategy::First, NotFoundStrategy::Fail)), 3);
  // Leaves linked beyond the loaded ones are still reached through their links.
  EXPECT_EQ(NumberOf(m.searchTimestamp(1, 9.0, DuplFoundStrategy::First, NotFoundStrategy::NextOrPrevious)), 4);
  // The stream stayed in step: channel 2 is whole.
  ExpectWholeChannel(m, 2, Ramp(30));
}

TEST(IndexManager, UnfinishedStreamsCutShortKeepWhatWasWritten) {
  AsyncIndexWriter writer(false);
  const AsyncIndexChannelInfo i1 = writer.AddChannel(ChannelContents(1, Ramp(21), 2));  // 11 leaves
  const AsyncIndexChannelInfo i2 = writer.AddChannel(ChannelContents(2, Ramp(9), 2));   // 5 leaves, written last
  AsyncIndexStreams streams = writer.Streams();
  // The last leaf of channel 2 is missing from the node stream (the leaf before it
  // already links to it), and the root-node stream ends inside a record of a third
  // channel: a snapshot of a recording still being written.
  streams.nodeStream.resize(streams.nodeStream.size() - 48);
  streams.rootNodeStream.insert(streams.rootNodeStream.end(), {3, 0, 0, 0, 2, 1});

  LoadedIndex index = LoadIndex(streams, {SetupOf(i1), SetupOf(i2), {3}});
  Manager& m = *index.manager;
  EXPECT_EQ(m.getState(), Manager::Loaded);
  ExpectWholeChannel(m, 1, Ramp(21));
  EXPECT_EQ(m.getChannel(2)->getRemainderLeaves().size(), 4u);
  EXPECT_EQ(NumberOf(m.getLastPos(2)), 8);
  EXPECT_EQ(m.getSampleCount(2, 0.0, 100.0, false), 8u);

  // A finalized stream cut inside a record is damaged.
  AsyncIndexWriter done(true);
  const AsyncIndexChannelInfo id = done.AddChannel(ChannelContents(1, Ramp(21), 2));
  AsyncIndexStreams cut = done.Streams();
  cut.rootNodeStream.resize(cut.rootNodeStream.size() - 1);
  EXPECT_THROW(LoadIndex(cut, {SetupOf(id)}), CorruptIndexException);
}

TEST(IndexManager, ReadsIndexStreamsFromFiles) {
  AsyncIndexWriter writer(true);
  AsyncIndexChannelContents contents = ChannelContents(6, Ramp(5000, 0.001), 16);
  contents.valueSize = 4;
  const AsyncIndexChannelInfo info = writer.AddChannel(contents);
  const AsyncIndexStreams streams = writer.Streams();
  TestKit::TempDir dir;
  TestKit::WriteFile(dir.File("DBASDATX"), streams.valueStream);
  TestKit::WriteFile(dir.File("NDASDATX"), streams.nodeStream);
  TestKit::WriteFile(dir.File("RNASDATX"), streams.rootNodeStream);

  Manager m;
  m.setValueAndTimestampStream(kit::make_local_shared<FileStream>(dir.File("DBASDATX")));
  m.setNodeStream(kit::make_local_shared<FileStream>(dir.File("NDASDATX")));
  m.setRootNodeStream(kit::make_local_shared<FileStream>(dir.File("RNASDATX")));
  m.addChannel(info.channelIndex, 4);
  m.initializeLoading();
  EXPECT_EQ(m.getSampleCount(6, 1.0, 2.0, false), 1000u);
  IterPtr start = m.searchTimestampForStartPos(6, 1.0, false);
  IterPtr end = m.searchTimestampForEndPos(6, 2.0, false);
  std::vector<uint32_t> values(1000);
  std::vector<double> stamps(1000);
  uint64_t count = 1000;
  m.getSamples(6, start, end, values.data(), stamps.data(), count);
  ASSERT_EQ(count, 1000u);
  for (uint32_t k = 0; k < 1000; ++k) {
    EXPECT_EQ(values[k], 1000 + k);
    EXPECT_EQ(stamps[k], contents.timestamps[1000 + k]);
  }
}

TEST(IndexManager, ChannelWithStreamsOfItsOwnReadsItsTreeFromThem) {
  AsyncIndexWriter shared(true);
  const AsyncIndexChannelInfo i1 = shared.AddChannel(ChannelContents(1, Ramp(20), 4));
  AsyncIndexWriter own(true);
  const AsyncIndexChannelInfo i2 = own.AddChannel(ChannelContents(2, Ramp(50, 2.0), 4));
  AsyncIndexStreams sharedStreams = shared.Streams();
  const AsyncIndexStreams ownStreams = own.Streams();
  // The manager reads every root record from its own root-node stream; channel 2's
  // root lies in channel 2's node stream.
  sharedStreams.rootNodeStream.insert(sharedStreams.rootNodeStream.end(), ownStreams.rootNodeStream.begin() + 1,
                                      ownStreams.rootNodeStream.end());

  Manager m;
  m.setValueAndTimestampStream(Memory(sharedStreams.valueStream));
  m.setNodeStream(Memory(sharedStreams.nodeStream));
  m.setRootNodeStream(Memory(sharedStreams.rootNodeStream));
  m.addChannel(i1.channelIndex, 8);
  m.addChannel(i2.channelIndex, 8);
  m.getChannel(2)->setStreams(Memory(ownStreams.valueStream), Memory(ownStreams.nodeStream),
                              Memory(ownStreams.rootNodeStream));
  m.initializeLoading();
  EXPECT_TRUE(m.getChannel(2)->hasOwnStreams());
  ExpectWholeChannel(m, 1, Ramp(20));
  ExpectWholeChannel(m, 2, Ramp(50, 2.0));
}

}  // namespace
}  // namespace Korvane::DataReader::AsyncIndexTest
