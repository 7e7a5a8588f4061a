// Builders of the measurement data streams, from the writer's own layout constants.
#include "testkit/MeasurementDataWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {

namespace {

// A reduced item: minimum, maximum, average and RMS, each 8 or 4 bytes.
constexpr int kItemValues = 4;
// "SVINFO" entry: i32 position in "SVDATA2", i32 stored word.
constexpr size_t kSingleValueInfoBytes = 8;
constexpr size_t kSingleValueStoredOffset = 4;

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

void Put(std::vector<uint8_t>& bytes, size_t position, const std::vector<uint8_t>& data) {
  if (position + data.size() > bytes.size()) throw std::invalid_argument("item outside its record");
  std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

int64_t SampleBytes(const SyncChannelSamples& channel) {
  return static_cast<int64_t>(channel.sampleBytes) * channel.arraySize;
}

void CheckDivider(const DataLayout& layout, const SyncChannelSamples& channel) {
  if (channel.srDiv < 1 || layout.blockSize % channel.srDiv != 0 || channel.sampleBytes < 1 || channel.arraySize < 1) {
    throw std::invalid_argument("the divider must divide the block size");
  }
}

// The channel's slice of recording block `block`: blockSize / srDiv samples.
std::vector<uint8_t> Slice(const DataLayout& layout, const SyncChannelSamples& channel, int64_t block) {
  const int64_t perBlock = layout.blockSize / channel.srDiv;
  const int64_t sampleBytes = SampleBytes(channel);
  std::vector<uint8_t> slice(static_cast<size_t>(perBlock * sampleBytes), 0);
  const int64_t first = block * perBlock;
  for (int64_t j = 0; j < perBlock; ++j) {
    const auto source = static_cast<size_t>((first + j) * sampleBytes);
    if (source + static_cast<size_t>(sampleBytes) > channel.samples.size()) break;
    std::memcpy(slice.data() + j * sampleBytes, channel.samples.data() + source, static_cast<size_t>(sampleBytes));
  }
  return slice;
}

// Calls visit(storedIndex, recordingBlock) for every stored block of every region;
// a block shared by two regions is visited for both (with the same content).
template <class Visit>
void ForEachStoredBlock(const DataLayout& layout, Visit visit) {
  for (size_t r = 0; r < layout.regions.size(); ++r) {
    const int64_t base = layout.StoredBlockBase(r);
    for (int64_t j = 0; j < layout.StoredBlocks(r); ++j) visit(base + j, layout.regions[r].startBlock + j);
  }
}

// Full-rate positions [first, second) of one region inside one reduced interval.
using PositionRange = std::pair<int64_t, int64_t>;

// The statistics over the recorded positions of one interval (one range, or two
// when a region stops and the next starts inside the interval).
std::vector<uint8_t> Item(const std::vector<double>& values, const std::vector<PositionRange>& ranges,
                          bool doublePrecision) {
  double minimum = 0;
  double maximum = 0;
  double sum = 0;
  double squares = 0;
  int64_t count = 0;
  for (const auto& [from, to] : ranges) {
    for (int64_t p = std::max<int64_t>(from, 0); p < to && p < static_cast<int64_t>(values.size()); ++p) {
      const double x = values[static_cast<size_t>(p)];
      minimum = count == 0 ? x : std::min(minimum, x);
      maximum = count == 0 ? x : std::max(maximum, x);
      sum += x;
      squares += x * x;
      ++count;
    }
  }
  const double average = count > 0 ? sum / static_cast<double>(count) : 0;
  const double rms = count > 0 ? std::sqrt(squares / static_cast<double>(count)) : 0;
  const std::vector<double> item = {minimum, maximum, average, rms};
  static_assert(kItemValues == 4);
  return doublePrecision ? EncodeDoubles(item) : EncodeFloats(item);
}

}  // namespace

int64_t DataLayout::StoredBlocks(size_t region) const {
  const RecordedRegion& r = regions.at(region);
  const int64_t blocks = static_cast<int64_t>(r.stopBlock) - r.startBlock + (r.stopOffset > 0 ? 1 : 0);
  return std::max<int64_t>(blocks, 0);
}

int64_t DataLayout::StoredBlockBase(size_t region) const {
  int64_t stored = 0;
  int64_t end = 0;  // recording block behind the last stored one
  int64_t base = 0;
  for (size_t i = 0; i <= region; ++i) {
    const int64_t start = regions.at(i).startBlock;
    base = stored - std::max<int64_t>(end - start, 0);
    stored = base + StoredBlocks(i);
    end = start + StoredBlocks(i);
  }
  return base;
}

int64_t DataLayout::StoredBlockCount() const {
  int64_t count = 0;
  for (size_t r = 0; r < regions.size(); ++r) count = std::max(count, StoredBlockBase(r) + StoredBlocks(r));
  return count;
}

int64_t DataLayout::MidRate(int level) const {
  int64_t rate = 1;
  for (int i = 0; i < level; ++i) rate *= ibRate;
  return rate;
}

std::vector<uint8_t> EncodeDoubles(const std::vector<double>& values) {
  ByteWriter out;
  for (double value : values) out.F64(value);
  return out.Take();
}

std::vector<uint8_t> EncodeFloats(const std::vector<double>& values) {
  ByteWriter out;
  for (double value : values) out.F32(static_cast<float>(value));
  return out.Take();
}

std::vector<uint8_t> EncodeInt16(const std::vector<int16_t>& values) {
  ByteWriter out;
  for (int16_t value : values) out.I16(value);
  return out.Take();
}

std::vector<uint8_t> BuildDataBlocks(const DataLayout& layout, int32_t blockBytes,
                                     const std::vector<SyncChannelSamples>& channels) {
  for (const SyncChannelSamples& channel : channels) CheckDivider(layout, channel);
  std::vector<uint8_t> stream(static_cast<size_t>(layout.StoredBlockCount() * blockBytes), 0);
  ForEachStoredBlock(layout, [&](int64_t stored, int64_t block) {
    std::vector<uint8_t> image(static_cast<size_t>(blockBytes), 0);
    for (const SyncChannelSamples& channel : channels) {
      Put(image, static_cast<size_t>(channel.dbOffset), Slice(layout, channel, block));
    }
    Put(stream, static_cast<size_t>(stored * blockBytes), image);
  });
  return stream;
}

std::vector<uint8_t> BuildOwnDataStream(const DataLayout& layout, const SyncChannelSamples& channel,
                                        size_t leadingBytes) {
  CheckDivider(layout, channel);
  const int64_t sliceBytes = layout.blockSize / channel.srDiv * SampleBytes(channel);
  std::vector<uint8_t> stream(leadingBytes + static_cast<size_t>(layout.StoredBlockCount() * sliceBytes), 0);
  std::fill(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(leadingBytes), 0xEE);
  ForEachStoredBlock(layout, [&](int64_t stored, int64_t block) {
    Put(stream, leadingBytes + static_cast<size_t>(stored * sliceBytes), Slice(layout, channel, block));
  });
  return stream;
}

std::vector<int64_t> RegionSampleIndexes(const DataLayout& layout, int32_t srDiv, bool ownStream) {
  std::vector<int64_t> indexes;
  for (const RecordedRegion& region : layout.regions) {
    const int64_t start = static_cast<int64_t>(region.startBlock) * layout.blockSize + region.startOffset;
    const int64_t stop = static_cast<int64_t>(region.stopBlock) * layout.blockSize + region.stopOffset;
    const int64_t first = ownStream ? FloorDiv(start, srDiv) : CeilDiv(start, srDiv);
    const int64_t end = ownStream ? first + std::max<int64_t>(stop - start, 0) / srDiv : CeilDiv(stop, srDiv);
    for (int64_t i = first; i < end; ++i) indexes.push_back(i);
  }
  return indexes;
}

StoredLevel StoredIntervals(const DataLayout& layout, int level) {
  StoredLevel stored;
  const int64_t mid = layout.MidRate(level);
  const int64_t absRate = mid * layout.blockSize;
  std::vector<StoredInterval>& intervals = stored.intervals;
  for (size_t r = 0; r < layout.regions.size(); ++r) {
    const RecordedRegion& region = layout.regions[r];
    const int64_t startPos = static_cast<int64_t>(region.startBlock) * layout.blockSize + region.startOffset;
    const int64_t stopPos = static_cast<int64_t>(region.stopBlock) * layout.blockSize + region.stopOffset;
    const int64_t first = region.startBlock / mid;
    const int64_t end = CeilDiv(region.startBlock + layout.StoredBlocks(r), mid);
    // A region that starts in the interval where the previous one stopped adds its
    // samples to that interval's record instead of storing the interval again.
    const bool shared = !intervals.empty() && intervals.back().interval == first && first < end;
    stored.regionFirstRecord.push_back(static_cast<int32_t>(intervals.size() - (shared ? 1 : 0)));
    for (int64_t interval = first; interval < end; ++interval) {
      const PositionRange range{std::max(interval * absRate, startPos), std::min((interval + 1) * absRate, stopPos)};
      if (shared && interval == first) {
        intervals.back().ranges.push_back(range);
      } else {
        intervals.push_back({interval, {range}});
      }
    }
  }
  return stored;
}

ReducedLevelStream BuildReducedLevel(const DataLayout& layout, int level, int32_t recordBytes,
                                     const std::vector<ReducedChannelValues>& channels) {
  const StoredLevel stored = StoredIntervals(layout, level);
  ReducedLevelStream result;
  result.regionFirstRecord = stored.regionFirstRecord;
  for (const StoredInterval& interval : stored.intervals) {
    std::vector<uint8_t> record(static_cast<size_t>(recordBytes), 0);
    for (const ReducedChannelValues& channel : channels) {
      Put(record, static_cast<size_t>(channel.itemOffsets[static_cast<size_t>(level)]),
          Item(channel.values, interval.ranges, channel.doublePrecision));
    }
    result.bytes.insert(result.bytes.end(), record.begin(), record.end());
  }
  return result;
}

std::vector<uint8_t> BuildOwnReducedStream(const DataLayout& layout, int level, const ReducedChannelValues& channel,
                                           size_t leadingBytes, size_t tailBytes) {
  ReducedChannelValues alone = channel;
  alone.itemOffsets.fill(0);
  const int32_t itemBytes = kItemValues * (channel.doublePrecision ? 8 : 4);
  const ReducedLevelStream items =
      BuildReducedLevel(layout, level, itemBytes + static_cast<int32_t>(tailBytes), {alone});
  std::vector<uint8_t> stream(leadingBytes, 0xEE);
  stream.insert(stream.end(), items.bytes.begin(), items.bytes.end());
  return stream;
}

std::vector<std::vector<int32_t>> RegionLevelOffsets(const std::vector<ReducedLevelStream>& levels,
                                                      size_t regionCount) {
  std::vector<std::vector<int32_t>> offsets(regionCount);
  for (size_t r = 0; r < regionCount; ++r) {
    for (const ReducedLevelStream& level : levels) {
      offsets[r].push_back(r < level.regionFirstRecord.size() ? level.regionFirstRecord[r] : 0);
    }
  }
  return offsets;
}

SingleValueStreams BuildSingleValueStreams(const std::vector<SingleValueEntry>& entries) {
  SingleValueStreams streams;
  size_t infoBytes = 0;
  for (const SingleValueEntry& entry : entries) {
    infoBytes = std::max(infoBytes, static_cast<size_t>(entry.infoOffset) + kSingleValueInfoBytes);
  }
  streams.info.assign(infoBytes, 0);
  for (const SingleValueEntry& entry : entries) {
    ByteWriter word;
    word.I32(static_cast<int32_t>(streams.data.size())).I32(entry.storedWord);
    Put(streams.info, static_cast<size_t>(entry.infoOffset), word.bytes());
    static_assert(kSingleValueStoredOffset == 4);
    streams.data.insert(streams.data.end(), entry.value.begin(), entry.value.end());
  }
  return streams;
}

std::vector<uint8_t> OwnSingleValue(bool stored, const std::vector<uint8_t>& value, size_t leadingBytes) {
  ByteWriter out;
  out.Zeros(leadingBytes).U8(stored ? 1 : 0).Bytes(value);
  return out.Take();
}

std::vector<uint8_t> OwnSingleText(bool stored, const std::string& text, size_t leadingBytes) {
  ByteWriter out;
  out.Zeros(leadingBytes).U8(stored ? 1 : 0).I32(static_cast<int32_t>(text.size())).Text(text);
  return out.Take();
}

}  // namespace Korvane::DataReader::TestKit
