// Paged streams through real container files of all four generations, with and
// without a page table: sizes, every seek origin and boundary, reads across pages,
// and a long random walk compared byte for byte with what was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "common/DataReaderLibException.h"
#include "multistream/CMultiStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::MultiStream {
namespace {

using TestKit::MultiStreamOptions;
using TestKit::StoredStreamLayout;

// Generation, whether the data streams are listed in a page table, and whether the
// streams' pages alternate in the file (else each stream's pages follow each
// other, and reads across pages take several in one go).
using Layout = std::tuple<int, bool, bool>;

class VirtualStreamTest : public ::testing::TestWithParam<Layout> {
 protected:
  void SetUp() override {
    const auto [generation, table, interleave] = GetParam();
    data_ = TestKit::PatternBytes(240, 1);
    MultiStreamOptions options;
    options.generation = generation;
    options.writePageTable = table;
    options.interleave = interleave;
    // Payload 100, three pages, last fill 40, interleaved with two other streams.
    std::vector<StoredStreamLayout> layouts = {
        {"OTHER", TestKit::PatternBytes(250, 2), 100, table},
        {"DATA", data_, 100, table},
        {"EMPTY", {}, 100, table},
        {"SMALL", TestKit::PatternBytes(5000, 3), 64, table},
    };
    TestKit::WriteMultiStreamFile(dir_.File("c.kvd"), options, layouts);
    container_.OpenFile(dir_.File("c.kvd").c_str());
    stream_ = container_.StreamByCode("DATA");
    ASSERT_NE(stream_, nullptr);
  }

  std::vector<uint8_t> ReadAt(int64_t position, int32_t length, int32_t* result) {
    stream_->Seek(position, kSeekBegin);
    std::vector<uint8_t> got(static_cast<size_t>(length), 0xEE);
    *result = stream_->Read(got.data(), length);
    return got;
  }

  std::vector<uint8_t> Expected(int64_t from, int64_t count) const {
    return {data_.begin() + from, data_.begin() + from + count};
  }

  TestKit::TempDir dir_;
  CMultiStream container_;
  CBaseStream* stream_ = nullptr;
  std::vector<uint8_t> data_;
};

TEST_P(VirtualStreamTest, SizeIsWhatWasWritten) {
  EXPECT_EQ(stream_->Size(), 240);
  EXPECT_EQ(container_.StreamByCode("OTHER")->Size(), 250);
  EXPECT_EQ(container_.StreamByCode("SMALL")->Size(), 5000);
  EXPECT_EQ(container_.StreamByCode("EMPTY")->Size(), 0);
}

// Scattered positioned reads, across page ends and interleaved with the stream
// read before them, deliver the stored bytes and count only what the stream holds.
TEST_P(VirtualStreamTest, PositionedReadsDeliverTheStoredBytes) {
  const std::pair<int64_t, int32_t> reads[] = {{150, 20}, {95, 10}, {0, 240}, {199, 41}, {230, 20}};
  for (const auto& [position, length] : reads) {
    std::vector<uint8_t> got(static_cast<size_t>(length), 0xEE);
    const int32_t delivered = stream_->ReadBytesAt(position, got.data(), length);
    const int64_t held = std::min<int64_t>(length, 240 - position);
    EXPECT_EQ(delivered, held) << position;
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + held), Expected(position, held)) << position;
    EXPECT_EQ(stream_->Position(), std::min<int64_t>(position + length, 240)) << position;
  }
}

TEST_P(VirtualStreamTest, SeekToLastFillSucceedsAndPastItFails) {
  EXPECT_EQ(stream_->Seek(240, kSeekBegin), 240);
  EXPECT_THROW(stream_->Seek(241, kSeekBegin), FileCorruptException);
  EXPECT_THROW(stream_->Seek(1, kSeekCurrent), FileCorruptException);
}

TEST_P(VirtualStreamTest, ReadThatStartsBeforeTheFillIsCopiedWholeButReportsTheEnd) {
  int32_t result = 0;
  const auto got = ReadAt(235, 10, &result);
  EXPECT_EQ(result, -1);
  EXPECT_NE(got[9], 0xEE);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 5), Expected(235, 5));
  EXPECT_EQ(stream_->Position(), 245);
  ReadAt(240, 1, &result);
  EXPECT_EQ(result, -1);
}

// A read reports only the bytes the stream holds, although the paged read copies
// (and passes) the unused tail of the last page.
TEST_P(VirtualStreamTest, ReadBytesCountsOnlyWhatTheStreamHolds) {
  const std::pair<int64_t, int32_t> reads[] = {{235, 10}, {200, 50}, {5, 300}, {240, 8}, {0, 240}};
  for (const auto& [position, length] : reads) {
    std::vector<uint8_t> got(static_cast<size_t>(length), 0xEE);
    stream_->Seek(position, kSeekBegin);
    const int64_t held = std::min<int64_t>(length, 240 - position);
    EXPECT_EQ(stream_->ReadBytes(got.data(), length), held) << position;
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + held), Expected(position, held)) << position;
  }
}

TEST_P(VirtualStreamTest, PageBoundarySeekReadsTheNextPage) {
  for (int64_t boundary : {100, 200}) {
    int32_t result = 0;
    const auto got = ReadAt(boundary, 1, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(got[0], data_[static_cast<size_t>(boundary)]);
  }
}

TEST_P(VirtualStreamTest, SeekFromEndLandsBeforeTheEnd) {
  EXPECT_EQ(stream_->Seek(-10, kSeekEnd), 230);
  std::vector<uint8_t> got(10);
  EXPECT_EQ(stream_->Read(got.data(), 10), 10);
  EXPECT_EQ(got, Expected(230, 10));
  EXPECT_EQ(stream_->Seek(0, kSeekEnd), 240);
  EXPECT_EQ(stream_->Seek(-240, kSeekEnd), 0);
}

TEST_P(VirtualStreamTest, SeekFromCurrentCrossesPagesBothWays) {
  stream_->Seek(150, kSeekBegin);
  EXPECT_EQ(stream_->Seek(-60, kSeekCurrent), 90);
  std::vector<uint8_t> got(20);
  EXPECT_EQ(stream_->Read(got.data(), 20), 20);
  EXPECT_EQ(got, Expected(90, 20));
  EXPECT_EQ(stream_->Seek(125, kSeekCurrent), 235);
  EXPECT_EQ(stream_->Read(got.data(), 5), 5);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 5), Expected(235, 5));
  EXPECT_EQ(stream_->Seek(0, kSeekCurrent), 240);
}

TEST_P(VirtualStreamTest, SeeksBeforeTheStartFail) {
  EXPECT_THROW(stream_->Seek(-1, kSeekBegin), FileCorruptException);
  stream_->Seek(5, kSeekBegin);
  EXPECT_THROW(stream_->Seek(-6, kSeekCurrent), FileCorruptException);
  EXPECT_THROW(stream_->Seek(-241, kSeekEnd), FileCorruptException);
  EXPECT_THROW(stream_->Seek(INT64_MIN, kSeekCurrent), FileCorruptException);
}

TEST_P(VirtualStreamTest, SeekPastTheEndLeavesTheStreamAtItsEnd) {
  stream_->Seek(7, kSeekBegin);
  EXPECT_THROW(stream_->Seek(1, kSeekEnd), FileCorruptException);
  EXPECT_EQ(stream_->Position(), 240);
  EXPECT_THROW(stream_->Seek(INT64_MAX, kSeekCurrent), FileCorruptException);
}

TEST_P(VirtualStreamTest, UnknownOriginAndWriteAreRefused) {
  stream_->Seek(7, kSeekBegin);
  EXPECT_EQ(stream_->Seek(3, static_cast<EnumSeekOrigin>(3)), -1);
  EXPECT_EQ(stream_->Position(), 7);
  uint8_t byte = 0;
  EXPECT_EQ(stream_->Write(&byte, 1), -1);
}

TEST_P(VirtualStreamTest, ReadPastTheEndCopiesWhatExists) {
  std::vector<uint8_t> got(300, 0xEE);
  EXPECT_EQ(stream_->Read(got.data(), 300), -1);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 240), data_);
  EXPECT_EQ(stream_->Read(got.data(), 0), 0);
  EXPECT_EQ(stream_->Read(got.data(), -4), -4);
}

TEST_P(VirtualStreamTest, EmptyStreamHasOnlyPositionZero) {
  CBaseStream* empty = container_.StreamByCode("EMPTY");
  ASSERT_NE(empty, nullptr);
  for (EnumSeekOrigin origin : {kSeekBegin, kSeekCurrent, kSeekEnd}) {
    EXPECT_EQ(empty->Seek(0, origin), 0);
    EXPECT_THROW(empty->Seek(1, origin), FileCorruptException);
    EXPECT_THROW(empty->Seek(-1, origin), FileCorruptException);
  }
  uint8_t byte = 0;
  EXPECT_EQ(empty->Read(&byte, 1), -1);
}

TEST_P(VirtualStreamTest, EveryWindowReadsWhatWasWritten) {
  for (int64_t position = 0; position <= 240; ++position) {
    for (int32_t length : {1, 7, 60, 100, 240}) {
      int32_t result = 0;
      const auto got = ReadAt(position, length, &result);
      if (position + length <= 240) {
        ASSERT_EQ(result, length) << position << "+" << length;
        ASSERT_EQ(got, Expected(position, length)) << position << "+" << length;
      } else {
        const int64_t available = 240 - position;
        ASSERT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + available), Expected(position, available));
      }
    }
  }
}

TEST_P(VirtualStreamTest, RandomWalkMatchesTheWrittenBytes) {
  CBaseStream* small = container_.StreamByCode("SMALL");
  const std::vector<uint8_t> reference = TestKit::PatternBytes(5000, 3);
  std::mt19937 random(7);
  int64_t position = 0;
  small->Seek(0, kSeekBegin);
  for (int step = 0; step < 3000; ++step) {
    const int64_t target = std::uniform_int_distribution<int64_t>(0, 5000)(random);
    switch (step % 3) {
      case 0:
        ASSERT_EQ(small->Seek(target, kSeekBegin), target);
        break;
      case 1:
        ASSERT_EQ(small->Seek(target - position, kSeekCurrent), target);
        break;
      default:
        ASSERT_EQ(small->Seek(target - 5000, kSeekEnd), target);
    }
    const int32_t length = std::uniform_int_distribution<int32_t>(0, 300)(random);
    std::vector<uint8_t> got(static_cast<size_t>(length));
    const int32_t result = small->Read(got.data(), length);
    if (target + length <= 5000) {
      ASSERT_EQ(result, length);
      ASSERT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + target)) << target;
      position = target + length;
    } else {
      position = small->Position();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Generations, VirtualStreamTest,
                         ::testing::ValuesIn([] {
                           // Generation 1 has no page table.
                           std::vector<Layout> layouts;
                           for (const bool interleave : {true, false}) {
                             layouts.emplace_back(1, false, interleave);
                             for (int generation = 2; generation <= 4; ++generation) {
                               layouts.emplace_back(generation, false, interleave);
                               layouts.emplace_back(generation, true, interleave);
                             }
                           }
                           return layouts;
                         }()),
                         [](const auto& p) {
                           return "Gen" + std::to_string(std::get<0>(p.param)) +
                                  (std::get<1>(p.param) ? "PageTable" : "Chained") +
                                  (std::get<2>(p.param) ? "Interleaved" : "InSequence");
                         });

// Page links of -2 name the page table as the only way to the next page.
class TableLinkTest : public ::testing::Test {
 protected:
  CBaseStream& Open(bool withTable) {
    MultiStreamOptions options;
    options.writePageTable = withTable;
    StoredStreamLayout layout{"DATA", TestKit::PatternBytes(240, 1), 100, true, true};
    TestKit::WriteMultiStreamFile(dir_.File("c.kvd"), options, {{"A", TestKit::PatternBytes(300), 100}, layout});
    container_.OpenFile(dir_.File("c.kvd").c_str());
    return *container_.StreamByCode("DATA");
  }
  TestKit::TempDir dir_;
  CMultiStream container_;
};

TEST_F(TableLinkTest, ReadsAcrossPagesThroughTheTable) {
  CBaseStream& s = Open(true);
  std::vector<uint8_t> got(240);
  EXPECT_EQ(s.Read(got.data(), 240), 240);
  EXPECT_EQ(got, TestKit::PatternBytes(240, 1));
  EXPECT_EQ(s.Seek(150, kSeekBegin), 150);
}

TEST_F(TableLinkTest, WithoutTheTableTheStreamEndsAfterTheFirstPage) {
  CBaseStream& s = Open(false);
  std::vector<uint8_t> got(240, 0);
  EXPECT_EQ(s.Read(got.data(), 240), -1);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 100), TestKit::PatternBytes(100, 1));
  EXPECT_EQ(s.Position(), 100);
  EXPECT_THROW(s.Seek(150, kSeekBegin), FileCorruptException);
  EXPECT_EQ(s.Seek(100, kSeekBegin), 100);
}

TEST(VirtualStream, ChainEndsAtTheLastPageNumberWhateverItsLink) {
  TestKit::TempDir dir;
  auto written = TestKit::BuildMultiStreamFile({}, {{"DATA", TestKit::PatternBytes(240, 1), 100}});
  const auto& pages = written.streams[0].pagePositions;
  ASSERT_EQ(pages.size(), 3u);
  // The last page links back to the first.
  TestKit::PatchI64(written.bytes, static_cast<size_t>(pages[2]) + TestKit::kTestPageNextOffset, pages[0]);
  TestKit::WriteFile(dir.File("c.kvd"), written.bytes);
  CMultiStream container;
  container.OpenFile(dir.File("c.kvd").c_str());
  CBaseStream* s = container.StreamByCode("DATA");
  std::vector<uint8_t> got(300);
  EXPECT_EQ(s->Read(got.data(), 300), -1);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 240), TestKit::PatternBytes(240, 1));
  EXPECT_EQ(s->Seek(240, kSeekBegin), 240);
}

TEST(VirtualStream, PageTableJumpsWithoutWalkingTheChain) {
  // With a table, page links are never needed: break every one of them.
  TestKit::TempDir dir;
  MultiStreamOptions options;
  options.writePageTable = true;
  auto written = TestKit::BuildMultiStreamFile(options, {{"DATA", TestKit::PatternBytes(1000, 4), 100, true}});
  for (int64_t page : written.streams[0].pagePositions) {
    TestKit::PatchI64(written.bytes, static_cast<size_t>(page) + TestKit::kTestPageNextOffset, 1LL << 40);
  }
  TestKit::WriteFile(dir.File("c.kvd"), written.bytes);
  CMultiStream container;
  container.OpenFile(dir.File("c.kvd").c_str());
  CBaseStream* s = container.StreamByCode("DATA");
  uint8_t byte = 0;
  EXPECT_EQ(s->Seek(950, kSeekBegin), 950);
  EXPECT_EQ(s->Read(&byte, 1), 1);
  EXPECT_EQ(byte, TestKit::PatternBytes(1000, 4)[950]);
  EXPECT_EQ(s->Seek(-1000, kSeekEnd), 0);
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream
