// Damaged plain container files: every count, length, link and position taken from
// the file is checked before use, and a damaged file ends in FileCorruptException
// (or in the documented lenient behaviour), never in a crash or an endless walk.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "multistream/CMultiStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::MultiStream {
namespace {

using TestKit::MultiStreamOptions;
using TestKit::PatchI32;
using TestKit::PatchI64;
using TestKit::WrittenMultiStream;

// Generation 4 entries inside the directory stream's content.
constexpr size_t kEntryFirstPage = 16;
constexpr size_t kEntryLastFill = 32;
constexpr size_t kEntryLastNumber = 36;
constexpr size_t kEntryPayloadGen4 = 41;

class DamagedContainerTest : public ::testing::Test {
 protected:
  // A file with "A" (300 bytes) and "DATA" (1000 bytes, payload 100), optionally
  // listed in a page table.
  WrittenMultiStream Build(bool table = false) {
    MultiStreamOptions options;
    options.writePageTable = table;
    options.directoryPayloadSize = 1000;  // one directory page: entries are easy to patch
    return TestKit::BuildMultiStreamFile(
        options, {{"A", TestKit::PatternBytes(300), 100, table}, {"DATA", TestKit::PatternBytes(1000, 5), 100, table}});
  }

  // Byte position in the file of a directory entry field of stream `index`.
  static size_t EntryField(const WrittenMultiStream& w, size_t index, size_t field) {
    return static_cast<size_t>(w.directory.pagePositions[0] + 32 + w.streams[index].entryOffset) + field;
  }
  static size_t PageField(const WrittenMultiStream& w, size_t index, size_t page, size_t field) {
    return static_cast<size_t>(w.streams[index].pagePositions[page]) + field;
  }

  void Open(const WrittenMultiStream& w) {
    TestKit::WriteFile(dir_.File("c.kvd"), w.bytes);
    container_.OpenFile(dir_.File("c.kvd").c_str());
  }

  // Reads the whole stream in one request, checks that it delivers exactly the
  // bytes Build wrote for it, and walks it with seeks.
  void ReadAll(const char* code) {
    const std::string name(code);
    const std::vector<uint8_t> written =
        name == "A" ? TestKit::PatternBytes(300) : TestKit::PatternBytes(1000, 5);
    CBaseStream* s = container_.StreamByCode(code);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->Size(), static_cast<int64_t>(written.size())) << code;
    std::vector<uint8_t> bytes(written.size(), 0xEE);
    s->Seek(0, kSeekBegin);
    EXPECT_EQ(s->Read(bytes.data(), static_cast<int32_t>(bytes.size())), static_cast<int32_t>(bytes.size())) << code;
    EXPECT_EQ(bytes, written) << code;
    for (int64_t p = s->Size(); p >= 0; p -= 37) s->Seek(p, kSeekBegin);
  }

  TestKit::TempDir dir_;
  CMultiStream container_;
};

TEST_F(DamagedContainerTest, UndamagedFileReads) {
  Open(Build());
  ReadAll("DATA");
  Open(Build(true));
  ReadAll("DATA");
}

TEST_F(DamagedContainerTest, HeaderDamageIsRejected) {
  for (const std::function<void(WrittenMultiStream&)>& damage : std::vector<std::function<void(WrittenMultiStream&)>>{
           [](WrittenMultiStream& w) { w.bytes[22] = '3'; },
           [](WrittenMultiStream& w) { PatchI32(w.bytes, TestKit::kTestDescriptionLengthOffset, 97); },
           [](WrittenMultiStream& w) { PatchI32(w.bytes, TestKit::kTestDescriptionLengthOffset, -1); },
           [](WrittenMultiStream& w) { w.bytes[TestKit::kTestReservedOffset] = 1; },
           [](WrittenMultiStream& w) { w.bytes.resize(100); },
       }) {
    WrittenMultiStream w = Build();
    damage(w);
    EXPECT_THROW(Open(w), FileCorruptException);
    EXPECT_EQ(container_.StreamByCode("DATA"), nullptr);
  }
}

TEST_F(DamagedContainerTest, DirectoryEntriesThatCannotDescribeTheFileAreRejected) {
  const std::vector<std::pair<size_t, int64_t>> damages = {
      {kEntryPayloadGen4, 0},            // no payload: no page could hold a byte
      {kEntryPayloadGen4, -100},
      {kEntryLastFill, 101},             // more than a page holds
      {kEntryLastFill, -1},
      {kEntryLastNumber, -1},
      {kEntryLastNumber, 2000000000},    // far more pages than the file has room for
  };
  for (const auto& [field, value] : damages) {
    WrittenMultiStream w = Build();
    PatchI32(w.bytes, EntryField(w, 1, field), static_cast<int32_t>(value));
    EXPECT_THROW(Open(w), FileCorruptException) << field << "=" << value;
  }
  for (int64_t first : {int64_t{-7}, int64_t{1} << 50}) {
    WrittenMultiStream w = Build();
    PatchI64(w.bytes, EntryField(w, 1, kEntryFirstPage), first);
    EXPECT_THROW(Open(w), FileCorruptException) << first;
  }
}

TEST_F(DamagedContainerTest, LinkOutsideTheFileIsCorrupt) {
  for (int64_t link : {int64_t{1} << 40, int64_t{-5}}) {
    WrittenMultiStream w = Build();
    PatchI64(w.bytes, PageField(w, 1, 4, TestKit::kTestPageNextOffset), link);
    Open(w);
    CBaseStream* s = container_.StreamByCode("DATA");
    EXPECT_EQ(s->Seek(450, kSeekBegin), 450);
    EXPECT_THROW(s->Seek(550, kSeekBegin), FileCorruptException) << link;
    std::vector<uint8_t> bytes(1000);
    s->Seek(0, kSeekBegin);
    EXPECT_THROW(s->Read(bytes.data(), 1000), FileCorruptException) << link;
  }
}

TEST_F(DamagedContainerTest, LinkLoopIsCorruptNotEndless) {
  WrittenMultiStream w = Build();
  // Page 6 leads back to page 2, and to itself.
  for (int64_t target : {w.streams[1].pagePositions[2], w.streams[1].pagePositions[6]}) {
    PatchI64(w.bytes, PageField(w, 1, 6, TestKit::kTestPageNextOffset), target);
    Open(w);
    CBaseStream* s = container_.StreamByCode("DATA");
    EXPECT_THROW(s->Seek(0, kSeekEnd), FileCorruptException);
  }
}

TEST_F(DamagedContainerTest, ChainThatEndsEarlyEndsTheStream) {
  WrittenMultiStream w = Build();
  PatchI64(w.bytes, PageField(w, 1, 3, TestKit::kTestPageNextOffset), -1);
  Open(w);
  CBaseStream* s = container_.StreamByCode("DATA");
  std::vector<uint8_t> bytes(1000);
  EXPECT_EQ(s->Read(bytes.data(), 1000), -1);
  EXPECT_EQ(s->Position(), 400);
  EXPECT_THROW(s->Seek(401, kSeekBegin), FileCorruptException);
}

TEST_F(DamagedContainerTest, PageTableRecordsOfUnknownStreamsAreDropped) {
  MultiStreamOptions options;
  options.writePageTable = true;
  options.extraPageTableRecords = {{-1, 0}, {2, 0}, {77, 1 << 20}, {INT32_MAX, -2}};
  Open(TestKit::BuildMultiStreamFile(options, {{"A", TestKit::PatternBytes(300), 100, true},
                                               {"DATA", TestKit::PatternBytes(1000, 5), 100, true}}));
  ReadAll("DATA");
  ReadAll("A");
}

TEST_F(DamagedContainerTest, PageTableRecordOutsideTheFileIsCorrupt) {
  for (int64_t position : {int64_t{-2}, int64_t{1} << 40}) {
    WrittenMultiStream w = Build(true);
    // The table lists A's 3 pages, then DATA's 10; DATA page 7 is record 10.
    const auto& table = w.streams[2];
    ASSERT_EQ(table.code, "___PAGES");
    PatchI64(w.bytes, static_cast<size_t>(table.pagePositions[0] + 32 + 8 + 10 * 12 + 4), position);
    Open(w);
    CBaseStream* s = container_.StreamByCode("DATA");
    EXPECT_EQ(s->Seek(650, kSeekBegin), 650);
    EXPECT_THROW(s->Seek(750, kSeekBegin), FileCorruptException);
  }
}

TEST_F(DamagedContainerTest, PageTableCountBeyondItsStreamReadsTheRecordsThatExist) {
  WrittenMultiStream w = Build(true);
  const auto& table = w.streams[2];
  PatchI32(w.bytes, static_cast<size_t>(table.pagePositions[0] + 32 + 4), INT32_MAX);
  Open(w);
  ReadAll("DATA");
}

TEST_F(DamagedContainerTest, DirectoryCountBeyondTheStreamKeepsTheEntriesThatFit) {
  for (int32_t count : {3, 1000, INT32_MAX}) {
    WrittenMultiStream w = Build();
    PatchI32(w.bytes, static_cast<size_t>(w.directory.pagePositions[0] + 32), count);
    Open(w);
    EXPECT_EQ(container_.StreamCount(), 2u) << count;
    ReadAll("DATA");
  }
  WrittenMultiStream w = Build();
  PatchI32(w.bytes, static_cast<size_t>(w.directory.pagePositions[0] + 32), -4);
  Open(w);
  EXPECT_EQ(container_.StreamCount(), 0u);
}

TEST_F(DamagedContainerTest, TruncatedFileIsRejected) {
  const WrittenMultiStream whole = Build();
  const size_t directoryFillEnd = static_cast<size_t>(whole.directory.pagePositions[0]) + 32 + 4 + 2 * 46;
  for (size_t keep : {size_t{126}, size_t{200}, whole.bytes.size() / 2, directoryFillEnd - 1}) {
    WrittenMultiStream w = whole;
    w.bytes.resize(keep);
    EXPECT_THROW(Open(w), FileCorruptException) << keep;
  }
}

TEST_F(DamagedContainerTest, LastPageMayEndAtItsFill) {
  // The file's last page is the directory's; cut its unused payload away.
  WrittenMultiStream w = Build();
  const size_t directoryBytes = 4 + 2 * 46;
  w.bytes.resize(static_cast<size_t>(w.directory.pagePositions[0]) + 32 + directoryBytes);
  Open(w);
  ReadAll("DATA");
  CBaseStream* directory = container_.DirectoryStream();
  std::vector<uint8_t> bytes(directoryBytes + 20, 0xEE);
  directory->Seek(0, kSeekBegin);
  // A chunk that starts before the fill is read whole; what the file no longer
  // holds of it reads as zeros.
  EXPECT_EQ(directory->Read(bytes.data(), static_cast<int32_t>(directoryBytes + 20)), -1);
  EXPECT_EQ(bytes[directoryBytes], 0);
  EXPECT_EQ(bytes[directoryBytes + 19], 0);
}

TEST_F(DamagedContainerTest, DamagedPageNumberIsCorrupt) {
  for (bool table : {false, true}) {
    WrittenMultiStream w = Build(table);
    PatchI32(w.bytes, PageField(w, 1, 3, TestKit::kTestPageNumberOffset), 9);
    Open(w);
    CBaseStream* s = container_.StreamByCode("DATA");
    EXPECT_THROW(s->Seek(350, kSeekBegin), FileCorruptException);
  }
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream
