// Block and record producers of the streamed measurement data, laid out by the same
// rules as the in-memory builders of MeasurementDataWriter.
#include "testkit/StreamedMeasurementData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace Korvane::DataReader::TestKit {
namespace {

constexpr int64_t kValueChunk = 4096;

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// Copies the bytes [offset, offset + count) of a stream made of equal units,
// building each unit it touches with build(unit) into `unit`.
template <class Build>
void FillFromUnits(int64_t offset, uint8_t* out, size_t count, int64_t unitBytes, std::vector<uint8_t>& unit,
                   int64_t& unitNumber, Build&& build) {
  while (count > 0) {
    const int64_t number = offset / unitBytes;
    const int64_t within = offset % unitBytes;
    if (number != unitNumber) {
      build(number);
      unitNumber = number;
    }
    const auto piece = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), unitBytes - within));
    std::memcpy(out, unit.data() + within, piece);
    out += piece;
    offset += static_cast<int64_t>(piece);
    count -= piece;
  }
}

}  // namespace

GeneratedSyncChannel GeneratedFrom(const SyncChannelSamples& channel) {
  const SyncChannelSamples* source = &channel;
  return {channel.dbOffset, channel.sampleBytes, channel.srDiv, [source](int64_t first, int64_t count, uint8_t* out) {
            const auto bytes = static_cast<int64_t>(source->sampleBytes) * source->arraySize;
            const auto stored = static_cast<int64_t>(source->samples.size()) / bytes;
            std::memset(out, 0, static_cast<size_t>(count * bytes));
            const int64_t available = std::clamp<int64_t>(stored - first, 0, count);
            if (available > 0) std::memcpy(out, source->samples.data() + first * bytes, static_cast<size_t>(available * bytes));
          }, channel.arraySize};
}

DataBlockSource::DataBlockSource(DataLayout layout, int32_t blockBytes, std::vector<GeneratedSyncChannel> channels)
    : layout_(std::move(layout)), blockBytes_(blockBytes), channels_(std::move(channels)) {
  for (size_t r = 0; r < layout_.regions.size(); ++r) regionBase_.push_back(layout_.StoredBlockBase(r));
  storedBlocks_ = layout_.StoredBlockCount();
  for (const GeneratedSyncChannel& channel : channels_) {
    if (channel.srDiv < 1 || layout_.blockSize % channel.srDiv != 0 || channel.arraySize < 1) {
      throw std::invalid_argument("the divider must divide the block size");
    }
    const int64_t sliceBytes =
        static_cast<int64_t>(layout_.blockSize / channel.srDiv) * channel.sampleBytes * channel.arraySize;
    if (channel.dbOffset < 0 || channel.dbOffset + sliceBytes > blockBytes_) {
      throw std::invalid_argument("slice outside its block");
    }
  }
  block_.resize(static_cast<size_t>(blockBytes_));
}

void DataBlockSource::BuildBlock(int64_t stored) {
  std::fill(block_.begin(), block_.end(), 0);
  // Stored blocks follow the regions in order; a block two regions share holds the
  // same recording block for both.
  int64_t block = -1;
  for (size_t r = 0; r < layout_.regions.size(); ++r) {
    if (stored >= regionBase_[r] && stored < regionBase_[r] + layout_.StoredBlocks(r)) {
      block = layout_.regions[r].startBlock + (stored - regionBase_[r]);
    }
  }
  if (block < 0) return;  // not part of any region: zeros
  for (const GeneratedSyncChannel& channel : channels_) {
    const int64_t perBlock = layout_.blockSize / channel.srDiv;
    channel.samples(block * perBlock, perBlock, block_.data() + channel.dbOffset);
  }
}

void DataBlockSource::Fill(int64_t offset, uint8_t* out, size_t count) {
  FillFromUnits(offset, out, count, blockBytes_, block_, blockNumber_, [this](int64_t n) { BuildBlock(n); });
}

StreamSource DataBlockSource::Source(const std::string& code, int32_t payloadSize) {
  return {.code = code,
          .size = size(),
          .fill = [this](int64_t offset, uint8_t* out, size_t count) { Fill(offset, out, count); },
          .payloadSize = payloadSize};
}

ReducedLevelSource::ReducedLevelSource(DataLayout layout, int level, int32_t recordBytes,
                                       std::vector<GeneratedReducedChannel> channels)
    : layout_(std::move(layout)), level_(level), recordBytes_(recordBytes), channels_(std::move(channels)) {
  const int64_t mid = layout_.MidRate(level_);
  int64_t lastInterval = -1;  // interval of the last stored record
  for (size_t r = 0; r < layout_.regions.size(); ++r) {
    const RecordedRegion& region = layout_.regions[r];
    const int64_t first = region.startBlock / mid;
    const int64_t end = CeilDiv(region.startBlock + layout_.StoredBlocks(r), mid);
    const bool shared = recordCount_ > 0 && lastInterval == first && first < end;
    if (first < end && first <= lastInterval && !shared) throw std::invalid_argument("regions out of order");
    const int64_t firstRecord = recordCount_ - (shared ? 1 : 0);
    regionFirstRecord_.push_back(static_cast<int32_t>(firstRecord));
    regionRecords_.push_back({firstRecord, first, end,
                              static_cast<int64_t>(region.startBlock) * layout_.blockSize + region.startOffset,
                              static_cast<int64_t>(region.stopBlock) * layout_.blockSize + region.stopOffset});
    if (first < end) {
      recordCount_ = firstRecord + (end - first);
      lastInterval = end - 1;
    }
  }
  const int32_t itemBytes = 4 * 8;
  for (const GeneratedReducedChannel& channel : channels_) {
    const int32_t offset = channel.itemOffsets[static_cast<size_t>(level_)];
    if (offset < 0 || offset + (channel.doublePrecision ? itemBytes : itemBytes / 2) > recordBytes_) {
      throw std::invalid_argument("item outside its record");
    }
  }
  record_.resize(static_cast<size_t>(recordBytes_));
  values_.resize(static_cast<size_t>(kValueChunk));
}

void ReducedLevelSource::BuildRecord(int64_t record) {
  // The recorded positions of the record's interval, region by region.
  const int64_t absRate = layout_.MidRate(level_) * layout_.blockSize;
  std::vector<std::pair<int64_t, int64_t>> ranges;
  for (const RegionRecords& r : regionRecords_) {
    const int64_t interval = r.firstInterval + (record - r.firstRecord);
    if (record < r.firstRecord || interval >= r.endInterval) continue;
    ranges.emplace_back(std::max<int64_t>(std::max(interval * absRate, r.startPosition), 0),
                        std::min((interval + 1) * absRate, r.stopPosition));
  }

  std::fill(record_.begin(), record_.end(), 0);
  for (const GeneratedReducedChannel& channel : channels_) {
    // The same sums in the same order as the in-memory builder, so both agree bit for bit.
    double minimum = 0, maximum = 0, sum = 0, squares = 0;
    int64_t count = 0;
    for (const auto& [from, to] : ranges) {
      for (int64_t p = from; p < to; p += kValueChunk) {
        const int64_t n = std::min(kValueChunk, to - p);
        channel.values(p, n, values_.data());
        for (int64_t i = 0; i < n; ++i) {
          const double x = values_[static_cast<size_t>(i)];
          minimum = count == 0 ? x : std::min(minimum, x);
          maximum = count == 0 ? x : std::max(maximum, x);
          sum += x;
          squares += x * x;
          ++count;
        }
      }
    }
    const double average = count > 0 ? sum / static_cast<double>(count) : 0;
    const double rms = count > 0 ? std::sqrt(squares / static_cast<double>(count)) : 0;
    const std::vector<double> item = {minimum, maximum, average, rms};
    const std::vector<uint8_t> bytes = channel.doublePrecision ? EncodeDoubles(item) : EncodeFloats(item);
    std::memcpy(record_.data() + channel.itemOffsets[static_cast<size_t>(level_)], bytes.data(), bytes.size());
  }
}

void ReducedLevelSource::Fill(int64_t offset, uint8_t* out, size_t count) {
  FillFromUnits(offset, out, count, recordBytes_, record_, recordNumber_, [this](int64_t n) { BuildRecord(n); });
}

StreamSource ReducedLevelSource::Source(const std::string& code, int32_t payloadSize) {
  return {.code = code,
          .size = size(),
          .fill = [this](int64_t offset, uint8_t* out, size_t count) { Fill(offset, out, count); },
          .payloadSize = payloadSize};
}

}  // namespace Korvane::DataReader::TestKit
