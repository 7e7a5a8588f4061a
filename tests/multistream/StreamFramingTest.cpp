// The framing readers (record boundary search, length-prefixed strings, compact
// index lists) on real files: through a plain file stream and through a paged
// stream whose records straddle page boundaries.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/DataReaderLibException.h"
#include "multistream/CFileStream.h"
#include "multistream/CMultiStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::MultiStream {
namespace {

using TestKit::ByteWriter;

constexpr uint8_t kStart = 0x86;
constexpr uint8_t kEnd = 0x87;

// Opens `bytes` either as a plain file or as the stream "REC" of a container with
// small pages (so records cross page boundaries).
class FramingTest : public ::testing::TestWithParam<bool> {
 protected:
  CStream& Open(const std::vector<uint8_t>& bytes) {
    if (!GetParam()) {
      TestKit::WriteFile(dir_.File("plain.bin"), bytes);
      file_ = std::make_unique<CFileStream>(dir_.File("plain.bin").c_str());
      return *file_;
    }
    TestKit::StoredStreamLayout layout{"REC", bytes, 5};
    TestKit::StoredStreamLayout other{"OTHER", TestKit::PatternBytes(40), 7};
    TestKit::WriteMultiStreamFile(dir_.File("c.kvd"), {}, {layout, other});
    container_.OpenFile(dir_.File("c.kvd").c_str());
    CBaseStream* stream = container_.StreamByCode("REC");
    EXPECT_NE(stream, nullptr);
    return *stream;
  }

  TestKit::TempDir dir_;
  std::unique_ptr<CFileStream> file_;
  CMultiStream container_;
};

TEST_P(FramingTest, BoundarySearchSkipsJunkAndOtherTags) {
  ByteWriter w;
  w.Text("junk").U8(kStart).Text("NoticS").Text("xx").U8(kStart).Text("EventS").I32(42);
  CStream& s = Open(w.Take());
  EXPECT_TRUE(s.GenCheckFore64("EventS"));
  EXPECT_EQ(s.Position(), 4 + 7 + 2 + 7);
  // Room for more than the stream holds: a read that went past the end of the
  // stored bytes (into a page's unused tail) would report more than 4.
  uint8_t value[16] = {};
  EXPECT_EQ(s.ReadBytes(value, sizeof value), 4);
  EXPECT_EQ(value[0], 42);
}

TEST_P(FramingTest, EndSearchUsesItsOwnMarker) {
  ByteWriter w;
  w.U8(kStart).Text("EventS").U8(kEnd).Text("EventS").U8(1);
  CStream& s = Open(w.Take());
  EXPECT_TRUE(s.GenCheckBack64("EventS"));
  EXPECT_EQ(s.Position(), 14);
}

TEST_P(FramingTest, SearchWithoutMarkerThrowsAtEnd) {
  CStream& s = Open(std::vector<uint8_t>(30, 'a'));
  EXPECT_THROW(s.GenCheckFore64("EventS"), FileCorruptException);
}

TEST_P(FramingTest, MarkerAsLastByteStillCountsAsEnd) {
  ByteWriter w;
  w.Text("abc").U8(kStart);
  CStream& s = Open(w.Take());
  EXPECT_THROW(s.GenCheckFore64("EventS"), FileCorruptException);
}

TEST_P(FramingTest, NonMatchingTagAtTheEndReturnsFalse) {
  ByteWriter w;
  w.Text("zz").U8(kStart).Text("ModulS");
  CStream& s = Open(w.Take());
  EXPECT_FALSE(s.GenCheckFore64("EventS"));
  EXPECT_EQ(s.Position(), 9);
}

TEST_P(FramingTest, TagMustBeSixCharacters) {
  ByteWriter w;
  w.U8(kStart).Text("Event").U8(0).U8(kStart).Text("EventS");
  CStream& s = Open(w.Take());
  EXPECT_FALSE(s.GenCheckFore64("Event"));
}

TEST_P(FramingTest, StringsNarrowWideAndEmpty) {
  ByteWriter w;
  w.I32(0).I32(3).Text("abc").I32(3).Bytes("x\0y\0z\0", 6).U8(9);
  CStream& s = Open(w.Take());
  char* text = nullptr;
  EXPECT_EQ(s.ReadAllocStringFromStream64(text, false), 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  delete[] text;
  EXPECT_EQ(s.ReadAllocStringFromStream64(text, false), 3);
  EXPECT_STREQ(text, "abc");
  delete[] text;
  EXPECT_EQ(s.ReadAllocStringFromStream64(text, true), 6);
  EXPECT_EQ(std::memcmp(text, "x\0y\0z\0\0", 7), 0);
  delete[] text;
  EXPECT_EQ(s.Position(), 4 + 7 + 10);
}

TEST_P(FramingTest, StringCountsThatCannotBeTrueAreRejected) {
  for (int32_t count : {-1, INT32_MIN, 100, INT32_MAX}) {
    ByteWriter w;
    w.I32(count).Text("short");
    CStream& s = Open(w.Take());
    char* text = nullptr;
    EXPECT_THROW(s.ReadAllocStringFromStream64(text, count == 100), FileCorruptException) << count;
    EXPECT_EQ(text, nullptr);
    container_.CloseFile();
  }
}

TEST_P(FramingTest, IndexListShortAndLongForms) {
  ByteWriter w;
  w.U8(3).I16(5).I16(-1).I16(300).U8(8).U8(2).U32(70000).U32(0xFFFFFFFFu).U8(0);
  CStream& s = Open(w.Take());
  uint8_t count = 0;
  uint32_t values[kMaxIndexListValues] = {};
  s.ReadIndexFromStream64(count, values);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(values[0], 5u);
  EXPECT_EQ(values[1], 0xFFFFFFFFu);
  EXPECT_EQ(values[2], 300u);
  s.ReadIndexFromStream64(count, values);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(values[0], 70000u);
  EXPECT_EQ(values[1], 0xFFFFFFFFu);
  s.ReadIndexFromStream64(count, values);
  EXPECT_EQ(count, 0);
}

TEST_P(FramingTest, TruncatedIndexListThrows) {
  ByteWriter w;
  w.U8(9).U8(200).U32(1);
  CStream& s = Open(w.Take());
  uint8_t count = 0;
  uint32_t values[kMaxIndexListValues] = {};
  EXPECT_THROW(s.ReadIndexFromStream64(count, values), FileCorruptException);
}

INSTANTIATE_TEST_SUITE_P(PlainAndPaged, FramingTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "Paged" : "Plain"; });

}  // namespace
}  // namespace Korvane::DataReader::MultiStream
