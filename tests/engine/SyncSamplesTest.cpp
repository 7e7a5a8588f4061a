// Synchronous samples read through the engine from recordings the test kit writes:
// every numeric data type, dividers and in-block start offsets, windows across
// regions, channels in their own streams, arrays, digital-input bits, the output
// forms, and damaged layouts. The expected values come from the kit's own sample
// arrays (sample j of a channel belongs to full-rate position j x SRDiv).
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "CountingContainer.h"
#include "EngineTestSupport.h"
#include "common/DataReaderLibException.h"
#include "setup/ChannelCodes.h"
#include "testkit/ByteWriter.h"
#include "testkit/MeasurementDataWriter.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::OpenedRecording;
using TestKit::RecordedRegion;

constexpr double kRate = 1000;
constexpr int kOwnStreamLead = 24;

struct SyncCase {
  const char* name;
  int dataType;
  int blockSize;
  int srDiv;
  std::vector<RecordedRegion> regions;
  int64_t first;
  int count;
  bool ownStream = false;
  int arraySize = 1;
};

// The stored bytes of value v in a data type (complex: v and -v).
std::vector<uint8_t> Encode(int dataType, int64_t v) {
  TestKit::ByteWriter out;
  switch (dataType) {
    case kTypeUInt8: out.U8(static_cast<uint8_t>(v & 0xFF)); break;
    case kTypeInt8: out.U8(static_cast<uint8_t>(static_cast<int8_t>(v % 100))); break;
    case kTypeInt16: out.I16(static_cast<int16_t>(v - 3000)); break;
    case kTypeUInt16: out.U16(static_cast<uint16_t>(v + 40000)); break;
    case kTypeInt32: out.U32(static_cast<uint32_t>(static_cast<int32_t>(-v * 1000))); break;
    case kTypeFloat: out.F32(static_cast<float>(v) * 0.25f); break;
    case kTypeInt64: out.U32(static_cast<uint32_t>(v)).U32(0x80000000u); break;
    case kTypeDouble: out.F64(static_cast<double>(v) / 3); break;
    case kTypeUInt32: out.U32(static_cast<uint32_t>(v) * 70000u); break;
    case kTypeComplexFloat: out.F32(static_cast<float>(v)).F32(static_cast<float>(-v)); break;
    case kTypeComplexDouble: out.F64(static_cast<double>(v)).F64(static_cast<double>(-v)); break;
    default: break;
  }
  return out.Take();
}

// A recording of one channel "AI;0" with every value distinct, and what it holds.
struct SyncRecording {
  TestKit::Recording recording;
  std::vector<uint8_t> samples;  // the kit's array: one stored sample per SRDiv positions
  int sampleBytes = 0;           // bytes of one stored sample (all array values)
};

SyncRecording MakeRecording(const SyncCase& c) {
  TestKit::DataLayout layout;
  layout.blockSize = c.blockSize;
  layout.regions = c.regions;
  const int valueBytes = DataTypeSizeArr[static_cast<size_t>(c.dataType)];
  SyncRecording made;
  made.sampleBytes = valueBytes * c.arraySize;
  int64_t positions = 0;
  for (const RecordedRegion& r : c.regions) positions = std::max<int64_t>(positions, (r.stopBlock + 1) * c.blockSize);
  for (int64_t j = 0; j < positions / c.srDiv * c.arraySize; ++j) {
    const std::vector<uint8_t> value = Encode(c.dataType, j + 1);
    made.samples.insert(made.samples.end(), value.begin(), value.end());
  }
  const int blockBytes = c.blockSize / c.srDiv * made.sampleBytes + 16;

  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", kRate).Property("BlockSize", c.blockSize).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(blockBytes, std::vector<int>(6, 32));
  TestKit::XmlNode& channel = setup.AddChannel("AI;0", "Signal", c.dataType).Set("SRDiv", c.srDiv);
  if (c.arraySize > 1) channel.With(TestKit::ArrayInfoElement({{"Bin", "", c.arraySize}}));
  const TestKit::SyncChannelSamples stored{16, made.sampleBytes, c.srDiv, made.samples};
  if (c.ownStream) {
    TestKit::OfflineRecord own;
    own.dbStreamName = "OWNDATA";
    own.posInDBStream = kOwnStreamLead;
    channel.With(TestKit::OfflineInfoRecord(own));
    made.recording.Add("OWNDATA", TestKit::BuildOwnDataStream(layout, stored, kOwnStreamLead));
  } else {
    channel.With(TestKit::OnlineInfoRecord(16, std::vector<int>(6, 0)));
    made.recording.Add("DBDATA", TestKit::BuildDataBlocks(layout, blockBytes, {stored}));
  }
  const TestKit::ReducedLevelStream level0 =
      TestKit::BuildReducedLevel(layout, 0, 32, {{{}, true, std::vector<double>(static_cast<size_t>(positions))}});
  made.recording.Add("IBDATA0", level0.bytes);
  made.recording.setupText = setup.Text();
  made.recording.events = TestKit::RegionEventStream(layout, TestKit::RegionLevelOffsets({level0}, c.regions.size()));
  return made;
}

// Full-rate positions of every sample of the channel, region after region.
std::vector<int64_t> SamplePositions(const SyncCase& c) {
  std::vector<int64_t> positions;
  for (const RecordedRegion& r : c.regions) {
    const int64_t start = static_cast<int64_t>(r.startBlock) * c.blockSize + r.startOffset;
    const int64_t stop = static_cast<int64_t>(r.stopBlock) * c.blockSize + r.stopOffset;
    for (int64_t p = (start + c.srDiv - 1) / c.srDiv * c.srDiv; p < stop; p += c.srDiv) positions.push_back(p);
  }
  return positions;
}

const SyncCase kCases[] = {
    {"uint8", kTypeUInt8, 100, 1, {{0, 0, 10, 0}, {15, 0, 20, 0}}, 950, 100},
    {"int8", kTypeInt8, 100, 1, {{2, 0, 6, 0}}, 0, 400},
    {"int16_divider3", kTypeInt16, 120, 3, {{0, 10, 5, 0}, {8, 7, 12, 0}}, 150, 120},
    {"uint16", kTypeUInt16, 100, 2, {{1, 5, 4, 0}, {6, 0, 9, 0}}, 100, 200},
    {"int32_stop_inside_block", kTypeInt32, 100, 1, {{0, 0, 3, 40}, {5, 0, 7, 0}}, 300, 100},
    {"float_divider10", kTypeFloat, 100, 10, {{0, 5, 4, 0}, {6, 55, 9, 0}}, 30, 40},
    {"int64", kTypeInt64, 100, 1, {{0, 0, 2, 0}}, 0, 200},
    {"double_window_past_end", kTypeDouble, 100, 1, {{0, 0, 2, 0}, {4, 0, 5, 0}}, 250, 500},
    {"uint32", kTypeUInt32, 100, 4, {{3, 2, 6, 0}}, 10, 40},
    {"complex_float", kTypeComplexFloat, 100, 1, {{0, 0, 2, 0}}, 50, 100},
    {"complex_double", kTypeComplexDouble, 100, 2, {{0, 0, 2, 0}, {3, 0, 4, 0}}, 80, 60},
    {"own_stream_two_regions", kTypeDouble, 100, 1, {{0, 0, 10, 0}, {12, 0, 22, 0}}, 0, 1500, true},
    {"own_stream_divider3", kTypeInt16, 120, 3, {{0, 10, 5, 0}, {8, 7, 12, 0}}, 100, 150, true},
    {"array_divider2", kTypeDouble, 100, 2, {{0, 30, 3, 0}, {5, 0, 6, 0}}, 120, 70, false, 4},
    {"own_stream_array", kTypeFloat, 100, 1, {{0, 0, 2, 0}, {3, 0, 4, 0}}, 150, 100, true, 3},
};

class SyncSamples : public ::testing::TestWithParam<SyncCase> {};

// RawEx output gives the stored bytes, scaled output the channel's scaling of them,
// and time stamps the positions in seconds; nothing behind the samples that exist.
TEST_P(SyncSamples, DeliverTheStoredSamplesOfTheWindow) {
  const SyncCase& c = GetParam();
  SyncRecording made = MakeRecording(c);
  OpenedRecording opened(made.recording);
  const CKVChannel& channel = opened.Channel("AI;0");
  const std::vector<int64_t> positions = SamplePositions(c);
  ASSERT_EQ(opened.engine().GetSamplesCount(&channel), static_cast<int64_t>(positions.size()));

  const int64_t delivered = std::clamp<int64_t>(static_cast<int64_t>(positions.size()) - c.first, 0, c.count);
  const size_t count = static_cast<size_t>(c.count);
  std::vector<uint8_t> raw(count * static_cast<size_t>(made.sampleBytes) + 8, 0xAA);
  std::vector<double> times(count + 1, -1);
  opened.engine().GetSamples(&channel, c.first, c.count, raw.data(), times.data(), ScaleType::RawEx);
  const bool complex = channel.IsComplex();
  const size_t valuesPerSample = static_cast<size_t>(c.arraySize) * (complex ? 2 : 1);
  std::vector<double> scaled(count * valuesPerSample + 1, -7);
  opened.engine().GetSamples(&channel, c.first, c.count, scaled.data(), nullptr, ScaleType::Scaled);

  const size_t bytes = static_cast<size_t>(made.sampleBytes);
  for (int64_t i = 0; i < delivered; ++i) {
    const int64_t position = positions[static_cast<size_t>(c.first + i)];
    const uint8_t* expected = made.samples.data() + position / c.srDiv * made.sampleBytes;
    ASSERT_EQ(std::memcmp(raw.data() + i * made.sampleBytes, expected, bytes), 0) << c.name << " sample " << i;
    ASSERT_DOUBLE_EQ(times[static_cast<size_t>(i)], static_cast<double>(position) / kRate) << c.name << " " << i;
    const int valueBytes = made.sampleBytes / c.arraySize / (complex ? 2 : 1);
    for (size_t v = 0; v < valuesPerSample; ++v) {
      const double want = channel.GetScaledValue(channel.GetValueToDouble(expected + v * valueBytes));
      ASSERT_EQ(scaled[static_cast<size_t>(i) * valuesPerSample + v], want) << c.name << " sample " << i;
    }
  }
  // Nothing is written behind the last delivered sample.
  EXPECT_EQ(raw[static_cast<size_t>(delivered) * bytes], 0xAA) << c.name;
  EXPECT_EQ(times[static_cast<size_t>(delivered)], -1) << c.name;
  EXPECT_EQ(scaled[static_cast<size_t>(delivered) * valuesPerSample], -7) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Engine, SyncSamples, ::testing::ValuesIn(kCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(SyncSampleForms, CharacterOutputAndWindowsAtTheEnd) {
  const SyncCase c{"int16", kTypeInt16, 100, 1, {{0, 0, 3, 0}}, 0, 300};
  SyncRecording made = MakeRecording(c);
  OpenedRecording opened(made.recording);
  const CKVChannel& channel = opened.Channel("AI;0");
  std::vector<char> chars(10, 'x');
  opened.engine().GetSyncSamples(&channel, 20, 4, nullptr, nullptr, 0, 0, true, chars.data(), ScaleType::Text);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(chars[static_cast<size_t>(i)], static_cast<char>(20 + i + 1 - 3000)) << i;
  EXPECT_EQ(chars[4], 'x');

  // A first sample equal to the total count writes nothing, and so does count 0.
  std::vector<double> values(4, -7);
  opened.engine().GetSamples(&channel, 300, 4, values.data(), values.data(), ScaleType::Scaled);
  opened.engine().GetSamples(&channel, 0, 0, values.data(), values.data(), ScaleType::Scaled);
  EXPECT_EQ(values, std::vector<double>(4, -7));
  EXPECT_THROW(opened.engine().GetSamples(&channel, -1, 4, values.data(), nullptr, ScaleType::Scaled),
               InvalidIndexException);
}

TEST(SyncSampleForms, DigitalInputBitsComeFromTheirPortSample) {
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 2, 0}};
  std::vector<uint8_t> port;
  for (int j = 0; j < 300; ++j) port.push_back(static_cast<uint8_t>(j));
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", kRate).Property("BlockSize", 100).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(100, std::vector<int>(6, 32));
  setup.Store("DI;2");
  setup.Store("DI;2;3");
  setup.DIPort("2", 8, "Port").Set("SRDiv", 2).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
  setup.Devices().Add("Device").Attr("Type", "DI").AddCopy(
      TestKit::ChannelDefinition("OutputChannel", "DI;2;3", "Bit 3").Set("BitNo", 3));
  const TestKit::ReducedLevelStream level0 =
      TestKit::BuildReducedLevel(layout, 0, 32, {{{}, true, std::vector<double>(300)}});
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, TestKit::RegionLevelOffsets({level0}, 1));
  recording.Add("DBDATA", TestKit::BuildDataBlocks(layout, 100, {{0, 1, 2, port}})).Add("IBDATA0", level0.bytes);
  OpenedRecording opened(recording);
  const CKVChannel& bit = opened.Channel("DI;2;3");
  ASSERT_TRUE(bit.DecodedFromParent);
  // The bit has its port's samples: the port's divider counts.
  EXPECT_EQ(opened.engine().GetSamplesCount(&bit), 100);
  std::vector<double> scaled(40);
  opened.engine().GetSamples(&bit, 50, 40, scaled.data(), nullptr, ScaleType::Scaled);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(scaled[static_cast<size_t>(i)], ((50 + i) >> 3) & 1) << i;
}

// Channels read in turn over the same stretch share whole blocks held in memory;
// what they deliver must not change.
TEST(SyncSampleForms, ChannelsReadInTurnDeliverTheirOwnSlices) {
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 30, 0}, {35, 20, 60, 0}};
  std::vector<uint8_t> first;
  std::vector<uint8_t> second;
  for (int64_t j = 0; j < 6100; ++j) {
    const auto a = Encode(kTypeDouble, j);
    const auto b = Encode(kTypeInt16, j);
    first.insert(first.end(), a.begin(), a.end());
    second.insert(second.end(), b.begin(), b.end());
  }
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", kRate).Property("BlockSize", 100).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(1000, std::vector<int>(6, 32));
  setup.AddChannel("AI;0", "A", kTypeDouble).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
  setup.AddChannel("AI;1", "B", kTypeInt16).With(TestKit::OnlineInfoRecord(800, std::vector<int>(6, 0)));
  const TestKit::ReducedLevelStream level0 =
      TestKit::BuildReducedLevel(layout, 0, 32, {{{}, true, std::vector<double>(6100)}});
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, TestKit::RegionLevelOffsets({level0}, 2));
  recording.Add("DBDATA", TestKit::BuildDataBlocks(layout, 1000, {{0, 8, 1, first}, {800, 2, 1, second}}));
  recording.Add("IBDATA0", level0.bytes);
  OpenedRecording opened(recording);
  const SyncCase shape{"", kTypeDouble, 100, 1, layout.regions, 0, 0};
  const std::vector<int64_t> positions = SamplePositions(shape);
  for (int64_t window = 0; window < static_cast<int64_t>(positions.size()); window += 700) {
    for (const auto& [index, samples, bytes] : {std::tuple{"AI;0", &first, 8}, std::tuple{"AI;1", &second, 2}}) {
      std::vector<uint8_t> raw(700 * 8);
      opened.engine().GetSamples(&opened.Channel(index), window, 700, raw.data(), nullptr, ScaleType::Raw);
      const int64_t n = std::min<int64_t>(700, static_cast<int64_t>(positions.size()) - window);
      for (int64_t i = 0; i < n; ++i) {
        const int64_t position = positions[static_cast<size_t>(window + i)];
        ASSERT_EQ(std::memcmp(raw.data() + i * bytes, samples->data() + position * bytes, static_cast<size_t>(bytes)),
                  0)
            << index << " sample " << window + i;
      }
    }
  }
}

// A host reading every channel window by window: channels of other dividers begin
// and end their windows a block apart where a region starts late in a block (and
// the slow channel's windows span more blocks), so the shared blocks must be
// extended rather than replaced: each stored block is read about once, and every
// channel still gets its own samples.
TEST(SyncSampleForms, ChannelsOfOtherDividersReadEachBlockAboutOnce) {
  struct Channel {
    const char* index;
    int dataType;
    int srDiv;
    int offset;
    std::vector<uint8_t> samples;
  };
  std::vector<Channel> channels = {{"AI;0", kTypeDouble, 1, 0, {}}, {"AI;1", kTypeInt16, 2, 800, {}},
                                   {"AI;2", kTypeFloat, 10, 900, {}}};
  constexpr int kBlockBytes = 940;
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 30, 0}, {35, 99, 60, 50}, {66, 75, 90, 0}};
  std::vector<TestKit::SyncChannelSamples> stored;
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", kRate).Property("BlockSize", 100).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(kBlockBytes, std::vector<int>(6, 32));
  for (Channel& c : channels) {
    for (int64_t j = 0; j < 9100 / c.srDiv; ++j) {
      const auto value = Encode(c.dataType, j);
      c.samples.insert(c.samples.end(), value.begin(), value.end());
    }
    const int bytes = DataTypeSizeArr[static_cast<size_t>(c.dataType)];
    stored.push_back({c.offset, bytes, c.srDiv, c.samples});
    setup.AddChannel(c.index, c.index, c.dataType).Set("SRDiv", c.srDiv).With(
        TestKit::OnlineInfoRecord(c.offset, std::vector<int>(6, 0)));
  }
  const TestKit::ReducedLevelStream level0 =
      TestKit::BuildReducedLevel(layout, 0, 32, {{{}, true, std::vector<double>(9100)}});
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, TestKit::RegionLevelOffsets({level0}, 3));
  recording.Add("DBDATA", TestKit::BuildDataBlocks(layout, kBlockBytes, stored)).Add("IBDATA0", level0.bytes);
  auto owned = std::make_unique<CountingContainer>();
  CountingContainer* container = owned.get();
  OpenedRecording opened(recording, true, std::move(owned));

  constexpr int64_t kWindowPositions = 2000;
  for (int64_t window = 0;; ++window) {
    bool any = false;
    for (const Channel& c : channels) {
      const SyncCase shape{"", c.dataType, 100, c.srDiv, layout.regions, 0, 0};
      const std::vector<int64_t> positions = SamplePositions(shape);
      const int64_t first = window * kWindowPositions / c.srDiv;
      const int64_t n = std::min<int64_t>(kWindowPositions / c.srDiv, static_cast<int64_t>(positions.size()) - first);
      if (n <= 0) continue;
      any = true;
      const int bytes = DataTypeSizeArr[static_cast<size_t>(c.dataType)];
      std::vector<uint8_t> raw(static_cast<size_t>(n * bytes));
      opened.engine().GetSamples(&opened.Channel(c.index), first, static_cast<int>(n), raw.data(), nullptr,
                                 ScaleType::Raw);
      for (int64_t i = 0; i < n; ++i) {
        const int64_t j = positions[static_cast<size_t>(first + i)] / c.srDiv;
        ASSERT_EQ(std::memcmp(raw.data() + i * bytes, c.samples.data() + j * bytes, static_cast<size_t>(bytes)), 0)
            << c.index << " sample " << first + i;
      }
    }
    if (!any) break;
  }
  // Only the first window's first channel reads its own slices before any block is
  // shared.
  const int64_t storedBytes = layout.StoredBlockCount() * kBlockBytes;
  EXPECT_LE(container->BytesOf("DBDATA"), storedBytes + storedBytes / 20 + kWindowPositions / 100 * 800);
}

// Layouts that point outside the stored streams are a corrupt file, never a read
// outside them or a silent zero.
TEST(SyncSampleDamage, PositionsOutsideTheStreamsAreCorrupt) {
  const SyncCase c{"double", kTypeDouble, 100, 1, {{0, 0, 3, 0}}, 0, 300};
  {
    SyncCase own = c;
    own.ownStream = true;
    SyncRecording made = MakeRecording(own);
    made.recording.streams[0].second.resize(kOwnStreamLead + 250 * 8);  // the channel's stream cut short
    OpenedRecording opened(made.recording);
    std::vector<double> values(300);
    EXPECT_THROW(opened.engine().GetSamples(&opened.Channel("AI;0"), 0, 300, values.data(), nullptr,
                                            ScaleType::Scaled),
                 FileCorruptException);
  }
  {
    SyncRecording made = MakeRecording(c);
    const std::string offset = "<DBOffset>16</DBOffset>";
    made.recording.setupText.replace(made.recording.setupText.find(offset), offset.size(),
                                     "<DBOffset>900</DBOffset>");
    OpenedRecording opened(made.recording);
    std::vector<double> values(10);
    EXPECT_THROW(opened.engine().GetSamples(&opened.Channel("AI;0"), 0, 10, values.data(), nullptr,
                                            ScaleType::Scaled),
                 FileCorruptException);
  }
}

}  // namespace
}  // namespace Korvane::DataReader
