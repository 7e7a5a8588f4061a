// Asynchronous samples of channels without a timestamp index: one block per stored
// reduced record of the channel's first stored level. The record carries a 24-byte
// tail with the block's sample count, the samples up to and including the block,
// and where the block lies in the data stream: its values, then one float per
// sample, the sample's seconds after the block's time. A block costs three pieces
// (tail, times, and the values the window takes), read through forward windows of
// the streams, since a channel's tails and blocks follow each other.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "common/LittleEndian.h"
#include "engine/CDataLoadEngine.h"
#include "engine/ReducedItem.h"
#include "engine/SampleOutput.h"
#include "engine/StoredReads.h"
#include "engine/StreamWindows.h"
#include "multistream/CBaseStream.h"
#include "multistream/CStreamContainer.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {

namespace {

// The tail of a block, little-endian.
struct LegacyTailLayout {
  static constexpr int64_t kCount = 0;       // i32 samples in the block
  static constexpr int64_t kCumulative = 8;  // i64 samples up to and including the block
  static constexpr int64_t kPosition = 16;   // i64 block data after the data start
  static constexpr int64_t kBytes = 24;
};
constexpr int64_t kTimeBytes = 4;  // f32 seconds after the block's time
static_assert(sizeof(float) == kTimeBytes);

constexpr char kLegacyDataPrefix[] = "DBASDAT";

std::string CodeOf(const char* field, size_t capacity) { return std::string(field, strnlen(field, capacity)); }

// Reads `length` bytes at `position` through the stream's windows; a range outside
// the stream is FileCorruptException(what).
void ReadThrough(StreamWindows& windows, int64_t position, void* out, int64_t length, const char* what) {
  if (position < 0 || length < 0 ||
      !windows.Read(static_cast<uint64_t>(position), out, static_cast<uint64_t>(length))) {
    throw FileCorruptException(what);
  }
}

// The seconds of `count` samples whose float times lie at `position`: each float
// plus the block's time, straight from the window that holds them.
void PutBlockTimes(StreamWindows& windows, int64_t position, int64_t count, double blockTime, double* out,
                   std::vector<float>& scratch) {
  const int64_t bytes = count * kTimeBytes;
  const uint8_t* floats = position >= 0 ? windows.View(static_cast<uint64_t>(position), static_cast<uint64_t>(bytes))
                                        : nullptr;
  if (floats == nullptr) {
    scratch.resize(static_cast<size_t>(count));
    ReadThrough(windows, position, scratch.data(), bytes, "legacy times");
    floats = reinterpret_cast<const uint8_t*>(scratch.data());
  }
  for (int64_t i = 0; i < count; ++i) {
    float offset;
    std::memcpy(&offset, floats + i * kTimeBytes, sizeof offset);
    out[i] = static_cast<double>(offset) + blockTime;
  }
}

int ClampBlock(int64_t block) noexcept {
  return static_cast<int>(std::clamp<int64_t>(block, 0, std::numeric_limits<int>::max()));
}

}  // namespace

struct CDataLoadEngine::LegacyAsyncSource {
  MultiStream::CBaseStream* tails = nullptr;  // the reduced stream holding the tails
  MultiStream::CBaseStream* data = nullptr;
  int64_t firstTail = 0;
  int64_t stride = 0;
  int64_t dataStart = 0;
  int64_t valueBytes = 0;  // one sample: every array element
  int64_t blocks = 0;      // tails the reduced stream holds whole
  StreamWindows* tailWindows = nullptr;
  StreamWindows* dataWindows = nullptr;

  // Every sample of the channel has its value and time in the data stream: no
  // count can be larger.
  int64_t mostSamples = 0;

  bool Stored() const noexcept { return tails != nullptr && data != nullptr; }
};

StreamWindows& CDataLoadEngine::LegacyWindows(MultiStream::CBaseStream* stream) const {
  std::unique_ptr<StreamWindows>& windows = legacyWindows_[stream];
  if (!windows) windows = std::make_unique<StreamWindows>(stream, &windowBudget_);
  return *windows;
}

struct CDataLoadEngine::LegacyBlock {
  int64_t count = 0;
  int64_t cumulative = 0;
  int64_t values = 0;  // stream position of the block's first value

  int64_t Before() const noexcept { return cumulative - count; }
  int64_t Times(int64_t valueBytes) const noexcept { return values + count * valueBytes; }
};

CDataLoadEngine::LegacyAsyncSource CDataLoadEngine::LegacySourceOf(const CKVChannel& storage) const {
  LegacyAsyncSource source;
  const int level = ChannelLevel(&storage);
  const int64_t tailOffset = CalculateReducedRecAsyncOffset(storage);
  source.valueBytes = CheckedMul(storage.GetSampleBytes(), storage.GetArraySize(), "sample size");
  if (source.valueBytes <= 0) throw FileCorruptException("sample size");
  if (HasOfflineData(&storage)) {
    const CKVOfflineInfo& offline = *storage.OfflineInfo;
    source.tails = container_->StreamByCode(CodeOf(offline.IBStreamName[level], sizeof offline.IBStreamName[level]).c_str());
    source.data = container_->StreamByCode(CodeOf(offline.DBStreamName, sizeof offline.DBStreamName).c_str());
    source.firstTail = CheckedAdd(offline.PosInIBStream[level], tailOffset, "PosInIBStream");
    source.stride = tailOffset + LegacyTailLayout::kBytes;
    source.dataStart = offline.PosInDBStream;
  } else {
    if (storage.OnlineInfo == nullptr) return source;
    source.tails = streams_[kLevelSlot + level];
    source.data = level < kLegacyAsyncStreamCount
                      ? streams_[kLegacyAsyncSlot + level]
                      : container_->StreamByCode((kLegacyDataPrefix + std::to_string(level)).c_str());
    source.firstTail = CheckedAdd(storage.OnlineInfo->IBOffset[level], tailOffset, "IBOffset");
    source.stride = LevelRecordBytes(level);
    source.dataStart = 0;
    // The tail must lie inside the channel's record.
    if (source.firstTail > source.stride - LegacyTailLayout::kBytes) throw FileCorruptException("IBOffset");
  }
  if (!source.Stored()) return source;
  source.tailWindows = &LegacyWindows(source.tails);
  source.dataWindows = &LegacyWindows(source.data);
  if (source.firstTail < 0 || source.stride < LegacyTailLayout::kBytes) throw FileCorruptException("tail position");
  if (source.dataStart < 0) throw FileCorruptException("PosInDBStream");
  source.mostSamples = std::max<int64_t>(0, source.data->Size() - source.dataStart) / (source.valueBytes + kTimeBytes);
  const int64_t size = source.tails->Size();
  if (size - LegacyTailLayout::kBytes >= source.firstTail) {
    source.blocks = (size - LegacyTailLayout::kBytes - source.firstTail) / source.stride + 1;
  }
  return source;
}

CDataLoadEngine::LegacyBlock CDataLoadEngine::ReadLegacyTail(const LegacyAsyncSource& source, int64_t block) const {
  if (block < 0 || block >= source.blocks) throw FileCorruptException("legacy block");
  uint8_t tail[LegacyTailLayout::kBytes];
  ReadThrough(*source.tailWindows, source.firstTail + block * source.stride, tail, sizeof tail, "legacy tail");
  LegacyBlock result;
  result.count = LoadI32(tail + LegacyTailLayout::kCount);
  result.cumulative = LoadI64(tail + LegacyTailLayout::kCumulative);
  const int64_t position = LoadI64(tail + LegacyTailLayout::kPosition);
  if (result.count < 0 || result.cumulative < result.count || position < 0) throw FileCorruptException("legacy tail");
  // Counts beyond what the data stream holds are damaged and would number samples
  // the file cannot hold.
  if (result.cumulative > source.mostSamples) throw FileCorruptException("legacy tail");
  result.values = CheckedAdd(source.dataStart, position, "legacy block position");
  // The whole block, values and times, must lie in the data stream.
  const int64_t bytes = CheckedMul(result.count, source.valueBytes + kTimeBytes, "legacy block size");
  if (result.values > source.data->Size() - bytes) throw FileCorruptException("legacy block position");
  return result;
}

void CDataLoadEngine::ReadLegacyTimes(const LegacyAsyncSource& source, const LegacyBlock& block,
                                      std::vector<float>& times) const {
  times.resize(static_cast<size_t>(block.count));
  if (block.count > 0) {
    ReadThrough(*source.dataWindows, block.Times(source.valueBytes), times.data(), block.count * kTimeBytes,
                "legacy times");
  }
}

int64_t CDataLoadEngine::LegacyAsyncSamplesCount(const CKVChannel& storage, int firstRegion, int lastRegion) const {
  const LegacyAsyncSource source = LegacySourceOf(storage);
  if (!source.Stored()) return 0;
  int64_t count = 0;
  for (int region = firstRegion; region <= lastRegion; ++region) {
    count += getAsyncSampleCountInEventRegion(source, storage, region);
    // The regions do not overlap: together they hold no more than the channel.
    if (count > source.mostSamples) throw FileCorruptException("legacy count");
  }
  return count;
}

int64_t CDataLoadEngine::getAsyncSampleCountInEventRegion(const LegacyAsyncSource& source, const CKVChannel& storage,
                                                          int region) const {
  int first = 0;
  int last = 0;
  getChBlockNoForStartStopEvent(region, &storage, first, last);
  if (last < first || first >= source.blocks) return 0;
  const int64_t maxBlock = std::min<int64_t>(getChMaxBlockNo(&storage), source.blocks - 1);
  const int64_t beforeStop =
      getAsyncSampleCountToTimestamp(source, storage, region, getEventStopTime(region), last, maxBlock);
  const int64_t beforeStart =
      getAsyncSampleCountToTimestamp(source, storage, region, getEventStartTime(region), first, maxBlock);
  return std::max<int64_t>(0, beforeStop - beforeStart);
}

// From the block given, steps back to a block that starts no later than t, counts
// the samples before t there, and steps forward once when all of that block lies
// before t (the next block may begin before t too).
int64_t CDataLoadEngine::getAsyncSampleCountToTimestamp(const LegacyAsyncSource& source, const CKVChannel& storage,
                                                        int region, double t, int64_t block, int64_t maxBlock) const {
  maxBlock = std::min(maxBlock, source.blocks - 1);
  int64_t b = std::min(block, maxBlock);
  if (b < 0) return 0;
  auto blockTime = [&](int64_t k) { return getBlockTS(&storage, region, ClampBlock(k)); };
  if (blockTime(b) > t) {
    // Block times grow with the block: the last block starting no later than t.
    int64_t low = 0;
    int64_t high = b;
    while (low < high) {
      const int64_t middle = low + (high - low + 1) / 2;
      if (blockTime(middle) > t) high = middle - 1;
      else low = middle;
    }
    b = low;
  }
  std::vector<float> times;
  for (bool steppedForward = false;; steppedForward = true) {
    const LegacyBlock tail = ReadLegacyTail(source, b);
    ReadLegacyTimes(source, tail, times);
    const double time = blockTime(b);
    int64_t below = 0;
    for (const float offset : times) below += static_cast<double>(offset) + time < t ? 1 : 0;
    const int64_t result = tail.Before() + below;
    if (result != tail.cumulative || steppedForward || b + 1 > maxBlock || blockTime(b + 1) > t) return result;
    ++b;
  }
}

// Walks the regions from the first (or the one the query stopped in) and their
// blocks; per block the samples inside the region are numbered, and those the
// window takes are read with one read of their values.
void CDataLoadEngine::ReadLegacyAsyncSamples(const CKVChannel& storage, const AsyncWindow& window,
                                             TAsyncSamplesQuery& query, SampleOutput& output) {
  const LegacyAsyncSource source = LegacySourceOf(storage);
  if (!source.Stored()) return;
  const int64_t maxBlock = std::min<int64_t>(getChMaxBlockNo(&storage), source.blocks - 1);
  const int64_t end = SaturatingAdd(window.first, window.count);

  int64_t number = 0;  // the number of the next sample inside the regions
  int region = window.firstRegion;
  int64_t resumeBlock = -1;
  int64_t regionEnd = 0;  // the number of the first sample behind `region`
  if (Resumes(query, window)) {
    number = query.nextSample;
    region = query.region;
    resumeBlock = query.block;
    regionEnd = query.regionEnd;
  }
  query = TAsyncSamplesQuery{};
  query.firstRegion = window.firstRegion;
  query.lastRegion = window.lastRegion;

  std::vector<float> times;
  std::vector<double> stamps;
  std::vector<int64_t> taken;  // indexes in the block of the samples delivered
  std::vector<uint8_t> values;
  for (; region <= window.lastRegion && number < end; ++region, resumeBlock = -1) {
    int first = 0;
    int last = 0;
    getChBlockNoForStartStopEvent(region, &storage, first, last);
    const int64_t lastBlock = std::min<int64_t>(last, maxBlock);
    if (lastBlock < first) continue;
    int64_t block = resumeBlock >= 0 ? resumeBlock : first;
    if (resumeBlock < 0) {
      // A region delivers no more samples than its count: where damaged blocks
      // hold more time stamps inside it than their counts say, a host that sized
      // its buffers by the count would be overrun.
      // (The region's count as getAsyncSampleCountInEventRegion takes it, keeping
      // the samples before its start for the search below.)
      const int64_t beforeStart =
          getAsyncSampleCountToTimestamp(source, storage, region, getEventStartTime(region), first, maxBlock);
      const int64_t inRegion = std::max<int64_t>(
          0, getAsyncSampleCountToTimestamp(source, storage, region, getEventStopTime(region), last, maxBlock) -
                 beforeStart);
      regionEnd = number + inRegion;
      if (number < window.first) {
        // A region wholly before the window is counted, not read; in the region
        // holding the window's first sample, the block holding it is searched.
        if (number + inRegion <= window.first) {
          number += inRegion;
          continue;
        }
        const int64_t target = beforeStart + (window.first - number);
        int64_t low = first;
        int64_t high = lastBlock;
        while (low < high) {
          const int64_t middle = low + (high - low + 1) / 2;
          if (ReadLegacyTail(source, middle).Before() > target) high = middle - 1;
          else low = middle;
        }
        if (low > first) {
          number += std::max<int64_t>(0, ReadLegacyTail(source, low).Before() - beforeStart);
          block = low;
        }
      }
    }
    const double start = getEventStartTime(region);
    const double stop = getEventStopTime(region);
    for (; block <= lastBlock && number < end && number < regionEnd; ++block) {
      const LegacyBlock tail = ReadLegacyTail(source, block);
      query.nextSample = number;
      query.region = region;
      query.regionEnd = regionEnd;
      query.block = static_cast<int>(std::min<int64_t>(block, std::numeric_limits<int>::max()));
      if (tail.count == 0) continue;
      const double blockTime = getBlockTS(&storage, region, ClampBlock(block));
      // A block between the region's first and last lies inside it: all of its
      // samples count (as the region's count takes them from the cumulative counts),
      // numbered in stored order, and the run the window takes is one piece.
      if (block > first && block < lastBlock) {
        const int64_t skip = std::clamp<int64_t>(window.first - number, 0, tail.count);
        const int64_t take = std::min({tail.count - skip, end - (number + skip), regionEnd - (number + skip)});
        number += skip;
        if (take <= 0) continue;
        if (double* slot = output.TimeStampSlot()) {
          PutBlockTimes(*source.dataWindows, tail.Times(source.valueBytes) + skip * kTimeBytes, take, blockTime, slot,
                        times);
        }
        const int64_t at = tail.values + skip * source.valueBytes;
        if (uint8_t* destination = output.PlainCopyDestination()) {
          ReadThrough(*source.dataWindows, at, destination, take * source.valueBytes, "legacy values");
          output.PutInPlace(take);
        } else if (const uint8_t* held = source.dataWindows->View(static_cast<uint64_t>(at),
                                                                  static_cast<uint64_t>(take * source.valueBytes))) {
          output.PutTimed(held, take, nullptr);
        } else {
          values.resize(static_cast<size_t>(take * source.valueBytes));
          ReadThrough(*source.dataWindows, at, values.data(), take * source.valueBytes, "legacy values");
          output.PutTimed(values.data(), take, nullptr);
        }
        number += take;
        continue;
      }
      ReadLegacyTimes(source, tail, times);
      stamps.clear();
      taken.clear();
      for (int64_t i = 0; i < tail.count && number < end && number < regionEnd; ++i) {
        const double stamp = static_cast<double>(times[static_cast<size_t>(i)]) + blockTime;
        if (stamp < start || stamp >= stop) continue;
        if (number++ < window.first) continue;
        stamps.push_back(stamp);
        taken.push_back(i);
      }
      if (taken.empty()) continue;
      // One read from the first sample taken to the last; they follow each other
      // unless the block's times are out of order.
      const int64_t span = taken.back() - taken.front() + 1;
      values.resize(static_cast<size_t>(span * source.valueBytes));
      ReadThrough(*source.dataWindows, tail.values + taken.front() * source.valueBytes, values.data(),
                  span * source.valueBytes, "legacy values");
      for (size_t run = 0; run < taken.size();) {
        size_t next = run + 1;
        while (next < taken.size() && taken[next] == taken[next - 1] + 1) ++next;
        output.PutTimed(values.data() + (taken[run] - taken.front()) * source.valueBytes,
                        static_cast<int64_t>(next - run), stamps.data() + run);
        run = next;
      }
    }
  }
}

}  // namespace Korvane::DataReader
