// Reads that take many pages of a stream in one go, where the stream's pages follow
// each other in the file: the bytes are the chain's, never those of a page that
// merely sits behind the one before; a damaged page inside such a read is still
// found; and streams of tiny pages read right.
#include <gtest/gtest.h>

#include <cstdint>
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

constexpr int32_t kPayload = 100;
constexpr int32_t kPages = 9;

MultiStreamOptions InSequence() {
  MultiStreamOptions options;
  options.interleave = false;
  return options;
}

// Stream "A" of nine full pages followed by stream "B" of nine, each stream's pages
// one behind the other.
class PageRunTest : public ::testing::Test {
 protected:
  PageRunTest() {
    written_ = TestKit::BuildMultiStreamFile(InSequence(), {{"A", TestKit::PatternBytes(kPayload * kPages, 1), kPayload},
                                                       {"B", TestKit::PatternBytes(kPayload * kPages, 2), kPayload}});
  }

  const std::vector<int64_t>& PagesOf(int stream) const { return written_.streams[static_cast<size_t>(stream)].pagePositions; }

  void PatchNumber(int64_t page, int32_t number) {
    TestKit::PatchI32(written_.bytes, static_cast<size_t>(page) + TestKit::kTestPageNumberOffset, number);
  }

  CBaseStream& Open(const char* code) {
    TestKit::WriteFile(dir_.File("c.kvd"), written_.bytes);
    container_.OpenFile(dir_.File("c.kvd").c_str());
    CBaseStream* stream = container_.StreamByCode(code);
    EXPECT_NE(stream, nullptr);
    return *stream;
  }

  // The stream read whole in one call, and page by page in calls that never cross
  // a page end.
  static std::vector<uint8_t> ReadWhole(CBaseStream& stream) {
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
    EXPECT_EQ(stream.ReadBytesAt(0, bytes.data(), static_cast<int32_t>(bytes.size())), stream.Size());
    return bytes;
  }
  static std::vector<uint8_t> ReadPageByPage(CBaseStream& stream) {
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
    for (int64_t at = 0; at < stream.Size(); at += kPayload) {
      EXPECT_EQ(stream.ReadBytesAt(at, bytes.data() + at, kPayload), kPayload);
    }
    return bytes;
  }

  TestKit::TempDir dir_;
  TestKit::WrittenMultiStream written_;
  CMultiStream container_;
};

// A's last page is taken from B's fifth page: the page behind A's eighth page has
// A's number 8 too, but the chain leads elsewhere, and the chain decides.
TEST_F(PageRunTest, TheChainDecidesWhenThePageBehindCarriesTheWantedNumber) {
  const int64_t elsewhere = PagesOf(1)[4];
  TestKit::PatchI64(written_.bytes, static_cast<size_t>(PagesOf(0)[7]) + TestKit::kTestPageNextOffset, elsewhere);
  PatchNumber(elsewhere, 8);
  std::vector<uint8_t> expected = TestKit::PatternBytes(kPayload * 8, 1);
  const std::vector<uint8_t> b = TestKit::PatternBytes(kPayload * kPages, 2);
  expected.insert(expected.end(), b.begin() + 4 * kPayload, b.begin() + 5 * kPayload);

  CBaseStream& a = Open("A");
  // Reads that grow from two pages to the whole stream, so that later ones reach
  // the turn of the chain with pages read ahead on the guess.
  for (int32_t length : {2 * kPayload, 3 * kPayload, kPayload * kPages}) {
    std::vector<uint8_t> got(static_cast<size_t>(length));
    ASSERT_EQ(a.ReadBytesAt(0, got.data(), length), length);
    EXPECT_EQ(got, std::vector<uint8_t>(expected.begin(), expected.begin() + length)) << length;
  }
  EXPECT_EQ(ReadWhole(a), expected);
  EXPECT_EQ(ReadPageByPage(a), expected);
}

// A page with a wrong number inside a long read is corrupt, however the read
// reaches it; the pages before it still read.
TEST_F(PageRunTest, AWrongPageNumberInsideALongReadIsCorrupt) {
  for (int damaged : {1, 5, 8}) {
    written_ = TestKit::BuildMultiStreamFile(InSequence(),
                                             {{"A", TestKit::PatternBytes(kPayload * kPages, 1), kPayload}});
    PatchNumber(PagesOf(0)[static_cast<size_t>(damaged)], 77);
    CMultiStream container;
    TestKit::WriteFile(dir_.File("d.kvd"), written_.bytes);
    container.OpenFile(dir_.File("d.kvd").c_str());
    CBaseStream& a = *container.StreamByCode("A");
    std::vector<uint8_t> got(kPayload * kPages);
    EXPECT_THROW(a.ReadBytesAt(0, got.data(), kPayload * kPages), FileCorruptException) << damaged;
    EXPECT_EQ(a.ReadBytesAt(0, got.data(), damaged * kPayload), damaged * kPayload) << damaged;
  }
}

// Pages of a byte or three: reads of thousands of pages come in bounded runs and
// deliver every byte.
TEST(PageRun, TinyPagesReadWhole) {
  for (const int32_t payload : {1, 3}) {
    TestKit::TempDir dir;
    const std::vector<uint8_t> data = TestKit::PatternBytes(12'000, 5);
    TestKit::WriteMultiStreamFile(dir.File("t.kvd"), InSequence(), {{"T", data, payload}});
    CMultiStream container;
    container.OpenFile(dir.File("t.kvd").c_str());
    CBaseStream& t = *container.StreamByCode("T");
    std::vector<uint8_t> got(data.size());
    ASSERT_EQ(t.ReadBytesAt(0, got.data(), static_cast<int32_t>(got.size())), static_cast<int32_t>(got.size()));
    EXPECT_EQ(got, data) << payload;
    ASSERT_EQ(t.ReadBytesAt(4321, got.data(), 5000), 5000);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 5000),
              std::vector<uint8_t>(data.begin() + 4321, data.begin() + 9321))
        << payload;
  }
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream
