// The recording of the reduced-value tests, written by the test kit, and the values
// it must read back, worked out from its regions by hand: blocks 0-25, 30-50 and 70
// (offset 30) to 85, 100 samples per block at 1000 per second, IB rate 20, so that
// the first two regions share level-1 interval 1 (2 s per value). Channels in list
// order: 0 int32 of 32 bits (double items, scale 2, offset 1, RMS halved by
// OrigScale 4), 1 int16 (float items, scale -1), 2 double of 16 bits but 24
// significant ones (double items), 3 float in streams of its own, 4 an array
// channel, 5 a single value. Raw values at full-rate position p are a x p + b.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"

namespace Korvane::DataReader::ReducedTest {

struct ChannelForm {
  double a, b, scale, offset, rmsFactor;
  bool doubleItems;
  int itemOffset[2];  // in the shared records of levels 0 and 1
};
inline const ChannelForm kForms[4] = {{1, 0, 2, 1, 0.5, true, {0, 0}}, {1, -4000, -1, 0, 1, false, {32, 64}},
                                      {0.25, 3, 1, 0, 1, true, {48, 96}}, {2, 0, 1, 0, 1, false, {0, 0}}};
inline constexpr int kPositions = 8500;

enum class Storing { Reduced, Mixed };
struct Options {
  Storing storing = Storing::Reduced;
  int startingLevel = 0;  // 1: no level-0 stream
  int level0RecordBytes = 80;
  int64_t ownStreamPosition = 5;  // channel 3's PosInIBStream at level 0
};

// A stored value: its interval and the full-rate ranges recorded in it.
struct Interval {
  int64_t index;
  std::vector<std::pair<int64_t, int64_t>> ranges;
};

inline std::vector<Interval> Intervals(Storing storing, int level) {
  const int64_t rate = level == 0 ? 100 : 2000;
  std::vector<Interval> out;
  auto whole = [&](int64_t from, int64_t to) {
    for (int64_t i = from; i < to; ++i) out.push_back({i, {{i * rate, std::min<int64_t>((i + 1) * rate, kPositions)}}});
  };
  if (storing == Storing::Mixed) {
    whole(0, (kPositions + rate - 1) / rate);
  } else if (level == 1) {
    out = {{0, {{0, 2000}}}, {1, {{2000, 2500}, {3000, 4000}}}, {2, {{4000, 5000}}}, {3, {{7030, 8000}}},
           {4, {{8000, 8500}}}};
  } else {
    whole(0, 25);
    whole(30, 50);
    out.push_back({70, {{7030, 7100}}});
    whole(71, 85);
  }
  return out;
}

// The record a reader must deliver for channel c and one interval.
inline KVReducedValue Expected(int c, const Interval& interval, int level) {
  const ChannelForm& f = kForms[c];
  double n = 0, sum = 0, squares = 0, low = 1e300, high = -1e300;
  for (const auto& [from, to] : interval.ranges) {
    for (int64_t p = from; p < to; ++p) {
      const double raw = f.a * static_cast<double>(p) + f.b;
      n += 1, sum += raw, squares += raw * raw, low = std::min(low, raw), high = std::max(high, raw);
    }
  }
  const double x = f.scale * low + f.offset, y = f.scale * high + f.offset;
  return {static_cast<double>(interval.index) * (level == 0 ? 0.1 : 2.0), f.scale * sum / n + f.offset,
          std::min(x, y), std::max(x, y), std::sqrt(squares / n) * f.rmsFactor};
}

inline TestKit::Recording Build(const Options& options) {
  using namespace TestKit;
  SetupBuilder setup;
  setup.Property("SampleRate", 1000.0).Property("BlockSize", 100).Property("IBRate", 20);
  setup.Property("StartingIBLevel", options.startingLevel);
  setup.MeasurementOnlineInfo(8, {options.level0RecordBytes, 160, 0, 0, 0, 0});
  auto online = [](int c) { return OnlineInfoRecord(0, {kForms[c].itemOffset[0], kForms[c].itemOffset[1]}); };
  auto scaled = [&](int c, const char* name, int type) -> XmlNode& {
    return setup.AddChannel("Math;" + std::to_string(c), name, type).Set("Scale", kForms[c].scale)
        .Set("Offset", kForms[c].offset);
  };
  scaled(0, "Plain", 4).Set("BitCount", 32).Set("OrigScale", 4.0).With(online(0));
  scaled(1, "Inverted", 2).With(online(1));
  scaled(2, "Significant", 7).Set("SigBitCount", 24).With(online(2));
  OfflineRecord own;
  own.status = 2;
  own.ibStreams = {{"OWNIB0", options.ownStreamPosition}, {"OWNIB1", 0}};
  scaled(3, "Own", 5).With(OfflineInfoRecord(own));
  setup.AddChannel("Math;4", "Spectrum", 7).With(ArrayInfoElement({{"Bin", "", 4}}));
  setup.AddChannel("Math;5", "Note", 7).Set("SingleValue", true);

  DataLayout layout, stored;
  layout.regions = {{0, 0, 25, 0}, {30, 0, 50, 0}, {70, 30, 85, 0}};
  stored.regions = options.storing == Storing::Mixed ? std::vector<RecordedRegion>{{0, 0, 85, 0}} : layout.regions;
  std::vector<ReducedChannelValues> channels;
  for (const ChannelForm& f : kForms) {
    channels.push_back({{f.itemOffset[0], f.itemOffset[1]}, f.doubleItems, {}});
    for (int p = 0; p < kPositions; ++p) channels.back().values.push_back(f.a * p + f.b);
  }
  Recording recording;
  recording.setupText = setup.Text();
  recording.storingWords = options.storing == Storing::Mixed ? "mixed" : "reduced";
  recording.Add("OWNIB0", BuildOwnReducedStream(stored, 0, channels.back(), 5));
  recording.Add("OWNIB1", BuildOwnReducedStream(stored, 1, channels.back()));
  channels.pop_back();
  std::vector<ReducedLevelStream> levels;
  for (int level = 0; level < 2; ++level) levels.push_back(BuildReducedLevel(stored, level, 80 << level, channels));
  recording.events = RegionEventStream(layout, RegionLevelOffsets(levels, layout.regions.size()));
  if (options.startingLevel == 0) recording.Add("IBDATA0", levels[0].bytes);
  recording.Add("IBDATA1", levels[1].bytes);
  return recording;
}

}  // namespace Korvane::DataReader::ReducedTest
