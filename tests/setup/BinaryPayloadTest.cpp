// Binary channels: payloads located by their stored records and read from the
// channel's binary stream of a container file; and samples read from a stream.
#include <gtest/gtest.h>

#include <cstdint>

#include <cstring>
#include <vector>

#include "SetupTestSupport.h"
#include "common/DataReaderLibException.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader {
namespace {

using SetupTest::OpenedSetup;
using SetupTest::SetupFileOptions;
using TestKit::ByteWriter;
using TestKit::SetupBuilder;

class BinaryPayload : public ::testing::Test {
 protected:
  void SetUp() override {
    SetupBuilder setup;
    setup.AddChannel("Plugins;0;5", "blob", kTypeBinary).Set("Async", true);
    setup.AddChannel("Math;0", "values", kTypeInt32).Set("Scale", 0.5);
    SetupFileOptions options;
    payload_ = TestKit::PatternBytes(300, 3);
    options.extraStreams.push_back({"BLOB01", payload_});
    options.extraStreams.push_back({"VALUES", ByteWriter().I32(10).I32(-20).Take()});
    opened_ = std::make_unique<OpenedSetup>(setup.Text(), options);
    channel_ = &opened_->Channel("Plugins;0;5");
    channel_->BinaryStream = opened_->container().StreamByCode("BLOB01");
    ASSERT_NE(channel_->BinaryStream, nullptr);
  }

  std::vector<uint8_t> Slice(size_t from, size_t count) const {
    return {payload_.begin() + static_cast<long>(from), payload_.begin() + static_cast<long>(from + count)};
  }

  std::vector<uint8_t> payload_;
  std::unique_ptr<OpenedSetup> opened_;
  CKVChannel* channel_ = nullptr;
};

TEST_F(BinaryPayload, WholePayloadIntoTheOutput) {
  const auto records = ByteWriter().I64(10).I64(40).I64(0).I64(300).Take();
  std::vector<uint8_t> output(64, 0);
  int length = 0;
  int64_t position = 0;
  channel_->GetBinDataFromBuf(records.data(), position, output.data(), length, 64, ScaleType::BinaryData);
  EXPECT_EQ(position, 16);
  EXPECT_EQ(length, 40);
  EXPECT_EQ(std::vector<uint8_t>(output.begin(), output.begin() + 40), Slice(10, 40));

  // Too large for the output: nothing changes.
  EXPECT_THROW(channel_->GetBinDataFromBuf(records.data(), position, output.data(), length, 64, ScaleType::BinaryData),
               NoMemoryAllocException);
  EXPECT_EQ(position, 16);
  EXPECT_EQ(length, 40);

  // Other output forms leave everything alone.
  channel_->GetBinDataFromBuf(records.data(), position, output.data(), length, 64, ScaleType::Scaled);
  EXPECT_EQ(position, 16);
}

TEST_F(BinaryPayload, PackedPayloadsCarryTheirLength) {
  const auto records = ByteWriter().I64(0).I64(5).I64(100).I64(3).I64(200).I64(10).Take();
  std::vector<uint8_t> output(20, 0xEE);
  int used = 0;
  int64_t position = 0;
  channel_->GetBinDataFromBuf(records.data(), position, output.data(), used, 20, ScaleType::BinaryPacked);
  channel_->GetBinDataFromBuf(records.data(), position, output.data(), used, 20, ScaleType::BinaryPacked);
  EXPECT_EQ(used, 5 + 4 + 3 + 4);
  int32_t length = 0;
  std::memcpy(&length, output.data(), 4);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(std::vector<uint8_t>(output.begin() + 4, output.begin() + 9), Slice(0, 5));
  std::memcpy(&length, output.data() + 9, 4);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(std::vector<uint8_t>(output.begin() + 13, output.begin() + 16), Slice(100, 3));
  EXPECT_THROW(channel_->GetBinDataFromBuf(records.data(), position, output.data(), used, 20, ScaleType::BinaryPacked),
               NoMemoryAllocException);
  EXPECT_EQ(used, 16);
  EXPECT_EQ(position, 32);
}

TEST_F(BinaryPayload, RecordsOutsideTheStreamAreCorrupt) {
  std::vector<uint8_t> output(1000, 0);
  int length = 0;
  constexpr int64_t kLargest = INT64_MAX;
  const std::vector<std::pair<int64_t, int64_t>> records = {{290, 20}, {-1, 4},      {0, -8},
                                                            {400, 1},  {0, kLargest}, {kLargest, 1}};
  for (const ScaleType form : {ScaleType::BinaryData, ScaleType::BinaryPacked}) {
    for (const auto& [where, size] : records) {
      const auto record = ByteWriter().I64(where).I64(size).Take();
      int64_t position = 0;
      length = 0;
      EXPECT_THROW(channel_->GetBinDataFromBuf(record.data(), position, output.data(), length, 1000, form),
                   FileCorruptException)
          << where << " " << size;
    }
  }
}

TEST_F(BinaryPayload, LocatorsAreCopiedAsPairs) {
  const auto records = ByteWriter().I64(1).I64(2).I64(3).I64(4).Take();
  int64_t pairs[4] = {};
  int64_t position = 0;
  channel_->GetBinRecFromBuf(records.data(), position, pairs, 2);
  EXPECT_EQ(position, 32);
  EXPECT_EQ(pairs[0], 1);
  EXPECT_EQ(pairs[3], 4);
}

TEST_F(BinaryPayload, RingBufferWrapsOnce) {
  std::vector<uint8_t> ring(50, 0);
  int64_t counter = 40;
  const KVBinarySample sample{20, 30};
  channel_->GetBinDataFromSample(&sample, ring.data(), counter, 50);
  EXPECT_EQ(counter, 20);
  EXPECT_EQ(std::vector<uint8_t>(ring.begin() + 40, ring.end()), Slice(20, 10));
  EXPECT_EQ(std::vector<uint8_t>(ring.begin(), ring.begin() + 20), Slice(30, 20));

  const KVBinarySample tooLarge{0, 60};
  EXPECT_THROW(channel_->GetBinDataFromSample(&tooLarge, ring.data(), counter, 50), NoMemoryAllocException);
}

TEST_F(BinaryPayload, SamplesReadFromAStream) {
  CKVChannel& values = opened_->Channel("Math;0");
  auto* stream = opened_->container().StreamByCode("VALUES");
  stream->Seek(0, MultiStream::kSeekBegin);
  int32_t raw = 0;
  EXPECT_EQ(values.GetScaledValueFromStream(stream, &raw), 5.0);
  EXPECT_EQ(raw, 10);
  EXPECT_EQ(values.GetScaledValueFromStream(stream, nullptr), -10.0);
}

}  // namespace
}  // namespace Korvane::DataReader
