// Shared by the asynchronous sample tests: recordings with channels in the
// timestamp index or in legacy blocks, written by the test kit, and what a window
// of samples must deliver, worked out from the kit's inputs alone (each sample's
// time stamp and stored bytes, filtered by the regions), never from the reader.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "setup/ChannelCodes.h"
#include "testkit/ByteWriter.h"
#include "testkit/LegacyAsyncWriter.h"

namespace Korvane::DataReader::AsyncTest {

using TestKit::RecordedRegion;

// Scaling of every numeric test channel: raw x -> 2x + offset.
inline constexpr double kScale = 2;

// Stored value k of sample i of a channel of the data type (complex: two halves).
inline std::vector<uint8_t> EncodeValue(int dataType, int64_t i, int k) {
  TestKit::ByteWriter out;
  const double v = static_cast<double>(i * 10 + k);
  switch (dataType) {
    case kTypeDouble: out.F64(v * 0.5 - 3); break;
    case kTypeFloat: out.F32(static_cast<float>(v * 0.25)); break;
    case kTypeInt16: out.I16(static_cast<int16_t>(3 * i - 100 + k)); break;
    case kTypeComplexFloat: out.F32(static_cast<float>(v)).F32(static_cast<float>(-v / 2)); break;
    default: for (int b = 0; b < DataTypeSizeArr[static_cast<size_t>(dataType)]; ++b) out.U8(static_cast<uint8_t>(i * 37 + b * 11 + k));
  }
  return out.Take();
}

// The numbers one stored value holds (two for complex types), unscaled.
inline std::vector<double> DecodeValue(int dataType, const uint8_t* p) {
  float f[2];
  double d;
  int16_t s;
  switch (dataType) {
    case kTypeDouble: std::memcpy(&d, p, 8); return {d};
    case kTypeFloat: std::memcpy(f, p, 4); return {f[0]};
    case kTypeInt16: std::memcpy(&s, p, 2); return {static_cast<double>(s)};
    case kTypeComplexFloat: std::memcpy(f, p, 8); return {f[0], f[1]};
    default: return {};
  }
}

// A channel as the kit wrote it: per sample the time stamp the reader must give
// (and decide its region by) and its stored bytes.
struct Model {
  std::vector<double> times;    // NaN: not stored
  std::vector<uint8_t> values;  // valueBytes per sample
  int valueBytes = 8;
  bool raw = true;              // the raw form gives the stored bytes
  ScaleType rawForm = ScaleType::RawEx;  // the form giving `values` as they are
  // Scaled doubles the reader must give for one stored sample (empty: not checked).
  std::function<std::vector<double>(const uint8_t*)> scaled;
};

// Regions as [start, stop) seconds.
using Spans = std::vector<std::pair<double, double>>;

inline Spans RegionSpans(const std::vector<RecordedRegion>& regions, int blockSize, double rate) {
  Spans spans;
  for (const RecordedRegion& r : regions) {
    spans.emplace_back(static_cast<double>(int64_t{r.startBlock} * blockSize + r.startOffset) / rate,
                       static_cast<double>(int64_t{r.stopBlock} * blockSize + r.stopOffset) / rate);
  }
  return spans;
}

// The samples regions first to last hold, in reading order.
inline std::vector<size_t> Expected(const Model& model, const Spans& spans, int first, int last) {
  std::vector<size_t> out;
  for (int r = std::max(first, 0); r <= std::min(last, static_cast<int>(spans.size()) - 1); ++r) {
    for (size_t i = 0; i < model.times.size(); ++i) {
      if (model.times[i] >= spans[static_cast<size_t>(r)].first && model.times[i] < spans[static_cast<size_t>(r)].second) {
        out.push_back(i);
      }
    }
  }
  return out;
}

struct Window {
  int64_t first;
  int count;
  int firstRegion;
  int lastRegion;
};

// The windows every channel is read with, in this order: each resumes, restarts
// or changes region range against the cache the window before it left.
inline std::vector<Window> StandardWindows(const Model& model, const Spans& spans) {
  const int last = static_cast<int>(spans.size()) - 1;
  std::vector<int64_t> counts;
  for (int r = 0; r <= last; ++r) counts.push_back(static_cast<int64_t>(Expected(model, spans, r, r).size()));
  const auto total = static_cast<int64_t>(Expected(model, spans, 0, last).size());
  const auto n0 = static_cast<int>(counts[0]);
  std::vector<Window> w = {
      {0, static_cast<int>(total), 0, last},  // everything at once
      {n0, 5, 0, last},                       // starts at region 1's start
      {n0 - 5, 5, 0, last},                   // ends at region 0's stop
      {n0 - 3, static_cast<int>(counts[1]) + 6, 0, last},  // crosses two region edges
      {total - 4, 10, 0, last},               // runs past the end
      {0, 3, 1, 1},                           // region 1 alone ...
      {5, 10, 0, last},                       // ... then all regions from a later number
      {0, 3, 0, last},                        // all regions ...
      {4, 5, last, last},                     // ... then the last alone from a later number
      {2, 7, 1, 1},
      {1, 4, 1, 1},                           // before the cached window, same regions
      {0, static_cast<int>(total), 1, 99},    // the last region clamped
      {1, 6, -2, 0},                          // the first region clamped
  };
  for (int64_t first = 0; first < total; first += 9) w.push_back({first, 9, 0, last});
  w.push_back({3, 4, 0, last});
  return w;
}

// Reads one window raw (or in the model's form) with time stamps and once scaled,
// and compares both with the model; nothing may be written behind the samples that exist.
inline void CheckWindow(CDataLoadEngine& engine, const CKVChannel& channel, const Model& model, const Spans& spans,
                        const Window& w) {
  SCOPED_TRACE("window " + std::to_string(w.first) + "+" + std::to_string(w.count) + " regions " +
               std::to_string(w.firstRegion) + "-" + std::to_string(w.lastRegion));
  const std::vector<size_t> expected = Expected(model, spans, w.firstRegion, w.lastRegion);
  const size_t delivered = static_cast<size_t>(std::clamp<int64_t>(static_cast<int64_t>(expected.size()) - w.first, 0, w.count));
  const size_t room = std::min<size_t>(static_cast<size_t>(w.count), delivered + 1) + 1;
  const auto bytes = static_cast<size_t>(model.valueBytes);
  auto sample = [&](size_t k) { return model.values.data() + expected[static_cast<size_t>(w.first) + k] * bytes; };
  std::vector<double> times(room, -1);
  if (model.raw) {
    std::vector<uint8_t> raw(room * bytes, 0xAA);
    engine.GetAsyncSamples(&channel, w.first, w.count, raw.data(), times.data(), w.firstRegion, w.lastRegion, false,
                           nullptr, model.rawForm);
    for (size_t k = 0; k < delivered; ++k) ASSERT_EQ(std::memcmp(raw.data() + k * bytes, sample(k), bytes), 0) << k;
    EXPECT_EQ(raw[delivered * bytes], 0xAA);
  }
  if (model.scaled) {
    const size_t per = model.scaled(model.values.data()).size();
    std::vector<double> scaled(room * per, -7);
    engine.GetAsyncSamples(&channel, w.first, w.count, scaled.data(), model.raw ? nullptr : times.data(),
                           w.firstRegion, w.lastRegion, false, nullptr, ScaleType::Scaled);
    for (size_t k = 0; k < delivered; ++k) {
      const std::vector<double> want = model.scaled(sample(k));
      for (size_t v = 0; v < per; ++v) ASSERT_EQ(scaled[k * per + v], want[v]) << "sample " << k << " value " << v;
    }
    EXPECT_EQ(scaled[delivered * per], -7);
  }
  for (size_t k = 0; k < delivered; ++k) ASSERT_EQ(times[k], model.times[expected[static_cast<size_t>(w.first) + k]]) << k;
  EXPECT_EQ(times[delivered], -1);
}

// Counts over region ranges, then every standard window.
inline void CheckChannel(CDataLoadEngine& engine, const CKVChannel& channel, const Model& model, const Spans& spans) {
  const int last = static_cast<int>(spans.size()) - 1;
  std::vector<std::pair<int, int>> ranges = {{0, last}, {1, last}, {-3, 0}, {0, 99}, {2, 1}};
  for (int r = 0; r <= last; ++r) ranges.emplace_back(r, r);
  for (const auto& [first, lastRegion] : ranges) {
    EXPECT_EQ(engine.GetAsyncSamplesCount(&channel, first, lastRegion),
              static_cast<int64_t>(Expected(model, spans, first, lastRegion).size()))
        << "regions " << first << "-" << lastRegion;
  }
  EXPECT_EQ(engine.GetSamplesCount(&channel), static_cast<int64_t>(Expected(model, spans, 0, last).size()));
  for (const Window& w : StandardWindows(model, spans)) {
    CheckWindow(engine, channel, model, spans, w);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Values of `count` samples of a numeric channel and the scaled doubles the
// reader must give for each (scale 2, the offset given).
inline void FillNumeric(Model& model, int dataType, int arraySize, double offset) {
  model.valueBytes = DataTypeSizeArr[static_cast<size_t>(dataType)] * arraySize;
  model.values.clear();
  for (size_t i = 0; i < model.times.size(); ++i) {
    for (int k = 0; k < arraySize; ++k) {
      const std::vector<uint8_t> v = EncodeValue(dataType, static_cast<int64_t>(i), k);
      model.values.insert(model.values.end(), v.begin(), v.end());
    }
  }
  const int valueBytes = DataTypeSizeArr[static_cast<size_t>(dataType)];
  model.scaled = nullptr;
  if (DecodeValue(dataType, EncodeValue(dataType, 0, 0).data()).empty()) return;  // not a number type
  model.scaled = [dataType, arraySize, offset, valueBytes](const uint8_t* sample) {
    std::vector<double> out;
    for (int k = 0; k < arraySize; ++k) {
      for (double x : DecodeValue(dataType, sample + k * valueBytes)) out.push_back(kScale * x + offset);
    }
    return out;
  };
}

// The definitions of CAN message "CAN;0;100" (8 bytes) with two signals: "3",
// intel, signed 12 bits from bit 4; "4", motorola, bytes 2 (high) and 3, x 0.5.
inline TestKit::XmlNode& DefineCANMessage(TestKit::SetupBuilder& setup) {
  setup.Store("CAN;0;100");
  setup.Store("CAN;0;100;3");
  setup.Store("CAN;0;100;4");
  TestKit::XmlNode& node =
      setup.CANPort(false).AddCopy(TestKit::ChannelDefinition("Message", "CAN;0;100", "Message 100").Set("DLC", 8));
  TestKit::XmlNode intel("OutputChannel");
  intel.Set("UniqueId", "3").Set("Name", "intel").Set("StartBit", 4).Set("BitLength", 12).Set("CANDataType", 1);
  node.AddCopy(intel);
  TestKit::XmlNode motorola("OutputChannel");
  motorola.Set("UniqueId", "4").Set("Name", "motorola").Set("StartBit", 24).Set("BitLength", 16);
  motorola.Set("DataDirection", 1).Set("Scale", 0.5);
  node.AddCopy(motorola);
  return node;
}

// A signal of that message: its samples are the message's, decoded.
inline Model SignalModel(const Model& message, bool intel) {
  Model signal = message;
  signal.raw = false;
  signal.scaled = [intel](const uint8_t* p) {
    const int bits = ((p[0] | p[1] << 8) >> 4) & 0xFFF;
    return std::vector<double>{intel ? (bits >= 0x800 ? bits - 0x1000 : bits) : (p[2] << 8 | p[3]) * 0.5};
  };
  return signal;
}

// --- Channels in the timestamp index ---------------------------------------

// The index recordings use the engine tests' layout: 100 samples per block at
// 1000 per second.
struct IndexChannel {
  std::string index;
  int dataType = kTypeDouble;
  int arraySize = 1;
  std::vector<double> times;
  uint32_t leafCapacity = 4;
  bool offline = false;  // in streams of its own, read by a manager of its node stream
  double offset = 1;
  std::vector<uint8_t> values{};  // empty: FillNumeric's values
  std::string binStream{};        // online: the stream of a binary channel's payloads
  // Adds the channel's definition and returns it (empty: a numeric channel).
  std::function<TestKit::XmlNode&(TestKit::SetupBuilder&)> define{};
};

struct BuiltRecording {
  TestKit::Recording recording;
  std::vector<Model> models;  // per channel
  Spans spans;
};

// Channel c gets AsyncIndex 10 + c; online channels share "DBASDATX", "NDASDATX"
// and "RNASDATX", offline ones the streams "OV", "ON" and "OR".
inline BuiltRecording BuildIndexRecording(const std::vector<RecordedRegion>& regions, bool finalized,
                                          const std::vector<IndexChannel>& channels, int dataStoreMode = -1) {
  using namespace TestKit;
  BuiltRecording built;
  SetupBuilder setup;
  EngineTest::BaseSetup(setup);
  if (dataStoreMode >= 0) setup.DataStoreMode(dataStoreMode);
  AsyncIndexWriter shared(finalized);
  AsyncIndexWriter own(finalized);
  bool anyOnline = false;
  bool anyOffline = false;
  for (size_t c = 0; c < channels.size(); ++c) {
    const IndexChannel& ch = channels[c];
    Model model;
    model.times = ch.times;
    FillNumeric(model, ch.dataType, ch.arraySize, ch.offset);
    if (!ch.values.empty()) {
      model.values = ch.values;
      model.valueBytes = static_cast<int>(ch.values.size() / ch.times.size());
      model.scaled = nullptr;
    }
    AsyncIndexChannelContents contents;
    contents.channelIndex = static_cast<uint32_t>(10 + c);
    contents.valueSize = static_cast<uint32_t>(model.valueBytes);
    contents.timestamps = ch.times;
    contents.values = model.values;
    contents.leafCapacity = ch.leafCapacity;
    contents.ownStarts = ch.offline;  // behind filler: positions count from the starts
    contents.valueStreamGap = 24;
    contents.nodeStreamGap = 40;
    const AsyncIndexChannelInfo info = (ch.offline ? own : shared).AddChannel(contents);
    XmlNode& definition = ch.define ? ch.define(setup)
                                    : setup.AddChannel(ch.index, "async " + ch.index, ch.dataType)
                                          .Set("Async", true).Set("Scale", kScale).Set("Offset", ch.offset);
    if (ch.arraySize > 1) definition.With(ArrayInfoElement({{"Bin", "", ch.arraySize}}));
    if (ch.offline) {
      OfflineRecord record;
      record.dbStreamName = "OV";
      record.posInDBStream = static_cast<int64_t>(info.valueStreamStart);
      record.nodeStreamName = "ON";
      record.posInNodeStream = static_cast<int64_t>(info.nodeStreamStart);
      record.rootNodeStreamName = "OR";
      record.asyncIndex = static_cast<int>(contents.channelIndex);
      definition.With(OfflineInfoRecord(record));
      anyOffline = true;
    } else {
      definition.With(OnlineInfoRecord(0, {}, static_cast<int>(contents.channelIndex), ch.binStream));
      anyOnline = true;
    }
    built.models.push_back(std::move(model));
  }
  shared.EndRecords();
  own.EndRecords();
  // The base setup's data blocks and level-0 records over the regions, and their events.
  DataLayout layout;
  layout.regions = regions;
  std::vector<std::vector<int32_t>> offsets;
  for (size_t r = 0; r < regions.size(); ++r) offsets.push_back({static_cast<int32_t>(layout.StoredBlockBase(r))});
  built.recording.setupText = setup.Text();
  built.recording.events = RegionEventStream(layout, offsets);
  const auto blocks = static_cast<int>(layout.StoredBlockCount());
  built.recording.Add("DBDATA", EngineTest::DataBlocks(blocks));
  built.recording.Add("IBDATA0", std::vector<uint8_t>(static_cast<size_t>(blocks) * EngineTest::kRecordBytes, 1));
  if (anyOnline) built.recording.AddIndex(shared.Streams());
  if (anyOffline) built.recording.AddIndex(own.Streams(), "OV", "ON", "OR");
  built.spans = RegionSpans(regions, EngineTest::kBlockSize, EngineTest::kSampleRate);
  return built;
}

// Time stamps p / 1000 for the positions given.
inline std::vector<double> Seconds(std::vector<int64_t> positions, double rate = EngineTest::kSampleRate) {
  std::sort(positions.begin(), positions.end());
  std::vector<double> times;
  for (int64_t p : positions) times.push_back(static_cast<double>(p) / rate);
  return times;
}

// --- Channels in legacy blocks ----------------------------------------------

// 128 samples per block at 1024 per second and IB rate 4 (a level-1 value covers
// 0.5 s), so that block times and sample times p / 1024 are exact in doubles and
// their differences exact in floats.
inline constexpr double kLegacyRate = 1024;
inline constexpr int kLegacyBlock = 128;

struct LegacyCase {
  const char* name;
  int dataType;
  int arraySize;
  int level;
  bool offline;
  // Where the tail lies behind the channel's item in a record: the item's bytes
  // (32 double, 16 float, 48 complex float with complex buffers), 0 without items.
  int tailOffset;
  std::vector<RecordedRegion> stored;  // the regions the blocks were written for
  std::vector<RecordedRegion> events;  // the recorded regions, over the same blocks
  int step;                            // a sample every step positions
  double offset = 1;
  bool complexBuffers = false;
  int endPos = -1;                     // offline: the channel's last block (-1: all)
};

struct LegacyRecording {
  TestKit::Recording recording;
  Model model;
  Spans spans;
  TestKit::LegacyAsyncBlocks blocks;
};

// Channel "Math;1" (or what `define` adds) in blocks of level c.level: online in
// "IBDATA<L>" (item at 8, records of 8 + item + 24 bytes) and "DBASDAT<L>",
// offline in "OWNIB" (8 lead bytes) and "OWNDAT" (12 lead bytes).
inline LegacyRecording BuildLegacyRecording(const LegacyCase& c,
                                            std::function<TestKit::XmlNode&(TestKit::SetupBuilder&)> define = {}) {
  using namespace TestKit;
  constexpr int kItemAt = 8;
  constexpr size_t kDataLead = 12;
  constexpr size_t kReducedLead = 8;
  const DataLayout storage{kLegacyBlock, 4, c.stored};
  DataLayout recorded = storage;
  recorded.regions = c.events;
  int32_t endBlock = 0;
  for (const RecordedRegion& r : c.stored) endBlock = std::max(endBlock, r.stopBlock + 1);
  const int64_t positions = int64_t{endBlock} * kLegacyBlock;

  LegacyRecording built;
  std::vector<int64_t> sampled;
  for (int64_t p = 1; p < positions + 300; p += c.step) sampled.push_back(p);
  built.model.times = Seconds(sampled, kLegacyRate);
  FillNumeric(built.model, c.dataType, c.arraySize, c.offset);
  const LegacyAsyncChannel channel{built.model.times, built.model.values, DataTypeSizeArr[static_cast<size_t>(c.dataType)],
                                   c.arraySize, c.level, kLegacyRate};
  built.blocks = BuildLegacyAsyncBlocks(storage, channel, c.offline ? kDataLead : 0);
  // The reader gives block time + the stored float, and decides regions by it.
  std::fill(built.model.times.begin(), built.model.times.end(), std::nan(""));
  for (const LegacyAsyncBlock& block : built.blocks.blocks) {
    for (int64_t k = block.cumulative - block.count; k < block.cumulative; ++k) {
      const auto i = static_cast<size_t>(built.blocks.storedSamples[static_cast<size_t>(k)]);
      built.model.times[i] = block.time + static_cast<double>(static_cast<float>(channel.timestamps[i] - block.time));
    }
  }

  ReducedChannelValues item;
  item.itemOffsets.fill(kItemAt);
  item.doublePrecision = c.tailOffset == 32;
  item.values.assign(static_cast<size_t>(positions), 0.5);
  std::vector<int> recordBytes = {32, 32, 0, 0, 0, 0};
  if (!c.offline) recordBytes[static_cast<size_t>(c.level)] = kItemAt + c.tailOffset + LegacyAsyncFormat::kTailBytes;
  std::vector<ReducedLevelStream> levels;
  for (int level = 0; level < 2; ++level) {
    const bool carries = !c.offline && level == c.level;
    std::vector<ReducedChannelValues> items;
    if (carries && c.tailOffset > 0) items.push_back(item);
    levels.push_back(BuildReducedLevel(storage, level, recordBytes[static_cast<size_t>(level)], items));
    if (carries) PatchLegacyTails(levels.back().bytes, recordBytes[static_cast<size_t>(level)], kItemAt + c.tailOffset, built.blocks);
  }

  SetupBuilder setup;
  setup.Property("SampleRate", kLegacyRate).Property("BlockSize", kLegacyBlock).Property("IBRate", 4);
  setup.MeasurementOnlineInfo(8, recordBytes);
  XmlNode& definition = define ? define(setup)
                               : setup.AddChannel("Math;1", "legacy", c.dataType)
                                     .Set("Async", true).Set("Scale", kScale).Set("Offset", c.offset)
                                     .Set("BitCount", 8 * channel.sampleBytes);  // absent: 16, float items
  definition.Set("StoredFirstAsyncIBLevel", c.level);
  if (c.complexBuffers) definition.Set("ComplexIBBuffers", true);
  if (c.arraySize > 1) definition.With(ArrayInfoElement({{"Bin", "", c.arraySize}}));
  if (c.offline) {
    OfflineRecord record;
    record.dbStreamName = "OWNDAT";
    record.posInDBStream = static_cast<int64_t>(kDataLead);
    record.startPos = 0;
    record.endPos = c.endPos >= 0 ? c.endPos : endBlock;
    record.ibStreams.assign(static_cast<size_t>(c.level) + 1, {"OWNIB", kReducedLead});
    definition.With(OfflineInfoRecord(record));
    built.recording.Add("OWNDAT", built.blocks.data);
    built.recording.Add("OWNIB", BuildOwnLegacyReducedStream(storage, c.tailOffset > 0 ? &item : nullptr,
                                                             built.blocks, kReducedLead));
  } else {
    definition.With(OnlineInfoRecord(0, std::vector<int>(6, kItemAt)));
    built.recording.Add("DBASDAT" + std::to_string(c.level), built.blocks.data);
  }
  built.recording.setupText = setup.Text();
  built.recording.events = RegionEventStream(recorded, RegionLevelOffsets(levels, c.events.size()));
  built.recording.Add("DBDATA", std::vector<uint8_t>(static_cast<size_t>(storage.StoredBlockCount()) * 8, 0));
  built.recording.Add("IBDATA0", levels[0].bytes).Add("IBDATA1", levels[1].bytes);
  built.spans = RegionSpans(c.events, kLegacyBlock, kLegacyRate);
  return built;
}

}  // namespace Korvane::DataReader::AsyncTest
