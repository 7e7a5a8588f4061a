// The read-ahead window delivers exactly the bytes of the stream below it, for any
// mix of reads and seeks, and the framing readers work through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "multistream/CBufferedStream.h"
#include "multistream/CMultiStream.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::MultiStream {
namespace {

class BufferedStream : public ::testing::Test {
 protected:
  CBaseStream& OpenPaged(const std::vector<uint8_t>& data) {
    const std::string path = dir_.File("b.kvd");
    TestKit::WriteMultiStreamFile(path, {}, {{.code = "DATA", .data = data, .payloadSize = 100}});
    container_.OpenFile(path.c_str());
    return *container_.StreamByCode("DATA");
  }

  TestKit::TempDir dir_;
  CMultiStream container_;
};

TEST_F(BufferedStream, RandomReadsAndSeeksMatchTheSource) {
  const std::vector<uint8_t> data = TestKit::PatternBytes(5000, 3);
  CBaseStream& source = OpenPaged(data);
  CBufferedStream buffered(source, /*windowBytes=*/333);
  EXPECT_EQ(buffered.Size(), 5000);
  std::mt19937 random(7);
  int64_t expected = 0;
  for (int step = 0; step < 3000; ++step) {
    const int kind = static_cast<int>(random() % 4);
    if (kind < 3) {
      const int64_t offset = static_cast<int64_t>(random() % 12000) - 6000;
      const auto origin = static_cast<EnumSeekOrigin>(kind);
      const int64_t base = kind == 0 ? 0 : kind == 1 ? expected : 5000;
      expected = std::clamp<int64_t>(base + offset, 0, 5000);
      ASSERT_EQ(buffered.Seek(offset, origin), expected) << step;
    }
    const auto length = static_cast<int32_t>(random() % 700);
    std::vector<uint8_t> got(static_cast<size_t>(length) + 1, 0xEE);
    const int32_t delivered = buffered.Read(got.data(), length);
    const int64_t available = std::min<int64_t>(length, 5000 - expected);
    ASSERT_EQ(delivered, available) << step;
    for (int32_t i = 0; i < delivered; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], data[static_cast<size_t>(expected + i)]);
    ASSERT_EQ(got[static_cast<size_t>(length)], 0xEE);
    expected += delivered;
    ASSERT_EQ(buffered.Position(), expected);
  }
}

TEST_F(BufferedStream, FramingReadersWorkThroughTheWindow) {
  std::vector<uint8_t> data = {'j', 'u', 'n', 'k', 0x86, 'E', 'v', 'e', 'n', 't', 'S', 3, 0, 0, 0, 'a', 'b', 'c'};
  CBaseStream& source = OpenPaged(data);
  CBufferedStream buffered(source, /*windowBytes=*/4);
  EXPECT_TRUE(buffered.GenCheckFore64("EventS"));
  char* text = nullptr;
  EXPECT_EQ(buffered.ReadAllocStringFromStream64(text, false), 3);
  EXPECT_STREQ(text, "abc");
  delete[] text;
  EXPECT_EQ(buffered.Write(data.data(), 1), -1);
  EXPECT_EQ(buffered.Seek(1, static_cast<EnumSeekOrigin>(7)), 18);  // unknown origin: stays
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream
