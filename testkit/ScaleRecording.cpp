// The scale recording: its channel plan and regions, the formulas of its samples,
// time stamps and full-rate signals, and the streamed write of its data blocks,
// reduced levels, index and events.
#include "testkit/ScaleRecording.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "testkit/EventStreamWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/StreamedAsyncIndex.h"
#include "testkit/StreamedMeasurementData.h"
#include "testkit/StreamedRecording.h"

namespace Korvane::DataReader::TestKit {
namespace {

constexpr double kSampleRate = 10'000;
constexpr int32_t kBlockSize = 1000;
constexpr int32_t kIBRate = 20;
constexpr int32_t kPagePayload = 64 << 10;
constexpr int32_t kPageHeaderBytes = 32;
constexpr int32_t kTypeInt16 = 2;
constexpr int32_t kTypeFloat = 5;
constexpr int32_t kTypeDouble = 7;
constexpr int kAnalogueRange = 10;
// Whole blocks left out between two regions.
constexpr int64_t kGapBlocks = 5;
// Positions between two trigger events inside a region.
constexpr int64_t kTriggerSpacing = 10'000;
constexpr int32_t kEventStreamVersion = 2;
constexpr int32_t kTriggerEventType = 3;
// Sawtooth periods of the synchronous and the asynchronous signals.
constexpr int64_t kSyncPeriod = 4001;
constexpr int64_t kAsyncPeriod = 3001;
constexpr int32_t kAsyncSteps[ScaleRecording::kAsyncChannels] = {2, 3, 4, 6, 8, 12, 16, 24};
constexpr int64_t kTimestampBytes = 8;

uint64_t Mix(uint64_t x) noexcept {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// Synchronous channel c's sample n before it takes the channel's type: a sawtooth
// with a slope and phase of its own per channel. Consecutive samples add c + 3.
int64_t SyncPhase(int c, int64_t n) noexcept { return (n * (c + 3) + c * 977) % kSyncPeriod; }

double SyncNumber(int32_t dataType, int c, int64_t phase) noexcept {
  const int64_t pattern = phase - kSyncPeriod / 2;
  switch (dataType) {
    case kTypeInt16: return static_cast<double>(pattern);
    case kTypeFloat: return static_cast<double>(static_cast<float>(pattern) * 0.25f);
    default: return static_cast<double>(pattern) * 0.125 + c;
  }
}

// The signal of asynchronous channel a at position p; consecutive positions add 2a + 5.
int64_t AsyncPhase(int a, int64_t p) noexcept { return (p * (2 * a + 5) + 131 * a) % kAsyncPeriod; }
double AsyncNumber(int a, int64_t phase) noexcept {
  return static_cast<double>(phase - kAsyncPeriod / 2) * 0.5 + a;
}

template <class T>
void Store(uint8_t* out, T value) noexcept {
  std::memcpy(out, &value, sizeof(T));  // the hosts this runs on are little-endian
}

// Three regions of a half, a quarter and a quarter of the positions; the second and
// third start, and the second stops, inside a block.
DataLayout Regions(int64_t positions) {
  DataLayout layout;
  layout.blockSize = kBlockSize;
  layout.ibRate = kIBRate;
  const int64_t lengths[] = {positions / 2, positions / 4, positions - positions / 2 - positions / 4};
  const int64_t startOffsets[] = {0, 250, 500};
  int64_t nextFreeBlock = 0;
  for (int r = 0; r < 3; ++r) {
    const int64_t start = (nextFreeBlock + (r == 0 ? 0 : kGapBlocks)) * kBlockSize + startOffsets[r];
    const int64_t stop = start + lengths[r];
    layout.regions.push_back({static_cast<int32_t>(start / kBlockSize), static_cast<int32_t>(start % kBlockSize),
                              static_cast<int32_t>(stop / kBlockSize), static_cast<int32_t>(stop % kBlockSize)});
    nextFreeBlock = CeilDiv(stop, kBlockSize);
  }
  return layout;
}

int64_t StartOf(const RecordedRegion& r) { return int64_t{r.startBlock} * kBlockSize + r.startOffset; }
int64_t StopOf(const RecordedRegion& r) { return int64_t{r.stopBlock} * kBlockSize + r.stopOffset; }

}  // namespace

ScaleRecording::ScaleRecording(int64_t positions) : positions_(positions) {
  if (positions < kMinimumPositions) throw std::invalid_argument("scale recording too small");
  layout_ = Regions(positions);
  for (int c = 0; c < kSyncChannels; ++c) {
    ScaleSyncChannel channel;
    channel.name = "Sync " + std::to_string(c);
    channel.dataType = c % 3 == 0 ? kTypeInt16 : c % 3 == 1 ? kTypeFloat : kTypeDouble;
    channel.sampleBytes = channel.dataType == kTypeInt16 ? 2 : channel.dataType == kTypeFloat ? 4 : 8;
    channel.srDiv = c % 8 == 5 ? 2 : c % 8 == 7 ? 10 : 1;
    sync_.push_back(channel);
    LayoutChannel layout;
    layout.valueBytes = channel.sampleBytes;
    layout.srDiv = channel.srDiv;
    layout.doublePrecision = channel.dataType == kTypeDouble;
    layoutChannels_.push_back(layout);
  }
  for (int a = 0; a < kAsyncChannels; ++a) {
    async_.push_back({"Async " + std::to_string(a), kAsyncSteps[a], a % 2 == 0 ? 512u : 4096u});
    LayoutChannel layout;
    layout.asyncIndex = a;
    layoutChannels_.push_back(layout);
  }
  online_ = PlanOnlineLayout(kBlockSize, layoutChannels_);
}

int64_t ScaleRecording::PositionsForFileBytes(int64_t fileBytes) {
  const ScaleRecording plan(kMinimumPositions);
  double perPosition = static_cast<double>(plan.online_.blockBytes) / kBlockSize;
  double absRate = kBlockSize;
  for (int level = 0; level < kLevels; ++level, absRate *= kIBRate) {
    perPosition += plan.online_.recordBytes[static_cast<size_t>(level)] / absRate;
  }
  for (int32_t step : kAsyncSteps) perPosition += static_cast<double>(8 + kTimestampBytes) / step;
  perPosition *= 1.0 + static_cast<double>(kPageHeaderBytes) / kPagePayload;
  return std::max(kMinimumPositions, static_cast<int64_t>(static_cast<double>(fileBytes) / perPosition));
}

double ScaleRecording::sampleRate() const noexcept { return kSampleRate; }
double ScaleRecording::Scale(int channel) noexcept { return 1.0 + channel / 64.0; }
double ScaleRecording::Offset(int channel) noexcept { return -0.5 * channel; }

int64_t ScaleRecording::SyncSampleCount(int c) const {
  const int64_t div = sync_.at(static_cast<size_t>(c)).srDiv;
  int64_t count = 0;
  for (const RecordedRegion& r : layout_.regions) count += CeilDiv(StopOf(r), div) - CeilDiv(StartOf(r), div);
  return count;
}

double ScaleRecording::SyncValue(int c, int64_t k) const {
  const ScaleSyncChannel& channel = sync_.at(static_cast<size_t>(c));
  for (const RecordedRegion& r : layout_.regions) {
    const int64_t first = CeilDiv(StartOf(r), channel.srDiv);
    const int64_t count = CeilDiv(StopOf(r), channel.srDiv) - first;
    if (k < count) return SyncNumber(channel.dataType, c, SyncPhase(c, first + k));
    k -= count;
  }
  throw std::out_of_range("no such sample");
}

int64_t ScaleRecording::RecordingPosition(int64_t recorded) const {
  for (const RecordedRegion& r : layout_.regions) {
    const int64_t length = StopOf(r) - StartOf(r);
    if (recorded < length) return StartOf(r) + recorded;
    recorded -= length;
  }
  throw std::out_of_range("position beyond the regions");
}

// Sample j lies somewhere in the j-th run of `step` recorded positions.
int64_t ScaleRecording::AsyncPosition(int a, int64_t j) const {
  const int64_t step = async_.at(static_cast<size_t>(a)).step;
  const auto jitter = static_cast<int64_t>(Mix(static_cast<uint64_t>(j) ^ (uint64_t(a) << 56)) % uint64_t(step));
  return RecordingPosition(j * step + jitter);
}

int64_t ScaleRecording::AsyncSampleCount(int a) const {
  int64_t recorded = 0;
  for (const RecordedRegion& r : layout_.regions) recorded += StopOf(r) - StartOf(r);
  return recorded / async_.at(static_cast<size_t>(a)).step;
}

double ScaleRecording::AsyncValue(int a, int64_t j) const { return AsyncNumber(a, AsyncPhase(a, AsyncPosition(a, j))); }

// Up to 0.9 of a position after the sample's position: irregular, increasing, and
// before the stop of its region.
double ScaleRecording::AsyncTime(int a, int64_t j) const {
  const uint64_t bits = Mix(static_cast<uint64_t>(j) * 31 + static_cast<uint64_t>(a));
  const double late = 0.9 * static_cast<double>(bits >> 11) / static_cast<double>(uint64_t{1} << 53);
  return (static_cast<double>(AsyncPosition(a, j)) + late) / kSampleRate;
}

double ScaleRecording::FullRateValue(int channel, int64_t p) const {
  if (channel < kSyncChannels) {
    const ScaleSyncChannel& c = sync_.at(static_cast<size_t>(channel));
    return SyncNumber(c.dataType, channel, SyncPhase(channel, p / c.srDiv));
  }
  const int a = channel - kSyncChannels;
  return AsyncNumber(a, AsyncPhase(a, p));
}

int64_t ScaleRecording::ReducedRecordCount(int level) const {
  const int32_t recordBytes = online_.recordBytes.at(static_cast<size_t>(level));
  return ReducedLevelSource(layout_, level, recordBytes, {}).size() / recordBytes;
}

int64_t ScaleRecording::TriggerCount() const {
  int64_t count = 0;
  for (const RecordedRegion& r : layout_.regions) count += (StopOf(r) - StartOf(r) - 1) / kTriggerSpacing;
  return count;
}

std::string ScaleRecording::SetupText() const {
  SetupBuilder setup;
  setup.Property("SampleRate", kSampleRate).Property("BlockSize", kBlockSize).Property("IBRate", kIBRate);
  setup.Property("StartStoreTime", 46000.25).Property("StartingIBLevel", 0);
  setup.MeasurementOnlineInfo(online_.blockBytes, online_.RecordBytes());
  for (int i = 0; i < kSyncChannels + kAsyncChannels; ++i) {
    const auto at = static_cast<size_t>(i);
    const bool async = i >= kSyncChannels;
    XmlNode& channel =
        async ? setup.AddChannel("AI;" + std::to_string(i), async_[at - kSyncChannels].name, kTypeDouble)
                    .Set("Async", true)
                    .Set("BitCount", 64)
              : setup.AddChannel("AI;" + std::to_string(i), sync_[at].name, sync_[at].dataType)
                    .Set("SRDiv", sync_[at].srDiv)
                    .Set("BitCount", sync_[at].sampleBytes * 8);  // doubles keep double-precision statistics
    // Range 10 makes an analogue input's factor 10 / Range x AmplScale x Scale the Scale.
    channel.Set("Range", kAnalogueRange).Set("Scale", Scale(i)).Set("Offset", Offset(i)).With(OnlineInfoRecord(layoutChannels_[at], online_.channels[at]));
  }
  return setup.Text();
}

std::vector<uint8_t> ScaleRecording::EventStream(const std::vector<std::vector<int32_t>>& levelOffsets) const {
  EventStreamWriter writer(kEventStreamVersion, false);
  for (size_t r = 0; r < layout_.regions.size(); ++r) {
    const RecordedRegion& region = layout_.regions[r];
    writer.AddStart(region.startBlock, region.startOffset, levelOffsets[r]);
    for (int64_t p = StartOf(region) + kTriggerSpacing; p < StopOf(region); p += kTriggerSpacing) {
      EventRecord trigger;
      trigger.type = kTriggerEventType;
      trigger.block = static_cast<int32_t>(p / kBlockSize);
      trigger.offset = static_cast<int32_t>(p % kBlockSize);
      trigger.text = "T";
      writer.Add(trigger);
    }
    writer.AddStop(region.stopBlock, region.stopOffset);
  }
  return writer.Finish();
}

StreamedMultiStream ScaleRecording::Write(const std::string& path) const {
  std::vector<GeneratedSyncChannel> blocksOf;
  std::vector<GeneratedReducedChannel> statisticsOf;
  for (int c = 0; c < kSyncChannels + kAsyncChannels; ++c) {
    const ChannelPlacement& placement = online_.channels[static_cast<size_t>(c)];
    GeneratedReducedChannel reduced;
    reduced.itemOffsets = placement.ibOffsets;
    reduced.doublePrecision = layoutChannels_[static_cast<size_t>(c)].doublePrecision;
    if (c >= kSyncChannels) {
      const int a = c - kSyncChannels;
      reduced.values = [a](int64_t first, int64_t count, double* out) {
        const int64_t slope = 2 * a + 5;
        for (int64_t i = 0, phase = AsyncPhase(a, first); i < count; ++i) {
          out[i] = AsyncNumber(a, phase);
          phase += slope;
          if (phase >= kAsyncPeriod) phase -= kAsyncPeriod;
        }
      };
      statisticsOf.push_back(std::move(reduced));
      continue;
    }
    const ScaleSyncChannel channel = sync_[static_cast<size_t>(c)];
    blocksOf.push_back({placement.dbOffset, channel.sampleBytes, channel.srDiv,
                        [channel, c](int64_t first, int64_t count, uint8_t* out) {
                          for (int64_t i = 0, phase = SyncPhase(c, first); i < count; ++i) {
                            const double value = SyncNumber(channel.dataType, c, phase);
                            switch (channel.dataType) {
                              case kTypeInt16: Store(out, static_cast<int16_t>(value)); break;
                              case kTypeFloat: Store(out, static_cast<float>(value)); break;
                              default: Store(out, value); break;
                            }
                            out += channel.sampleBytes;
                            phase += c + 3;
                            if (phase >= kSyncPeriod) phase -= kSyncPeriod;
                          }
                        }});
    reduced.values = [channel, c](int64_t first, int64_t count, double* out) {
      int64_t sample = first / channel.srDiv;
      int64_t within = first % channel.srDiv;
      for (int64_t i = 0, phase = SyncPhase(c, sample); i < count; ++i) {
        out[i] = SyncNumber(channel.dataType, c, phase);
        if (++within == channel.srDiv) {
          within = 0;
          phase += c + 3;
          if (phase >= kSyncPeriod) phase -= kSyncPeriod;
        }
      }
    };
    statisticsOf.push_back(std::move(reduced));
  }

  DataBlockSource blocks(layout_, online_.blockBytes, std::move(blocksOf));
  std::vector<std::unique_ptr<ReducedLevelSource>> levels;
  std::vector<std::vector<int32_t>> levelOffsets(layout_.regions.size());
  for (int level = 0; level < kLevels; ++level) {
    levels.push_back(std::make_unique<ReducedLevelSource>(
        layout_, level, online_.recordBytes[static_cast<size_t>(level)], statisticsOf));
    for (size_t r = 0; r < layout_.regions.size(); ++r) {
      levelOffsets[r].push_back(levels.back()->regionFirstRecord()[r]);
    }
  }
  std::vector<GeneratedIndexChannel> indexed;
  for (int a = 0; a < kAsyncChannels; ++a) {
    GeneratedIndexChannel channel;
    channel.channelIndex = static_cast<uint32_t>(a);
    channel.valueSize = 8;
    channel.samples = AsyncSampleCount(a);
    channel.leafCapacity = async_[static_cast<size_t>(a)].leafCapacity;
    channel.timestamp = [this, a](int64_t j) { return AsyncTime(a, j); };
    channel.values = [this, a](int64_t first, int64_t count, uint8_t* out) {
      for (int64_t j = first; j < first + count; ++j, out += 8) Store(out, AsyncValue(a, j));
    };
    indexed.push_back(std::move(channel));
  }
  StreamedAsyncIndex index(std::move(indexed));

  StreamedRecording recording;
  recording.setupText = SetupText();
  recording.events = EventStream(levelOffsets);
  recording.streams.push_back(blocks.Source("DBDATA", kPagePayload));
  for (int level = 0; level < kLevels; ++level) {
    recording.streams.push_back(levels[static_cast<size_t>(level)]->Source("IBDATA" + std::to_string(level), kPagePayload));
  }
  for (StreamSource& source : index.Sources(kPagePayload)) recording.streams.push_back(std::move(source));
  return WriteRecordingStreamed(path, recording);
}

}  // namespace Korvane::DataReader::TestKit
