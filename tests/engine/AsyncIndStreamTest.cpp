// The timestamp index read through container streams: index streams written by the
// test kit into a multi-stream file, opened as a host's file would be.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/AsyncManager.h"
#include "common/DataReaderLibException.h"
#include "engine/AsyncIndStream.h"
#include "engine/StreamWindows.h"
#include "multistream/CMultiStream.h"
#include "testkit/AsyncIndexWriter.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader {
namespace {

using Manager = AsyncManager<8, double, TsComparer<double>>;

class AsyncIndStreamTest : public ::testing::Test {
 protected:
  // Writes one channel of `count` samples at 0.0, 0.5, 1.0, ... into the three index
  // streams of a container file and opens it.
  void OpenIndexFile(size_t count, size_t cutNodeStreamBy = 0) {
    TestKit::AsyncIndexWriter writer(/*finalized=*/true);
    TestKit::AsyncIndexChannelContents contents;
    contents.channelIndex = 0;
    contents.valueSize = 4;
    for (size_t i = 0; i < count; ++i) contents.timestamps.push_back(0.5 * static_cast<double>(i));
    contents.leafCapacity = 16;
    writer.AddChannel(contents);
    writer.EndRecords();
    TestKit::AsyncIndexStreams streams = writer.Streams();
    streams.nodeStream.resize(streams.nodeStream.size() - cutNodeStreamBy);
    const std::string path = directory_.File("index.kvd");
    TestKit::WriteMultiStreamFile(path, {},
                                  {{.code = "DBASDATX", .data = streams.valueStream, .payloadSize = 4096},
                                   {.code = "NDASDATX", .data = streams.nodeStream, .payloadSize = 4096},
                                   {.code = "RNASDATX", .data = streams.rootNodeStream, .payloadSize = 4096}});
    container_.OpenFile(path.c_str());
  }

  kit::local_shared_ptr<Stream> Adapter(const char* code) {
    MultiStream::CBaseStream* stream = container_.StreamByCode(code);
    EXPECT_NE(stream, nullptr) << code;
    return kit::local_shared_ptr<Stream>(kit::make_local_shared<AsyncIndStream>(stream));
  }

  void Configure(Manager& manager) {
    manager.setValueAndTimestampStream(Adapter("DBASDATX"));
    manager.setNodeStream(Adapter("NDASDATX"));
    manager.setRootNodeStream(Adapter("RNASDATX"));
    manager.addChannel(0, 4);
  }

  TestKit::TempDir directory_;
  MultiStream::CMultiStream container_;
};

TEST_F(AsyncIndStreamTest, IndexCountsSamplesThroughContainerStreams) {
  OpenIndexFile(1000);
  Manager manager;
  Configure(manager);
  manager.initializeLoading();
  EXPECT_EQ(manager.getSampleCount(0, 0.0, 500.0, false), 1000u);
  EXPECT_EQ(manager.getSampleCount(0, 10.0, 20.0, false), 20u);  // 10.0 up to 19.5
}

TEST_F(AsyncIndStreamTest, ReadsPastTheEndThrowStreamExceptionWithoutMoving) {
  OpenIndexFile(10);
  kit::local_shared_ptr<Stream> stream = Adapter("NDASDATX");
  const uint64_t size = stream->getSize();
  ASSERT_GT(size, 8u);
  std::vector<uint8_t> buffer(size + 1);
  EXPECT_THROW(stream->read(buffer.data(), size + 1), StreamException);
  EXPECT_EQ(stream->getCurrentPos(), 0u);
  EXPECT_EQ(stream->read(buffer.data(), size), size);
  EXPECT_TRUE(stream->isEof());
  stream->rewind();
  EXPECT_EQ(stream->seek(SeekOrigin::Current, 5), 5u);
  EXPECT_EQ(stream->write(buffer.data(), 4), 0u);
}

TEST_F(AsyncIndStreamTest, TruncatedNodeStreamIsReportedNotReadPast) {
  OpenIndexFile(1000, /*cutNodeStreamBy=*/100);
  Manager manager;
  Configure(manager);
  EXPECT_THROW(
      {
        manager.initializeLoading();
        manager.getSampleCount(0, 0.0, 500.0, false);
      },
      AsyncIndexLibException);
}

// Streams read through windows under one budget: a refill that would pass the
// budget releases the windows of the stream refilled longest ago, and what the
// windows give stays the streams' bytes.
TEST_F(AsyncIndStreamTest, WindowsOfManyStreamsStayWithinTheirBudget) {
  OpenIndexFile(1000);
  MultiStream::CBaseStream* values = container_.StreamByCode("DBASDATX");
  MultiStream::CBaseStream* nodes = container_.StreamByCode("NDASDATX");
  const auto valueBytes = static_cast<uint64_t>(values->Size());
  const auto nodeBytes = static_cast<uint64_t>(nodes->Size());
  ASSERT_LT(valueBytes, StreamWindows::kMaxWindowBytes);
  WindowBudget budget(valueBytes + nodeBytes - 1);
  StreamWindows first(values, &budget);
  StreamWindows second(nodes, &budget);
  uint8_t byte = 0;
  uint8_t expected = 0;
  ASSERT_TRUE(first.Read(0, &byte, 1));
  EXPECT_EQ(first.HeldBytes(), valueBytes);
  ASSERT_TRUE(second.Read(0, &byte, 1));
  EXPECT_EQ(first.HeldBytes(), 0u);
  EXPECT_EQ(second.HeldBytes(), nodeBytes);
  EXPECT_EQ(budget.HeldBytes(), nodeBytes);
  ASSERT_TRUE(first.Read(0, &byte, 1));
  ASSERT_EQ(values->ReadBytesAt(0, &expected, 1), 1);
  EXPECT_EQ(byte, expected);
  EXPECT_EQ(second.HeldBytes(), 0u);
  EXPECT_LE(budget.HeldBytes(), valueBytes + nodeBytes - 1);
}

// A search jumps through a stream piece by piece and reads little around each;
// a reader going on through it grows its window to the largest. What the
// windows give is the stream's bytes either way.
TEST_F(AsyncIndStreamTest, JumpsReadLittleAndReadersGoingOnReadInLargeWindows) {
  OpenIndexFile(400000);
  MultiStream::CBaseStream* values = container_.StreamByCode("DBASDATX");
  const auto size = static_cast<uint64_t>(values->Size());
  ASSERT_GT(size, 4 * StreamWindows::kMaxWindowBytes);
  StreamWindows windows(values);
  auto readMatches = [&](uint64_t position, uint64_t length) {
    std::vector<uint8_t> got(length), expected(length);
    return windows.Read(position, got.data(), length) &&
           values->ReadBytesAt(static_cast<int64_t>(position), expected.data(), static_cast<int32_t>(length)) ==
               static_cast<int32_t>(length) &&
           got == expected;
  };
  constexpr uint64_t kJumps = 8;
  for (uint64_t i = 0; i < kJumps; ++i) {
    ASSERT_TRUE(readMatches(size / kJumps * i + 13, 48)) << i;
    EXPECT_LE(windows.HeldBytes(), StreamWindows::kWindows * StreamWindows::kMinWindowBytes) << i;
  }
  constexpr uint64_t kPiece = 4096;
  for (uint64_t position = 0; position < 3 * StreamWindows::kMaxWindowBytes; position += kPiece) {
    ASSERT_TRUE(readMatches(position, kPiece)) << position;
  }
  EXPECT_GE(windows.HeldBytes(), StreamWindows::kMaxWindowBytes);
}

// A page whose header names another number is damaged: the reads that reach it
// fail, and only those, whether they go to the stream or through windows that
// reach past the piece; a read that starts where the next page begins reaches
// only that page (the table gives its place).
TEST(StreamWindowsDamage, ADamagedPageFailsOnlyTheReadsThatReachIt) {
  TestKit::TempDir directory;
  TestKit::MultiStreamOptions options;
  options.writePageTable = true;
  const std::vector<uint8_t> data = TestKit::PatternBytes(300, 6);
  auto written = TestKit::BuildMultiStreamFile(options, {{"DBASDATX", data, 100, true}});
  TestKit::PatchI32(written.bytes,
                    static_cast<size_t>(written.streams[0].pagePositions[1]) + TestKit::kTestPageNumberOffset, 7);
  TestKit::WriteFile(directory.File("c.kvd"), written.bytes);
  MultiStream::CMultiStream container;
  container.OpenFile(directory.File("c.kvd").c_str());
  MultiStream::CBaseStream* stream = container.StreamByCode("DBASDATX");
  StreamWindows windows(stream);
  struct Case {
    int64_t position;
    int32_t length;
    bool readable;
  };
  for (const Case& c : {Case{0, 60, true}, Case{200, 100, true}, Case{60, 40, true}, Case{150, 10, false},
                        Case{50, 100, false}, Case{250, 20, true}}) {
    std::vector<uint8_t> direct(static_cast<size_t>(c.length)), windowed(direct.size());
    if (!c.readable) {
      EXPECT_THROW(stream->ReadBytesAt(c.position, direct.data(), c.length), FileCorruptException) << c.position;
      EXPECT_THROW(windows.Read(static_cast<uint64_t>(c.position), windowed.data(), windowed.size()),
                   FileCorruptException) << c.position;
      continue;
    }
    EXPECT_EQ(stream->ReadBytesAt(c.position, direct.data(), c.length), c.length) << c.position;
    ASSERT_TRUE(windows.Read(static_cast<uint64_t>(c.position), windowed.data(), windowed.size())) << c.position;
    EXPECT_TRUE(std::equal(direct.begin(), direct.end(), data.begin() + c.position)) << c.position;
    EXPECT_EQ(windowed, direct) << c.position;
  }
}

}  // namespace
}  // namespace Korvane::DataReader
