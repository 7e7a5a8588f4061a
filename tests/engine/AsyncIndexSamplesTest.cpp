// Asynchronous samples read through the timestamp index: every channel of a table
// of recordings (finalized and unfinished trees, the shared manager and managers
// of a channel's own node stream, data types, arrays, leaf sizes) is read in the
// standard sequence of windows; then runs of equal time stamps across leaves and
// at region edges, the numbering over regions, interleaved channels, CAN port
// channels and decoded signals, binary payloads and oversized windows.
#include <gtest/gtest.h>

#include "AsyncSamplesSupport.h"
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {
namespace {

using AsyncTest::BuildIndexRecording;
using AsyncTest::BuiltRecording;
using AsyncTest::IndexChannel;
using AsyncTest::Seconds;
using EngineTest::OpenedRecording;
using TestKit::RecordedRegion;

// [0.1, 0.5), [0.85, 1.2) and [1.5, 2.03) s.
const std::vector<RecordedRegion> kRegions = {{1, 0, 5, 0}, {8, 50, 12, 0}, {15, 0, 20, 30}};

// A sample every 7 ms from 0 to 2.5 s, and samples on and next to every region edge.
std::vector<double> EdgeTimes() {
  std::vector<int64_t> positions = {100, 499, 500, 850, 1199, 1200, 1500, 2029, 2030};
  for (int64_t p = 0; p <= 2500; p += 7) {
    if (std::find(positions.begin(), positions.end(), p) == positions.end()) positions.push_back(p);
  }
  return Seconds(positions);
}

struct IndexCase {
  const char* name;
  int dataType;
  int arraySize;
  uint32_t leafCapacity;
  bool finalized;
  bool offline;
  double offset;
};

const IndexCase kCases[] = {
    {"DoubleFinalizedShared", kTypeDouble, 1, 4, true, false, 1},
    {"DoubleUnfinishedShared", kTypeDouble, 1, 5, false, false, 1},
    {"Int16FinalizedOwnNodeStream", kTypeInt16, 1, 16, true, true, -4},
    {"Int16UnfinishedOwnNodeStream", kTypeInt16, 1, 3, false, true, -4},
    {"FloatArrayFinalizedShared", kTypeFloat, 3, 7, true, false, 0.5},
    {"ComplexFloatUnfinishedShared", kTypeComplexFloat, 1, 4, false, false, 0},
    {"DoubleOneLeafPerSample", kTypeDouble, 1, 1, true, true, 1},
};

class AsyncIndexSamples : public ::testing::TestWithParam<IndexCase> {};

TEST_P(AsyncIndexSamples, WindowsDeliverTheSamplesOfTheirRegions) {
  const IndexCase& c = GetParam();
  IndexChannel channel;
  channel.index = "Math;1";
  channel.dataType = c.dataType;
  channel.arraySize = c.arraySize;
  channel.times = EdgeTimes();
  channel.leafCapacity = c.leafCapacity;
  channel.offline = c.offline;
  channel.offset = c.offset;
  const BuiltRecording built = BuildIndexRecording(kRegions, c.finalized, {channel});
  OpenedRecording opened(built.recording);
  AsyncTest::CheckChannel(opened.engine(), opened.Channel("Math;1"), built.models[0], built.spans);
}

INSTANTIATE_TEST_SUITE_P(Engine, AsyncIndexSamples, ::testing::ValuesIn(kCases),
                         [](const auto& tp) { return std::string(tp.param.name); });

// Runs of equal time stamps that span leaves of four: inside a region, just
// before a region stop, exactly at a stop (outside every region) and exactly at a
// region start. Windows of every small size start, end and resume inside them.
TEST(AsyncIndexRuns, EqualTimeStampsAcrossLeavesAreDeliveredOnceInOrder) {
  std::vector<int64_t> positions = {50, 150, 300, 550, 700, 1200};
  positions.insert(positions.end(), 11, 200);
  positions.insert(positions.end(), 6, 499);
  positions.insert(positions.end(), 9, 500);
  positions.insert(positions.end(), 7, 600);
  positions.insert(positions.end(), 5, 999);
  positions.insert(positions.end(), 3, 1000);
  const std::vector<RecordedRegion> regions = {{1, 0, 5, 0}, {6, 0, 10, 0}};  // [0.1, 0.5), [0.6, 1.0)
  for (const bool finalized : {true, false}) {
    SCOPED_TRACE(finalized ? "finalized" : "unfinished");
    IndexChannel channel;
    channel.index = "Math;1";
    channel.times = Seconds(positions);
    const BuiltRecording built = BuildIndexRecording(regions, finalized, {channel});
    OpenedRecording opened(built.recording);
    const CKVChannel& ch = opened.Channel("Math;1");
    ASSERT_EQ(opened.engine().GetAsyncSamplesCount(&ch, 0, 0), 1 + 11 + 1 + 6);
    ASSERT_EQ(opened.engine().GetAsyncSamplesCount(&ch, 1, 1), 7 + 1 + 5);
    AsyncTest::CheckChannel(opened.engine(), ch, built.models[0], built.spans);
    for (int size = 1; size <= 5; ++size) {
      for (const auto& [first, last] : {std::pair{0, 1}, std::pair{1, 1}, std::pair{0, 0}}) {
        for (int64_t from = 0; from < 40; from += size) {
          AsyncTest::CheckWindow(opened.engine(), ch, built.models[0], built.spans, {from, size, first, last});
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

// Regions of 10, 0 and 5 samples: sample 12 is the third of the third region,
// whatever the storing mode, and samples between regions are never numbered.
TEST(AsyncIndexNumbering, SamplesAreNumberedOverTheRegionsOnly) {
  std::vector<int64_t> positions = {250, 450, 700, 800};  // between and behind the regions
  for (int64_t p = 10; p <= 100; p += 10) positions.push_back(p);
  for (int64_t p = 510; p <= 550; p += 10) positions.push_back(p);
  const std::vector<RecordedRegion> regions = {{0, 0, 2, 0}, {3, 0, 4, 0}, {5, 0, 6, 0}};
  for (const int mode : {-1, 0, 2, 3}) {
    SCOPED_TRACE("DataStoreMode " + std::to_string(mode));
    IndexChannel channel;
    channel.index = "Math;1";
    channel.times = Seconds(positions);
    const BuiltRecording built = BuildIndexRecording(regions, true, {channel}, mode);
    OpenedRecording opened(built.recording);
    const CKVChannel& ch = opened.Channel("Math;1");
    EXPECT_EQ(opened.engine().GetSamplesCount(&ch), 15);
    double time = -1;
    double value = 0;
    opened.engine().GetSamples(&ch, 12, 1, &value, &time, ScaleType::Scaled);
    EXPECT_EQ(time, 0.53);
    for (int64_t first : {0, 9, 10, 14}) {
      AsyncTest::CheckWindow(opened.engine(), ch, built.models[0], built.spans, {first, 3, 0, 2});
    }
  }
}

// Two channels read in alternating windows each keep their own place.
TEST(AsyncIndexCache, InterleavedChannelsKeepTheirOwnWindows) {
  IndexChannel a;
  a.index = "Math;1";
  a.times = EdgeTimes();
  IndexChannel b;
  b.index = "Math;2";
  b.dataType = kTypeInt16;
  b.leafCapacity = 6;
  std::vector<int64_t> positions;
  for (int64_t p = 3; p < 2400; p += 11) positions.push_back(p);
  b.times = Seconds(positions);
  IndexChannel c = b;  // the same samples in streams of its own
  c.index = "Math;3";
  c.offline = true;
  const BuiltRecording built = BuildIndexRecording(kRegions, true, {a, b, c});
  OpenedRecording opened(built.recording);
  const CKVChannel* channels[] = {&opened.Channel("Math;1"), &opened.Channel("Math;2"), &opened.Channel("Math;3")};
  for (int64_t first = 0; first < 200; first += 13) {
    for (size_t k = 0; k < 3; ++k) {
      SCOPED_TRACE(channels[k]->KVIndex);
      AsyncTest::CheckWindow(opened.engine(), *channels[k], built.models[k], built.spans, {first, 13, 0, 2});
    }
  }
}

// A CAN port channel gives 0.0 scaled and its stored record raw; the signals of a
// message are decoded out of the message's samples.
TEST(AsyncIndexCAN, PortChannelsAndDecodedSignals) {
  auto port = [](TestKit::SetupBuilder& setup) -> TestKit::XmlNode& {
    setup.Store("CAN;1");
    return setup.CANPort(false).AddCopy(
        TestKit::ChannelDefinition("PortChannel", "CAN;1", "Port raw").Set("DataType", kTypeCANRecordLong));
  };
  IndexChannel raw;
  raw.dataType = kTypeCANRecordLong;
  raw.times = EdgeTimes();
  raw.define = port;
  IndexChannel msg;
  msg.dataType = kTypeCAN8;
  msg.times = EdgeTimes();
  msg.times.resize(200);
  msg.leafCapacity = 6;
  msg.define = AsyncTest::DefineCANMessage;
  for (IndexChannel* ch : {&raw, &msg}) {
    for (size_t i = 0; i < ch->times.size(); ++i) {
      const std::vector<uint8_t> v = AsyncTest::EncodeValue(ch->dataType, static_cast<int64_t>(i), 0);
      ch->values.insert(ch->values.end(), v.begin(), v.end());
    }
  }
  BuiltRecording built = BuildIndexRecording(kRegions, true, {raw, msg});
  built.models[0].scaled = [](const uint8_t*) { return std::vector<double>{0.0}; };
  OpenedRecording opened(built.recording);
  AsyncTest::CheckChannel(opened.engine(), opened.Channel("CAN;1"), built.models[0], built.spans);

  AsyncTest::CheckCANSignals(opened, built.models[1], built.spans);
}

// A binary channel's samples locate payloads in its BinStream: records (form 6),
// one payload (form 4) and packed payloads (form 5), with capacity checks.
TEST(AsyncIndexBinary, PayloadsThroughTheirLocators) {
  std::vector<uint8_t> payloads(5, 0xEE);  // a lead nobody locates
  IndexChannel channel;
  channel.times = EdgeTimes();
  std::vector<std::pair<int64_t, int64_t>> located;
  for (size_t i = 0; i < channel.times.size(); ++i) {
    const auto size = static_cast<int64_t>(i % 7 == 3 ? 0 : 1 + (i * 5) % 23);
    located.emplace_back(static_cast<int64_t>(payloads.size()), size);
    for (int64_t b = 0; b < size; ++b) payloads.push_back(static_cast<uint8_t>(i * 13 + static_cast<size_t>(b)));
    const auto record = TestKit::ByteWriter().I64(located.back().first).I64(size).Take();
    channel.values.insert(channel.values.end(), record.begin(), record.end());
  }
  channel.define = [](TestKit::SetupBuilder& setup) -> TestKit::XmlNode& {
    return setup.AddChannel("Math;7", "blobs", kTypeBinary).Set("Async", true);
  };
  channel.binStream = "BLOBS";
  BuiltRecording built = BuildIndexRecording(kRegions, true, {channel});
  built.recording.Add("BLOBS", payloads);
  OpenedRecording opened(built.recording);
  CDataLoadEngine& engine = opened.engine();
  const CKVChannel& ch = opened.Channel("Math;7");
  const std::vector<size_t> expected = AsyncTest::Expected(built.models[0], built.spans, 0, 2);
  ASSERT_EQ(engine.GetAsyncSamplesCount(&ch, 0, 2), static_cast<int64_t>(expected.size()));

  for (int64_t first : {int64_t{0}, int64_t{55}, static_cast<int64_t>(expected.size()) - 3}) {
    SCOPED_TRACE("first " + std::to_string(first));
    // Records: the locators as stored.
    std::vector<int64_t> records(2 * 8, -5);
    std::vector<double> times(8, -1);
    engine.GetAsyncSamples(&ch, first, 6, records.data(), times.data(), 0, 2, false, nullptr, ScaleType::BinaryRecords);
    const int64_t n = std::min<int64_t>(6, static_cast<int64_t>(expected.size()) - first);
    int packedBytes = 0;
    for (int64_t k = 0; k < n; ++k) {
      const auto& [position, size] = located[expected[static_cast<size_t>(first + k)]];
      EXPECT_EQ(records[static_cast<size_t>(2 * k)], position);
      EXPECT_EQ(records[static_cast<size_t>(2 * k + 1)], size);
      EXPECT_EQ(times[static_cast<size_t>(k)], built.models[0].times[expected[static_cast<size_t>(first + k)]]);
      packedBytes += 4 + static_cast<int>(size);
    }
    EXPECT_EQ(records[static_cast<size_t>(2 * n)], -5);

    // One payload: copied when it fits the capacity, which then holds its size.
    const auto& [position, size] = located[expected[static_cast<size_t>(first)]];
    std::vector<uint8_t> one(40, 0xAA);
    int capacity = static_cast<int>(size);
    engine.GetAsyncSamples(&ch, first, 1, one.data(), nullptr, 0, 2, false, nullptr, ScaleType::BinaryData, &capacity);
    EXPECT_EQ(capacity, size);
    EXPECT_TRUE(std::equal(one.begin(), one.begin() + size, payloads.begin() + position));
    EXPECT_EQ(one[static_cast<size_t>(size)], 0xAA);
    if (size > 0) {
      capacity = static_cast<int>(size) - 1;
      EXPECT_THROW(engine.GetAsyncSamples(&ch, first, 1, one.data(), nullptr, 0, 2, false, nullptr,
                                          ScaleType::BinaryData, &capacity),
                   NoMemoryAllocException);
    }

    // Packed: each payload behind its 32-bit length, exactly filling the capacity.
    std::vector<uint8_t> packed(static_cast<size_t>(packedBytes) + 4, 0xAA);
    capacity = packedBytes;
    engine.GetAsyncSamples(&ch, first, 6, packed.data(), nullptr, 0, 2, false, nullptr, ScaleType::BinaryPacked,
                           &capacity);
    EXPECT_EQ(capacity, packedBytes);
    TestKit::ByteWriter want;
    for (int64_t k = 0; k < n; ++k) {
      const auto& [at, bytes] = located[expected[static_cast<size_t>(first + k)]];
      want.I32(static_cast<int32_t>(bytes)).Bytes(payloads.data() + at, static_cast<size_t>(bytes));
    }
    EXPECT_TRUE(std::equal(want.bytes().begin(), want.bytes().end(), packed.begin()));
    EXPECT_EQ(packed[static_cast<size_t>(packedBytes)], 0xAA);
    capacity = packedBytes - 1;
    EXPECT_THROW(engine.GetAsyncSamples(&ch, first, 6, packed.data(), nullptr, 0, 2, false, nullptr,
                                        ScaleType::BinaryPacked, &capacity),
                 NoMemoryAllocException);
  }
}

// Character output, the 16-byte record form on a numeric channel, the dispatcher,
// and windows that are empty, negative or far larger than the channel.
TEST(AsyncIndexForms, OtherFormsAndWindowLimits) {
  IndexChannel channel;
  channel.index = "Math;1";
  channel.dataType = kTypeInt16;
  channel.times = EdgeTimes();
  const BuiltRecording built = BuildIndexRecording(kRegions, true, {channel});
  OpenedRecording opened(built.recording);
  CDataLoadEngine& engine = opened.engine();
  const CKVChannel& ch = opened.Channel("Math;1");
  const AsyncTest::Model& model = built.models[0];
  const std::vector<size_t> expected = AsyncTest::Expected(model, built.spans, 0, 2);
  const auto total = static_cast<int64_t>(expected.size());
  auto stored = [&](int64_t k) {
    int16_t v;
    std::memcpy(&v, model.values.data() + expected[static_cast<size_t>(k)] * 2, 2);
    return v;
  };

  std::vector<char> chars(12, 'x');
  engine.GetAsyncSamples(&ch, 40, 10, nullptr, nullptr, 0, 2, true, chars.data(), ScaleType::Text);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(chars[static_cast<size_t>(k)], static_cast<char>(stored(40 + k))) << k;
  EXPECT_EQ(chars[10], 'x');

  std::vector<uint8_t> records(16 * 5, 0xAA);
  engine.GetAsyncSamples(&ch, 7, 4, records.data(), nullptr, 0, 2, false, nullptr, ScaleType::BinaryRecords);
  for (int k = 0; k < 4; ++k) {
    int16_t v;
    std::memcpy(&v, records.data() + 16 * k, 2);
    EXPECT_EQ(v, stored(7 + k));
    EXPECT_TRUE(std::all_of(records.begin() + 16 * k + 2, records.begin() + 16 * (k + 1), [](uint8_t b) { return b == 0; }));
  }
  EXPECT_EQ(records[64], 0xAA);

  std::vector<double> values(total + 1, -7);
  std::vector<double> times(total + 1, -1);
  engine.GetSamples(&ch, 0, static_cast<int>(total), values.data(), times.data(), 0, 2, ScaleType::Scaled);
  EXPECT_EQ(values[0], AsyncTest::kScale * stored(0) + 1);
  EXPECT_EQ(times[static_cast<size_t>(total - 1)], model.times[expected.back()]);

  // The largest count delivers what exists and nothing behind it.
  for (int64_t first : {int64_t{0}, total - 2, total}) {
    std::fill(values.begin(), values.end(), -7);
    std::fill(times.begin(), times.end(), -1);
    engine.GetAsyncSamples(&ch, first, INT_MAX, values.data(), times.data(), 0, 2, false, nullptr, ScaleType::Scaled);
    for (int64_t k = 0; k < total - first; ++k) {
      ASSERT_EQ(times[static_cast<size_t>(k)], model.times[expected[static_cast<size_t>(first + k)]]) << k;
      ASSERT_EQ(values[static_cast<size_t>(k)], AsyncTest::kScale * stored(first + k) + 1) << k;
    }
    EXPECT_EQ(times[static_cast<size_t>(total - first)], -1);
    EXPECT_EQ(values[static_cast<size_t>(total - first)], -7);
  }

  std::fill(values.begin(), values.end(), -7);
  engine.GetAsyncSamples(&ch, 3, 0, values.data(), times.data(), 0, 2, false, nullptr, ScaleType::Scaled);
  engine.GetAsyncSamples(&ch, 3, -4, values.data(), times.data(), 0, 2, false, nullptr, ScaleType::Scaled);
  engine.GetAsyncSamples(&ch, 3, 5, values.data(), times.data(), 2, 1, false, nullptr, ScaleType::Scaled);
  EXPECT_EQ(values[0], -7);
  EXPECT_THROW(engine.GetAsyncSamples(&ch, -1, 5, values.data(), nullptr, 0, 2, false, nullptr, ScaleType::Scaled),
               InvalidIndexException);
}

}  // namespace
}  // namespace Korvane::DataReader
