// Asynchronous samples read from legacy blocks: a table of channels (online in the
// shared level records and "DBASDAT<L>", offline in streams of their own; levels 0
// and 1 with regions off the level's interval boundaries; stops inside blocks and
// blocks two regions share; samples in stored blocks outside the recorded regions)
// read in the standard sequence of windows; a CAN message with decoded signals; an
// offline channel whose blocks end before a region; and the stream reads a window
// costs, counted through a container whose streams count their reads.
#include <gtest/gtest.h>

#include <map>

#include "AsyncSamplesSupport.h"
#include "CountingContainer.h"
#include "common/DataReaderLibException.h"
#include "multistream/CMultiStream.h"

namespace Korvane::DataReader {
namespace {

using AsyncTest::BuildLegacyRecording;
using AsyncTest::LegacyCase;
using AsyncTest::LegacyRecording;
using EngineTest::OpenedRecording;

// Blocks of 128 positions (0.125 s); a level-1 value covers blocks 4k to 4k + 3.
const LegacyCase kCases[] = {
    // Recorded regions start inside their first stored block and stop inside the
    // last: the blocks hold samples on both sides of the region edges.
    {"OnlineLevel0DoubleEdgesInsideBlocks", kTypeDouble, 1, 0, false, 32,
     {{0, 0, 3, 0}, {5, 0, 8, 0}, {10, 0, 13, 0}}, {{0, 0, 3, 0}, {5, 64, 8, 0}, {10, 0, 12, 40}}, 5},
    // Level 1: regions start at blocks 1 and 9, off the intervals; region 1 stops
    // in block 14 and region 2 starts in it, so block 14 and level-1 interval 3
    // hold the samples of both.
    {"OnlineLevel1Int16SharedInterval", kTypeInt16, 1, 1, false, 16,
     {{1, 0, 6, 0}, {9, 0, 14, 64}, {14, 100, 20, 0}}, {{1, 0, 6, 0}, {9, 0, 14, 64}, {14, 100, 20, 0}}, 3, -4},
    // An array without item channels keeps no statistics: tails alone.
    {"OfflineLevel0FloatArray", kTypeFloat, 3, 0, true, 0, {{0, 0, 4, 0}, {6, 0, 9, 50}},
     {{0, 30, 4, 0}, {6, 0, 9, 50}}, 7, 0.5},
    {"OfflineLevel1Double", kTypeDouble, 1, 1, true, 32, {{2, 0, 7, 0}, {11, 0, 18, 20}},
     {{2, 0, 7, 0}, {11, 0, 18, 20}}, 4},
    {"OnlineLevel0ComplexBuffers", kTypeComplexFloat, 1, 0, false, 48, {{0, 0, 4, 0}, {7, 0, 9, 0}},
     {{0, 0, 4, 0}, {7, 0, 9, 0}}, 6, 0, true},
    // A sample every 150 positions leaves some blocks empty.
    {"OnlineLevel0SparseWithEmptyBlocks", kTypeInt16, 1, 0, false, 16, {{0, 0, 8, 0}, {10, 0, 20, 0}},
     {{0, 0, 8, 0}, {10, 0, 20, 0}}, 150},
    {"OnlineLevel1DoubleStopsInsideBlocks", kTypeDouble, 1, 1, false, 32, {{0, 0, 5, 0}, {6, 0, 13, 0}},
     {{0, 60, 4, 100}, {6, 0, 12, 1}}, 2},
};

class AsyncLegacySamples : public ::testing::TestWithParam<LegacyCase> {};

TEST_P(AsyncLegacySamples, WindowsDeliverTheSamplesOfTheirRegions) {
  const LegacyCase& c = GetParam();
  const LegacyRecording built = BuildLegacyRecording(c);
  OpenedRecording opened(built.recording);
  AsyncTest::CheckChannel(opened.engine(), opened.Channel("Math;1"), built.model, built.spans);
}

INSTANTIATE_TEST_SUITE_P(Engine, AsyncLegacySamples, ::testing::ValuesIn(kCases),
                         [](const auto& tp) { return std::string(tp.param.name); });

// A CAN message stores only reduced time stamps (its tail at 0 in its slice); its
// signals are decoded out of its samples, also when the three are read in turn.
TEST(AsyncLegacyCAN, DecodedSignalsOfAMessageInLegacyBlocks) {
  const LegacyCase c{"CAN", kTypeCAN8, 1, 0, false, 0, {{0, 0, 4, 0}, {6, 0, 9, 70}}, {{0, 0, 4, 0}, {6, 0, 9, 70}}, 3};
  const LegacyRecording built = BuildLegacyRecording(c, AsyncTest::DefineCANMessage);
  OpenedRecording opened(built.recording);
  ASSERT_TRUE(opened.Channel("CAN;0;100").getOnlyIBTimeStamp());
  AsyncTest::CheckChannel(opened.engine(), opened.Channel("CAN;0;100"), built.model, built.spans);
  for (const char* index : {"CAN;0;100;3", "CAN;0;100;4"}) {
    SCOPED_TRACE(index);
    AsyncTest::CheckChannel(opened.engine(), opened.Channel(index), AsyncTest::SignalModel(built.model, index[10] == '3'),
                            built.spans);
  }
  // The message and its signals read in turn each keep their own place.
  const AsyncTest::Model models[] = {built.model, AsyncTest::SignalModel(built.model, true),
                                     AsyncTest::SignalModel(built.model, false)};
  const char* indexes[] = {"CAN;0;100", "CAN;0;100;3", "CAN;0;100;4"};
  for (int64_t first = 0; first < 200; first += 11) {
    for (size_t k = 0; k < 3; ++k) {
      AsyncTest::CheckWindow(opened.engine(), opened.Channel(indexes[k]), models[k], built.spans, {first, 11, 0, 1});
    }
  }
}

// An offline channel whose stored blocks end with region 0 (EndPos): region 1 has
// no blocks, so it counts 0 and delivers nothing.
TEST(AsyncLegacyRanges, RegionWithoutBlocksCountsNothing) {
  LegacyCase c = kCases[3];
  c.endPos = 7;
  LegacyRecording built = BuildLegacyRecording(c);
  for (double& t : built.model.times) {
    if (t >= built.spans[1].first) t = std::nan("");
  }
  OpenedRecording opened(built.recording);
  const CKVChannel& channel = opened.Channel("Math;1");
  EXPECT_EQ(opened.engine().GetAsyncSamplesCount(&channel, 1, 1), 0);
  EXPECT_GT(opened.engine().GetAsyncSamplesCount(&channel, 0, 0), 0);
  AsyncTest::CheckChannel(opened.engine(), channel, built.model, built.spans);
}

// A block costs three reads (tail, times, values): one window over everything
// reads each block once, and consecutive windows resume at the block the window
// before stopped in instead of walking from the first block again.
TEST(AsyncLegacyReads, EachBlockIsReadOncePerWindow) {
  for (const LegacyCase& c : {kCases[0], kCases[3]}) {
    SCOPED_TRACE(c.name);
    const LegacyRecording built = BuildLegacyRecording(c);
    auto owned = std::make_unique<CountingContainer>();
    CountingContainer* container = owned.get();
    OpenedRecording opened(built.recording, true, std::move(owned));
    CDataLoadEngine& engine = opened.engine();
    const CKVChannel& channel = opened.Channel("Math;1");
    const int last = static_cast<int>(built.spans.size()) - 1;
    const auto total = static_cast<int64_t>(AsyncTest::Expected(built.model, built.spans, 0, last).size());
    const auto blocks = static_cast<int64_t>(built.blocks.blocks.size());
    std::vector<uint8_t> values(static_cast<size_t>((total + 1) * built.model.valueBytes));
    std::vector<double> times(static_cast<size_t>(total + 1));

    int64_t before = container->Reads();
    engine.GetAsyncSamples(&channel, 0, static_cast<int>(total), values.data(), times.data(), 0, last, false, nullptr,
                           ScaleType::RawEx);
    EXPECT_LE(container->Reads() - before, 3 * blocks);

    constexpr int kWindow = 7;
    before = container->Reads();
    int64_t windows = 0;
    for (int64_t first = 0; first < total; first += kWindow, ++windows) {
      engine.GetAsyncSamples(&channel, first, kWindow, values.data(), times.data(), 0, last, false, nullptr,
                             ScaleType::RawEx);
    }
    EXPECT_LE(container->Reads() - before, 3 * (blocks + windows)) << windows << " windows over " << blocks << " blocks";
  }
}


// Tails and data that do not fit the streams are a corrupt file, never a read
// outside a stream or an allocation the streams do not justify.
TEST(AsyncLegacyDamage, TailsOutsideTheStreamsAreCorrupt) {
  struct Damage {
    const char* name;
    size_t field;   // offset in block 1's tail, which lies at 64 + 8 + 32
    int64_t value;  // written over 4 (count) or 8 bytes; -1: the data stream's size
  };
  const Damage kDamages[] = {
      {"NegativeCount", 0, 0xFFFFFFFF},  // -1 as an i32
      {"CountBeyondTheData", 0, 0x7FFFFFFF},
      {"PositionAtTheDataEnd", 16, -1},
      {"PositionOverflowing", 16, INT64_MAX},
      {"DataCutShort", 0, 0},  // the tails as written, the data stream halved
  };
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.name);
    LegacyRecording built = BuildLegacyRecording(kCases[0]);
    for (auto& [code, bytes] : built.recording.streams) {
      if (code == "DBASDAT0" && d.value == 0) bytes.resize(bytes.size() / 2);
      if (code != "IBDATA0" || d.value == 0) continue;
      const int64_t value = d.value == -1 ? static_cast<int64_t>(built.blocks.data.size()) : d.value;
      std::memcpy(bytes.data() + 64 + 40 + d.field, &value, d.field == 0 ? 4 : 8);
    }
    OpenedRecording opened(built.recording);
    std::vector<double> values(2000);
    EXPECT_THROW(opened.engine().GetAsyncSamples(&opened.Channel("Math;1"), 0, 2000, values.data(), nullptr, 0, 2,
                                                 false, nullptr, ScaleType::Scaled),
                 FileCorruptException);
  }
}

}  // namespace
}  // namespace Korvane::DataReader
