// Asynchronous samples read through the timestamp index: every channel of a table
// of recordings (finalized and unfinished trees, the shared manager and managers
// of a channel's own node stream, data types, arrays, leaf sizes) is read in the
// standard sequence of windows; then runs of equal time stamps across leaves and
// at region edges, the numbering over regions, interleaved channels, CAN port
// channels and decoded signals, binary payloads and oversized windows.
#include <gtest/gtest.h>

#include <tuple>

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
    {"DoubleAllInOneLeaf", kTypeDouble, 1, 1000, false, true, 1},
};

class AsyncIndexSamples : public ::testing::TestWithParam<IndexCase> {};

TEST_P(AsyncIndexSamples, WindowsDeliverTheSamplesOfTheirRegions) {
  const IndexCase& c = GetParam();
  const IndexChannel channel{"Math;1", c.dataType, c.arraySize, EdgeTimes(), c.leafCapacity, c.offline, c.offset};
  const BuiltRecording built = BuildIndexRecording(kRegions, c.finalized, {channel});
  OpenedRecording opened(built.recording);
  AsyncTest::CheckChannel(opened.engine(), opened.Channel("Math;1"), built.models[0], built.spans);
  if (c.dataType != kTypeComplexFloat) return;
  // The raw form of a complex channel: the stored halves as an unscaled KVComplex.
  AsyncTest::Model unscaled = built.models[0];
  unscaled.rawForm = ScaleType::Raw;
  unscaled.scaled = nullptr;
  unscaled.valueBytes = 16;
  unscaled.values.clear();
  for (size_t i = 0; i < built.models[0].times.size(); ++i) {
    TestKit::ByteWriter parts;
    for (double x : AsyncTest::DecodeValue(kTypeComplexFloat, built.models[0].values.data() + 8 * i)) parts.F64(x);
    unscaled.values.insert(unscaled.values.end(), parts.bytes().begin(), parts.bytes().end());
  }
  for (const AsyncTest::Window& w : {AsyncTest::Window{0, 1000, 0, 2}, {50, 20, 1, 2}}) {
    AsyncTest::CheckWindow(opened.engine(), opened.Channel("Math;1"), unscaled, built.spans, w);
  }
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
    const BuiltRecording built = BuildIndexRecording(regions, finalized, {{"Math;1", kTypeDouble, 1, Seconds(positions)}});
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
    const BuiltRecording built = BuildIndexRecording(regions, true, {{"Math;1", kTypeDouble, 1, Seconds(positions)}}, mode);
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
  std::vector<int64_t> positions;
  for (int64_t p = 3; p < 2400; p += 11) positions.push_back(p);
  const IndexChannel b{"Math;2", kTypeInt16, 1, Seconds(positions), 6};
  IndexChannel c = b;  // the same samples in streams of its own
  c.index = "Math;3";
  c.offline = true;
  const BuiltRecording built = BuildIndexRecording(kRegions, true, {{"Math;1", kTypeDouble, 1, EdgeTimes()}, b, c});
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
  BuiltRecording built = BuildIndexRecording(
      kRegions, true,
      {{"", kTypeCANRecordLong, 1, EdgeTimes(), 4, false, 0, {}, "", port},
       {"", kTypeCAN8, 1, EdgeTimes(), 6, false, 0, {}, "", AsyncTest::DefineCANMessage}});
  built.models[0].scaled = [](const uint8_t*) { return std::vector<double>{0.0}; };
  OpenedRecording opened(built.recording);
  AsyncTest::CheckChannel(opened.engine(), opened.Channel("CAN;1"), built.models[0], built.spans);

  for (const char* index : {"CAN;0;100;3", "CAN;0;100;4"}) {
    SCOPED_TRACE(index);
    AsyncTest::CheckChannel(opened.engine(), opened.Channel(index), AsyncTest::SignalModel(built.models[1], index[10] == '3'),
                            built.spans);
  }
}

// A binary channel's samples locate payloads in its BinStream: the locators as
// records (form 6) in every window, one payload (form 4) and packed payloads
// (form 5), each also with a capacity one byte short.
TEST(AsyncIndexBinary, PayloadsThroughTheirLocators) {
  std::vector<uint8_t> payloads(5, 0xEE);  // a lead nobody locates
  IndexChannel channel{"", kTypeBinary, 1, EdgeTimes(), 4, false, 0, {}, "BLOBS"};
  channel.define = [](TestKit::SetupBuilder& setup) -> TestKit::XmlNode& {
    return setup.AddChannel("Math;7", "blobs", kTypeBinary).Set("Async", true);
  };
  std::vector<std::pair<int64_t, int64_t>> located;
  for (size_t i = 0; i < channel.times.size(); ++i) {
    const auto size = static_cast<int64_t>(i % 7 == 3 ? 0 : 1 + (i * 5) % 23);
    located.emplace_back(static_cast<int64_t>(payloads.size()), size);
    for (int64_t b = 0; b < size; ++b) payloads.push_back(static_cast<uint8_t>(i * 13 + static_cast<size_t>(b)));
    TestKit::ByteWriter record;
    record.I64(located.back().first).I64(size);
    channel.values.insert(channel.values.end(), record.bytes().begin(), record.bytes().end());
  }
  BuiltRecording built = BuildIndexRecording(kRegions, true, {channel});
  built.recording.Add("BLOBS", payloads);
  built.models[0].rawForm = ScaleType::BinaryRecords;
  OpenedRecording opened(built.recording);
  CDataLoadEngine& engine = opened.engine();
  const CKVChannel& ch = opened.Channel("Math;7");
  AsyncTest::CheckChannel(engine, ch, built.models[0], built.spans);

  const std::vector<size_t> expected = AsyncTest::Expected(built.models[0], built.spans, 0, 2);
  for (const size_t first : {size_t{0}, size_t{55}, expected.size() - 3}) {
    SCOPED_TRACE("first " + std::to_string(first));
    const auto& [position, size] = located[expected[first]];
    std::vector<uint8_t> one(40, 0xAA);
    int capacity = static_cast<int>(size);
    engine.GetAsyncSamples(&ch, static_cast<int64_t>(first), 1, one.data(), nullptr, 0, 2, false, nullptr,
                           ScaleType::BinaryData, &capacity);
    EXPECT_EQ(capacity, size);
    EXPECT_TRUE(std::equal(one.begin(), one.begin() + size, payloads.begin() + position));
    EXPECT_EQ(one[static_cast<size_t>(size)], 0xAA);
    capacity = static_cast<int>(size) - 1;
    if (size > 0) {
      EXPECT_THROW(engine.GetAsyncSamples(&ch, static_cast<int64_t>(first), 1, one.data(), nullptr, 0, 2, false,
                                          nullptr, ScaleType::BinaryData, &capacity),
                   NoMemoryAllocException);
    }

    TestKit::ByteWriter want;
    for (size_t k = first; k < std::min(first + 6, expected.size()); ++k) {
      const auto& [at, bytes] = located[expected[k]];
      want.I32(static_cast<int32_t>(bytes)).Bytes(payloads.data() + at, static_cast<size_t>(bytes));
    }
    std::vector<uint8_t> packed(want.size() + 4, 0xAA);
    capacity = static_cast<int>(want.size());
    engine.GetAsyncSamples(&ch, static_cast<int64_t>(first), 6, packed.data(), nullptr, 0, 2, false, nullptr,
                           ScaleType::BinaryPacked, &capacity);
    EXPECT_EQ(capacity, static_cast<int>(want.size()));
    EXPECT_TRUE(std::equal(want.bytes().begin(), want.bytes().end(), packed.begin()));
    EXPECT_EQ(packed[want.size()], 0xAA);
    capacity = static_cast<int>(want.size()) - 1;
    EXPECT_THROW(engine.GetAsyncSamples(&ch, static_cast<int64_t>(first), 6, packed.data(), nullptr, 0, 2, false,
                                        nullptr, ScaleType::BinaryPacked, &capacity),
                 NoMemoryAllocException);
  }
}

// Character output, the 16-byte record form on a numeric channel (its stored
// bytes, then zeros), windows of the largest count, and windows that are empty,
// over no region or from a negative number.
TEST(AsyncIndexForms, OtherFormsAndWindowLimits) {
  const BuiltRecording built =
      BuildIndexRecording(kRegions, true, {{"Math;1", kTypeInt16, 1, EdgeTimes()}});
  OpenedRecording opened(built.recording);
  CDataLoadEngine& engine = opened.engine();
  const CKVChannel& ch = opened.Channel("Math;1");
  const AsyncTest::Model& model = built.models[0];
  const std::vector<size_t> expected = AsyncTest::Expected(model, built.spans, 0, 2);
  const auto total = static_cast<int64_t>(expected.size());

  std::vector<char> chars(12, 'x');
  engine.GetAsyncSamples(&ch, 40, 10, nullptr, nullptr, 0, 2, true, chars.data(), ScaleType::Text);
  for (size_t k = 0; k < 10; ++k) {
    const double stored = AsyncTest::DecodeValue(kTypeInt16, model.values.data() + 2 * expected[40 + k])[0];
    EXPECT_EQ(chars[k], static_cast<char>(stored)) << k;
  }
  EXPECT_EQ(chars[10], 'x');

  AsyncTest::Model records = model;
  records.rawForm = ScaleType::BinaryRecords;
  records.valueBytes = 16;
  records.values.clear();
  for (size_t i = 0; i < model.times.size(); ++i) {
    records.values.insert(records.values.end(), model.values.begin() + 2 * i, model.values.begin() + 2 * i + 2);
    records.values.resize(records.values.size() + 14, 0);
  }
  for (const AsyncTest::Window& w : {AsyncTest::Window{7, 4, 0, 2}, {total - 3, 10, 0, 2}, {0, 50, 1, 1}}) {
    AsyncTest::CheckWindow(engine, ch, records, built.spans, w);
  }
  for (int64_t first : {int64_t{0}, total - 2, total}) {
    AsyncTest::CheckWindow(engine, ch, model, built.spans, {first, INT_MAX, 0, 2});
  }

  std::vector<double> values(4, -7);
  for (const auto& [count, firstRegion, lastRegion] : {std::tuple{0, 0, 2}, {-4, 0, 2}, {5, 2, 1}}) {
    engine.GetAsyncSamples(&ch, 3, count, values.data(), nullptr, firstRegion, lastRegion, false, nullptr,
                           ScaleType::Scaled);
  }
  EXPECT_EQ(values, std::vector<double>(4, -7));
  EXPECT_THROW(engine.GetAsyncSamples(&ch, -1, 5, values.data(), nullptr, 0, 2, false, nullptr, ScaleType::Scaled),
               InvalidIndexException);
}

// An index whose value stream ends inside the leaves' data is a corrupt file.
TEST(AsyncIndexDamage, ValueStreamCutShortIsCorrupt) {
  for (const bool finalized : {true, false}) {
    SCOPED_TRACE(finalized ? "finalized" : "unfinished");
    BuiltRecording built = BuildIndexRecording(kRegions, finalized, {{"Math;1", kTypeDouble, 1, EdgeTimes()}});
    for (auto& [code, bytes] : built.recording.streams) {
      if (code == "DBASDATX") bytes.resize(bytes.size() / 2);
    }
    OpenedRecording opened(built.recording);
    std::vector<double> values(1000);
    EXPECT_THROW(opened.engine().GetAsyncSamples(&opened.Channel("Math;1"), 0, 1000, values.data(), nullptr, 0, 2,
                                                 false, nullptr, ScaleType::Scaled),
                 FileCorruptException);
  }
}

}  // namespace
}  // namespace Korvane::DataReader
